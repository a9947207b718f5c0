// Measures what the recursion costs: recursive scenes against the same
// geometry expanded, the snapshot cost per recursion level, and the set-up.
// Prints markdown tables on standard output.

#include "Recursion.h"

#include <Inventor/SbViewportRegion.h>
#include <Inventor/SoDB.h>
#include <Inventor/SoOffscreenRenderer.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoScale.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/nodes/SoTranslation.h>
#include <Xm/Xm.h>
#include <Inventor/Xt/SoXt.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double seconds(const std::function<void()> &f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double medianOf(int runs, const std::function<void()> &f) {
    std::vector<double> times;
    for (int i = 0; i < runs; i++)
        times.push_back(seconds(f));
    return median(times);
}

std::string writeFile(const std::string &name, const std::string &text) {
    std::string path = "/tmp/tessvane-bench-" + name + ".iv";
    std::ofstream(path) << "#Inventor V2.1 ascii\n\n" << text;
    return path;
}

// A binary tree of the given depth with 2^depth cubes at its leaves: every
// level halves the size and places two children side by side, alternating
// between the x and the y axis.
std::string recursiveTree(int depth) {
    return "Separator {\n"
           "  RecursionCalculator { expression \"d=" + std::to_string(depth) + "\" }\n"
           "  DEF Node Separator {\n"
           "    RecursionSwitch {\n"
           "      expression \"d>0\"\n"
           "      Cube {}\n"
           "      Group {\n"
           "        RecursionCalculator { expression \"d=d-1\" }\n"
           "        Scale { scaleFactor 0.5 0.5 0.5 }\n"
           "        RotationXYZ { axis Z angle 1.5707963 }\n"
           "        Separator { Translation { translation -1.2 0 0 } RecursionSeparator { USE Node } }\n"
           "        Separator { Translation { translation 1.2 0 0 } RecursionSeparator { USE Node } }\n"
           "      }\n"
           "    }\n"
           "  }\n"
           "}\n";
}

// The same geometry with the recursion unrolled: the same transform nodes,
// one shared cube, no runtime nodes.
SoNode *expandedTree(int depth, SoNode *cube) {
    if (depth == 0)
        return cube;
    SoGroup *group = new SoGroup;
    SoScale *scale = new SoScale;
    scale->scaleFactor.setValue(0.5f, 0.5f, 0.5f);
    group->addChild(scale);
    SoRotationXYZ *turn = new SoRotationXYZ;
    turn->axis = SoRotationXYZ::Z;
    turn->angle = 1.5707963f;
    group->addChild(turn);
    for (float x : {-1.2f, 1.2f}) {
        // Caching and culling off, as the set-up leaves separators in a scene.
        SoSeparator *side = new SoSeparator;
        side->renderCaching = SoSeparator::OFF;
        side->boundingBoxCaching = SoSeparator::OFF;
        side->renderCulling = SoSeparator::OFF;
        side->pickCulling = SoSeparator::OFF;
        SoTranslation *t = new SoTranslation;
        t->translation.setValue(x, 0, 0);
        side->addChild(t);
        side->addChild(expandedTree(depth - 1, cube));
        group->addChild(side);
    }
    return group;
}

void switchOnLikeTheLoader(SoSeparator *root) {
    root->renderCaching = SoSeparator::ON;
    root->boundingBoxCaching = SoSeparator::ON;
    root->renderCulling = SoSeparator::ON;
    root->pickCulling = SoSeparator::ON;
}

int countShapes(SoNode *root) {
    int n = 0;
    SoCallbackAction ca;
    ca.addPreCallback(
        SoShape::getClassTypeId(),
        [](void *count, SoCallbackAction *, const SoNode *) {
            ++*static_cast<int *>(count);
            return SoCallbackAction::CONTINUE;
        },
        &n);
    ca.apply(root);
    return n;
}

struct Timings {
    double callback, bbox, render;
};

Timings measure(const std::function<SoSeparator *()> &make,
                const std::function<void(SoSeparator *)> &release, SoOffscreenRenderer &renderer,
                int runs) {
    SoSeparator *root = make();
    Timings t;
    t.callback = medianOf(runs, [&] {
        SoCallbackAction ca;
        ca.apply(root);
    });
    root->boundingBoxCaching = SoSeparator::OFF; // time the traversal, not the cache
    t.bbox = medianOf(runs, [&] {
        SoGetBoundingBoxAction bba(SbViewportRegion(640, 480));
        bba.apply(root);
    });
    release(root);
    // Each render gets a fresh scene: one render, as the program makes it
    // (no render cache and no culling pass at the root).
    std::vector<double> renders;
    for (int i = 0; i < 3; i++) {
        root = make();
        root->renderCaching = SoSeparator::OFF;
        root->renderCulling = SoSeparator::OFF;
        renders.push_back(seconds([&] { renderer.render(root); }));
        release(root);
    }
    t.render = median(renders);
    return t;
}

