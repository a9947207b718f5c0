#include "SceneFileCheck.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// What a scan of a file in the ASCII format finds after the header line.
struct Findings {
    long deepest = 0;       // deepest brace nesting
    bool uses = false;      // a USE word occurs
    bool endsInUse = false; // the last word is USE
    long nulLine = 0;       // the line of the first NUL byte, if any
};

// The deepest nesting each file checked so far showed, by file name.
std::map<std::string, long> nestings;

// What ends a word for the toolkit's reader: a blank, a closing brace or
// bracket, a comma. An opening brace or bracket does not: after a number the
// reader takes it and what follows into the same buffer.
bool separates(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '}' || c == ']' || c == ',';
}

Findings scan(FILE *f) {
    Findings found;
    long depth = 0, line = 2;
    std::string word; // the first four characters of the word being read
    int last = EOF;   // the last character of that word, EOF between words
    bool comment = false, quoted = false, escaped = false;
    for (int c = getc(f);; c = getc(f)) {
        // A quoted text begins only where a word could; a comment there or
        // after a letter, but not right after a digit.
        bool afterDigit = last >= '0' && last <= '9';
        bool opens = (c == '"' && last == EOF) || (c == '#' && !afterDigit);
        bool wordEnds = c == EOF || (!comment && !quoted && (separates(c) || opens));
        if (wordEnds && last != EOF) {
            found.endsInUse = word == "USE";
            found.uses = found.uses || found.endsInUse;
        }
        if (wordEnds) {
            word.clear();
            last = EOF;
        }
        if (c == EOF)
            return found;
        if (c == '\0' && found.nulLine == 0)
            found.nulLine = line;
        if (comment) {
            comment = c != '\n';
        } else if (quoted) {
            quoted = escaped || c != '"';
            escaped = !escaped && c == '\\';
        } else if (opens) {
            comment = c == '#';
            quoted = c == '"';
        } else {
            if (c == '{' && ++depth > found.deepest)
                found.deepest = depth;
            if (c == '}' && depth > 0)
                depth--;
            if (!separates(c)) {
                if (word.size() < 4)
                    word += static_cast<char>(c);
                last = c;
            }
        }
        line += c == '\n' ? 1 : 0;
    }
}

// Reads the file in a child process, which tells only whether the read ended
// it: the toolkit trusts every length and count in a binary file, and a
// damaged one overruns buffers or asks for more memory than there is.
// Returns what ended the child, or an empty text if it finished.
std::string whatEndsReadingInChild(const char *path) {
    fflush(NULL);
    pid_t child = fork();
    if (child < 0)
        return std::string("no process could be started to try: ") + strerror(errno);
    if (child == 0) {
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            dup2(devNull, STDERR_FILENO); // the parent's own read reports errors
        try {
            SoInput in;
            if (in.openFile(path, TRUE)) {
                SoSeparator *root = SoDB::readAll(&in);
                if (root != NULL) {
                    root->ref();
                    root->unref();
                }
            }
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR)
        ;
    if (waited < 0)
        return std::string("the process trying it was lost: ") + strerror(errno);
    if (WIFSIGNALED(status))
        return strsignal(WTERMSIG(status));
    return WEXITSTATUS(status) == 0 ? "" : "an exception, such as running out of memory";
}

} // namespace

long SceneFileCheck::getNesting(const char *path) {
    std::map<std::string, long>::const_iterator found = nestings.find(path);
    return found == nestings.end() ? 0 : found->second;
}

SbBool SceneFileCheck::check(const char *path, long enclosing) {
    struct stat status;
    FILE *f = NULL;
    if (stat(path, &status) != 0 || (S_ISREG(status.st_mode) && (f = fopen(path, "rb")) == NULL))
        return TRUE;
    if (!S_ISREG(status.st_mode)) {
        fprintf(stderr, "Tessvane: %s: is no regular file; it cannot be read\n", path);
        return FALSE;
    }
    std::string header;
    int c;
    while ((c = getc(f)) != EOF && c != '\n')
        header += static_cast<char>(c);
    bool binary = header.find("binary") != std::string::npos;
    Findings found;
    if (!binary)
        found = scan(f);
    fclose(f);
    nestings[path] = found.deepest;
    if (header.size() > maxHeaderLine) {
        fprintf(stderr,
                "Tessvane: %s: the first line has %zu characters; a header line may have at "
                "most %d\n",
                path, header.size(), maxHeaderLine);
        return FALSE;
    }
    if (binary) {
        std::string ending = whatEndsReadingInChild(path);
        if (!ending.empty())
            fprintf(stderr,
                    "Tessvane: %s: reading this file in the binary format ends the reader (%s); "
                    "it is damaged\n",
                    path, ending.c_str());
        return ending.empty();
    }
    if (found.nulLine > 0) {
        fprintf(stderr, "Tessvane: %s:%ld: a NUL byte in a file in the ASCII format\n", path,
                found.nulLine);
        return FALSE;
    }
    // Without a name after it, the reader goes on with a node it never set.
    if (found.endsInUse) {
        fprintf(stderr, "Tessvane: %s: the file ends in USE without a name\n", path);
        return FALSE;
    }
    // Reading a V1.0 file goes through the toolkit's upgrade of old nodes,
    // which frees the nodes read so far when a read fails, even those a USE
    // still refers to: a recursion (a USE inside its own DEF) is then freed
    // while in use.
    if (found.uses && header.compare(0, 14, "#Inventor V1.0") == 0) {
        fprintf(stderr,
                "Tessvane: %s: a file in the V1.0 format may not USE nodes; write the scene "
                "in the V2.1 format\n",
                path);
        return FALSE;
    }
    if (enclosing + found.deepest > maxNesting) {
        if (enclosing > 0)
            fprintf(stderr,
                    "Tessvane: %s: nodes nest %ld deep in it, below %ld levels in the files that "
                    "include it; more than %d levels cannot be read\n",
                    path, found.deepest, enclosing, maxNesting);
        else
            fprintf(stderr,
                    "Tessvane: %s: nodes nest %ld deep; more than %d levels cannot be read\n", path,
                    found.deepest, maxNesting);
        return FALSE;
    }
    return TRUE;
}
