#include "SceneFileCheck.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

// What a scan of a file in the ASCII format finds after the header line.
struct Findings {
    long deepest = 0;       // deepest brace nesting
    std::string longWord;   // the first word longer than maxWord, if any
    long longWordLine = 0;  // the line it is on
    bool uses = false;      // a USE word occurs
    bool endsInUse = false; // the last word is USE
    long nulLine = 0;       // the line of the first NUL byte, if any
};

// What ends a word for the toolkit's reader: a blank, a closing brace or
// bracket, a comma. An opening brace or bracket does not: after a number the
// reader takes it and what follows into the same buffer.
bool separates(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == '}' || c == ']' || c == ',';
}

Findings scan(FILE *f) {
    Findings found;
    long depth = 0, line = 2;
    std::string word;
    bool comment = false, quoted = false, escaped = false;
    for (int c = getc(f);; c = getc(f)) {
        // A quoted text begins only where a word could; a comment there or
        // after a letter, but not right after a digit.
        bool afterDigit = !word.empty() && word.back() >= '0' && word.back() <= '9';
        bool opens = (c == '"' && word.empty()) || (c == '#' && !afterDigit);
        bool wordEnds = c == EOF || (!comment && !quoted && (separates(c) || opens));
        if (wordEnds && word.size() > SceneFileCheck::maxWord && found.longWord.empty()) {
            found.longWord = word;
            found.longWordLine = line;
        }
        bool isUse = word == "USE";
        if (wordEnds && !word.empty())
            found.endsInUse = isUse;
        if (wordEnds && isUse)
            found.uses = true;
        if (wordEnds)
            word.clear();
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
            if (!separates(c) && word.size() <= SceneFileCheck::maxWord)
                word += static_cast<char>(c);
        }
        line += c == '\n' ? 1 : 0;
    }
}

} // namespace

SbBool SceneFileCheck::check(const char *path) {
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
    Findings found;
    if (header.find("binary") == std::string::npos)
        found = scan(f);
    fclose(f);
    if (header.size() > maxHeaderLine) {
        fprintf(stderr,
                "Tessvane: %s: the first line has %zu characters; a header line may have at "
                "most %d\n",
                path, header.size(), maxHeaderLine);
        return FALSE;
    }
    if (found.nulLine > 0) {
        fprintf(stderr, "Tessvane: %s:%ld: a NUL byte in a file in the ASCII format\n", path,
                found.nulLine);
        return FALSE;
    }
    if (!found.longWord.empty()) {
        fprintf(stderr,
                "Tessvane: %s:%ld: the word \"%.*s...\" is longer than %d characters; put blanks "
                "between words and a long text in quotes\n",
                path, found.longWordLine, maxWord, found.longWord.c_str(), maxWord);
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
    if (found.deepest > maxNesting) {
        fprintf(stderr, "Tessvane: %s: nodes nest %ld deep; more than %d levels cannot be read\n",
                path, found.deepest, maxNesting);
        return FALSE;
    }
    return TRUE;
}