void recursionOverhead(SoOffscreenRenderer &renderer) {
    printf("### Recursion overhead (median seconds; ratio = recursive / expanded)\n\n");
    printf("| depth | cubes | callback rec | callback exp | ratio | bbox rec | bbox exp | ratio "
           "| render rec | render exp | ratio |\n");
    printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (int depth : {10, 12, 14, 16}) {
        std::string file = writeFile("tree" + std::to_string(depth), recursiveTree(depth));
        auto loadRecursive = [&] { return loadRecursionFile(file.c_str()); };
        auto releaseRecursive = [](SoSeparator *root) { releaseRecursionScene(root); };
        auto makeExpanded = [&] {
            SoSeparator *root = new SoSeparator;
            root->ref();
            switchOnLikeTheLoader(root);
            root->addChild(expandedTree(depth, new SoCube));
            return root;
        };
        auto releaseExpanded = [](SoSeparator *root) { root->unref(); };

        SoSeparator *check = loadRecursive();
        int cubes = countShapes(check);
        releaseRecursive(check);
        check = makeExpanded();
        if (countShapes(check) != cubes)
            fprintf(stderr, "bench: the expanded tree of depth %d differs\n", depth);
        releaseExpanded(check);

        int runs = depth <= 12 ? 7 : 5;
        Timings rec = measure(loadRecursive, releaseRecursive, renderer, runs);
        Timings exp = measure(makeExpanded, releaseExpanded, renderer, runs);
        printf("| %d | %d | %.4f | %.4f | %.2f | %.4f | %.4f | %.2f | %.4f | %.4f | %.2f |\n",
               depth, cubes, rec.callback, exp.callback, rec.callback / exp.callback, rec.bbox,
               exp.bbox, rec.bbox / exp.bbox, rec.render, exp.render, rec.render / exp.render);
        fflush(stdout);
        unlink(file.c_str());
    }
    printf("\n");
}

// A linear recursion of `levels` levels with `vars` registered variables:
// the time of one callback traversal divided by the number of levels.
void snapshotCost() {
    const int levels = 2000;
    printf("### Snapshot cost (one recursion-separator pass, callback action)\n\n");
    printf("| registered variables | microseconds per pass |\n|---|---|\n");
    for (int vars : {1, 16, 64, 256}) {
        std::string scene = "Separator {\n";
        for (int i = 1; i < vars; i++)
            scene += "  RecursionCalculator { expression \"snap" + std::to_string(i) + "=1\" }\n";
        scene += "  RecursionCalculator { expression \"n=" + std::to_string(levels) +
                 "\" }\n"
                 "  DEF Step Separator {\n"
                 "    RecursionCalculator { expression \"n=n-1\" }\n"
                 "    RecursionSwitch { expression \"n>0\" Group {} RecursionSeparator { USE Step } }\n"
                 "  }\n}\n";
        std::string file = writeFile("snapshot", scene);
        SoSeparator *root = loadRecursionFile(file.c_str());
        double t = medianOf(9, [&] {
            SoCallbackAction ca;
            ca.apply(root);
        });
        printf("| %d | %.3f |\n", RecursionElement::getCount(), t / levels * 1e6);
        releaseRecursionScene(root);
        unlink(file.c_str());
    }
    printf("\n");
}

void setUpCost() {
    std::string scene = "Separator {\n";
    for (int i = 0; i < 1000; i++)
        scene += "  RecursionCalculator { expression \"v" + std::to_string(i % 200) + "=v" +
                 std::to_string(i % 200) + "+w" + std::to_string(i % 7) + "*0.5\" }\n";
    scene += "  RecursionSwitch { expression \"v1>0\" Group {} Cube {} }\n}\n";
    std::string file = writeFile("setup", scene);
    double t = medianOf(7, [&] { releaseRecursionScene(loadRecursionFile(file.c_str())); });
    printf("### Set-up\n\n| scene | load + set-up + tear-down (s) |\n|---|---|\n");
    printf("| 1,000 calculator nodes, 200 variables | %.4f |\n\n", t);
    unlink(file.c_str());
}

} // namespace

int main(int argc, char **argv) {
    // The off-screen renderer needs the X display that the Xt layer opens.
    Widget window = SoXt::init("TessvaneBench", "Inventor");
    if (window == NULL)
        return 1;
    initRecursionClasses();
    std::string what = argc > 1 ? argv[1] : "all";
    SoOffscreenRenderer renderer(SbViewportRegion(640, 480));
    if (what == "all" || what == "overhead")
        recursionOverhead(renderer);
    if (what == "all" || what == "snapshot")
        snapshotCost();
    if (what == "all" || what == "setup")
        setUpCost();
    return 0;
}
