// tessvane-expand: unrolls a recursive scene by one traversal, with the
// recursion variables evaluated as rendering evaluates them, and writes the
// result as an acyclic Inventor 2.1 ASCII file of the toolkit's standard
// nodes, which any Inventor program can read.

#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInteraction.h>
#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodekits/SoNodeKit.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

static const char *program = "tessvane-expand";

// Reports why the program cannot go on and ends it with status 1.
[[noreturn, gnu::format(printf, 1, 2)]] static void fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    fprintf(stderr, "%s: ", program);
    vfprintf(stderr, format, args);
    va_end(args);
    exit(1);
}

static void reportProgress(void *, long numNodes) {
    fprintf(stderr, "%s: %ld nodes...\n", program, numNodes);
    fflush(stderr);
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr,
                "Usage: %s SCENE OUT\n"
                "Writes the recursive scene SCENE unrolled, as rendering traverses it, into OUT:\n"
                "an Inventor file of standard nodes only, without cycles.\n",
                program);
        return 2;
    }
    const char *sceneFile = argv[1];
    const char *outFile = argv[2];

    SoDB::init();
    SoNodeKit::init();
    SoInteraction::init();
    initRecursionClasses();
    SoSeparator *root = loadRecursionFile(sceneFile);
    if (root == NULL)
        fail("cannot load scene file '%s'\n", sceneFile);

    FILE *file = fopen(outFile, "w");
    if (file == NULL)
        fail("cannot write '%s': %s\n", outFile, strerror(errno));
    // What cannot be completed is removed again, unless the output is no
    // plain file (a device or a pipe).
    struct stat status;
    bool plainFile = fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);

    RecursionExpandAction expander;
    expander.setProgressCallback(reportProgress, NULL, 100000);
    expander.apply(root);
    if (!expander.isComplete()) {
        fclose(file);
        if (plainFile)
            remove(outFile);
        fail("cannot expand scene file '%s' completely; nothing written\n", sceneFile);
    }

    {
        SoOutput out;
        out.setFilePointer(file);
        out.setFloatPrecision(8); // significant digits: the most the toolkit writes
        SoWriteAction writer(&out);
        writer.apply(expander.getExpansion());
    }
    bool written = fflush(file) == 0 && !ferror(file);
    int writeError = errno;
    if (fclose(file) != 0 && written) {
        written = false;
        writeError = errno;
    }
    if (!written) {
        if (plainFile)
            remove(outFile);
        fail("cannot write '%s': %s\n", outFile, strerror(writeError));
    }
    long numNodes = expander.getNumNodes();
    fprintf(stderr, "%s: %ld node%s written to '%s'\n", program, numNodes, numNodes == 1 ? "" : "s",
            outFile);

    // The process ends here, without releasing the expansion: a node shared
    // by n groups takes time quadratic in n to release, and the system frees
    // it all anyway.
    exit(0);
}
