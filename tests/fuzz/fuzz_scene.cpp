// Fuzz target: a scene file of arbitrary bytes is loaded and prepared, one
// callback traversal makes its shapes' primitives, a bounding box action runs
// over it, and it is torn down and released. The bytes go through a file in
// /dev/shm, the way the program reads scenes. A file in the binary format is
// read in a child process first, which ends quietly if the toolkit's reader
// fails on it.

#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/SbLinear.h>
#include <Inventor/SoPrimitiveVertex.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoShape.h>
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

// Primitives are only made, and looked at.
static long primitives = 0;
static void countTriangle(void *, SoCallbackAction *, const SoPrimitiveVertex *v,
                          const SoPrimitiveVertex *, const SoPrimitiveVertex *) {
    primitives += v->getPoint()[0] == v->getPoint()[0];
}
static void countLine(void *, SoCallbackAction *, const SoPrimitiveVertex *v,
                      const SoPrimitiveVertex *) {
    primitives += v->getPoint()[0] == v->getPoint()[0];
}
static void countPoint(void *, SoCallbackAction *, const SoPrimitiveVertex *v) {
    primitives += v->getPoint()[0] == v->getPoint()[0];
}

static SoCallbackAction::Response countVisit(void *data, SoCallbackAction *, const SoNode *) {
    long *visits = static_cast<long *>(data);
    return ++*visits > visitBudget ? SoCallbackAction::ABORT : SoCallbackAction::CONTINUE;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fopen(scenePath.c_str(), "wb");
    if (f == NULL)
        abort();
    if (fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();

    SoSeparator *root = loadRecursionFile(scenePath.c_str());
    if (root != NULL) {
        // The shapes' primitives are made as for picking or drawing; a scene
        // small enough for the visit budget also gets its bounding box.
        long visits = 0;
        SoCallbackAction traversal;
        traversal.addPreCallback(SoNode::getClassTypeId(), countVisit, &visits);
        traversal.addTriangleCallback(SoShape::getClassTypeId(), countTriangle, NULL);
        traversal.addLineSegmentCallback(SoShape::getClassTypeId(), countLine, NULL);
        traversal.addPointCallback(SoShape::getClassTypeId(), countPoint, NULL);
        traversal.apply(root);
        if (visits <= visitBudget) {
            SoGetBoundingBoxAction box(SbViewportRegion(100, 100));
            box.apply(root);
        }
        releaseRecursionScene(root);
    }
    // Every variable the scene registered has been given back.
    if (RecursionElement::getCount() != 0)
        abort();
    unlink(scenePath.c_str());
    return 0;
}
