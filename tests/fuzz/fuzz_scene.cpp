// Fuzz target: a scene file of arbitrary bytes is loaded and prepared, one
// callback traversal runs over it, and it is torn down and released. The
// bytes go through a file in /dev/shm, the way the program reads scenes.

#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/nodekits/SoNodeKit.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static std::string scenePath;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    SoDB::init();
    SoNodeKit::init();
    initRecursionClasses();
    scenePath = "/dev/shm/tessvane-fuzz-scene-" + std::to_string(getpid()) + ".iv";
    return 0;
}

// Nodes a traversal may visit before it is ended: a scene may legitimately
// ask for more shapes than a fuzzing run can afford to visit.
static const long visitBudget = 200000;

static SoCallbackAction::Response countVisit(void *data, SoCallbackAction *, const SoNode *) {
    long *visits = static_cast<long *>(data);
    return ++*visits > visitBudget ? SoCallbackAction::ABORT : SoCallbackAction::CONTINUE;
}

// The binary format is left out: the toolkit's binary reader trusts every
// length in the file (a long name overflows a buffer on the stack, a huge
// one ends the process with bad_alloc), and only a reader of its own could
// check such a file first.
static bool isBinary(const uint8_t *data, size_t size) {
    std::string header(reinterpret_cast<const char *>(data), size);
    return header.substr(0, header.find('\n')).find("binary") != std::string::npos;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (isBinary(data, size))
        return -1; // not added to the corpus
    FILE *f = fopen(scenePath.c_str(), "wb");
    if (f == NULL)
        abort();
    if (fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();

    SoSeparator *root = loadRecursionFile(scenePath.c_str());
    if (root != NULL) {
        long visits = 0;
        SoCallbackAction traversal;
        traversal.addPreCallback(SoNode::getClassTypeId(), countVisit, &visits);
        traversal.apply(root);
        releaseRecursionScene(root);
    }
    // Every variable the scene registered has been given back.
    if (RecursionElement::getCount() != 0)
        abort();
    unlink(scenePath.c_str());
    return 0;
}
