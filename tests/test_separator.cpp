// The recursion separator: snapshots, paths, matrices, searches, notification.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoPath.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/nodes/SoCallback.h>
#include <Inventor/nodes/SoCone.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/sensors/SoNodeSensor.h>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(RecursionSeparatorTraversal, RestoresWhatItsChildrenAssigned) {
    // The set-up does not enter recursion separators: a calculator below one
    // is prepared where a recursion switch without expression holds it.
    SoSeparator *root = loadSceneText("RecursionSwitch {\n"
                                      "  DEF Add RecursionCalculator { expression \"sepA=sepA+10\" }\n"
                                      "}\n"
                                      "RecursionCalculator { expression \"sepA=1\" }\n"
                                      "RecursionSeparator {\n"
                                      "  USE Add\n"
                                      "  Cube {}\n"
                                      "}\n"
                                      "Sphere {}\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(valuesAtShapes(root, SoShape::getClassTypeId(), "sepA"), (std::vector<float>{11, 1}));
    releaseRecursionScene(root);
}

TEST(RecursionSeparatorTraversal, NestedWithoutALevelBetweenShareOneSnapshot) {
    // The inner store overwrites the outer one at the same state level, so the
    // outer restore hands back the value the inner one began with.
    SoSeparator *root = loadSceneText("RecursionSwitch {\n"
                                      "  DEF Two RecursionCalculator { expression \"sepN=2\" }\n"
                                      "  DEF Three RecursionCalculator { expression \"sepN=3\" }\n"
                                      "}\n"
                                      "RecursionCalculator { expression \"sepN=1\" }\n"
                                      "RecursionSeparator {\n"
                                      "  USE Two\n"
                                      "  RecursionSeparator { USE Three Cube {} }\n"
                                      "  Cone {}\n"
                                      "}\n"
                                      "Sphere {}\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(valuesAtShapes(root, SoShape::getClassTypeId(), "sepN"), (std::vector<float>{3, 2, 2}));
    releaseRecursionScene(root);
}

TEST(RecursionSeparatorTraversal, OpensNoStateLevel) {
    SoSeparator *root = readSceneText("RecursionSeparator { Translation { translation 1 0 0 } }\n"
                                      "Cube {}\n");
    std::vector<SbMatrix> m = shapeMatrices(root, SoCube::getClassTypeId());
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(SbVec3f(m[0][3][0], m[0][3][1], m[0][3][2]), SbVec3f(1, 0, 0));
    root->unref();
}

TEST(RecursionSeparatorTraversal, BoundingBoxCentreIsThePlainAverageOfItsChildren) {
    SoSeparator *root = readSceneText(
        "RecursionSeparator {\n"
        "  Separator { Translation { translation 1 0 0 } Cube { width 1 } }\n"
        "  Separator { Translation { translation 3 0 0 } Cube { width 10 } }\n"
        "}\n"
        "RecursionSeparator { Translation { translation 5 0 0 } }\n");
    SoGetBoundingBoxAction bba(SbViewportRegion(100, 100));
    SoNode *averaged = root->getChild(0);
    bba.apply(averaged);
    EXPECT_TRUE(bba.isCenterSet());
    EXPECT_EQ(bba.getCenter(), SbVec3f(2, 0, 0));
    bba.apply(root->getChild(1));
    EXPECT_FALSE(bba.isCenterSet());
    root->unref();
}

TEST(RecursionSeparatorTraversal, AlongAPathStopsAfterTheChildOnThePath) {
    SoSeparator *root = readSceneText("Info {}\n"
                                      "RecursionSeparator { Callback {} Sphere {} Callback {} }\n");
    SoGroup *rs = static_cast<SoGroup *>(root->getChild(1));
    std::vector<int> seen;
    auto record = [](void *data, SoAction *action) {
        if (action->isOfType(SoCallbackAction::getClassTypeId()))
            static_cast<std::vector<int> *>(data)->push_back(1);
    };
    static_cast<SoCallback *>(rs->getChild(0))->setCallback(record, &seen);
    static_cast<SoCallback *>(rs->getChild(2))->setCallback(record, &seen);
    SoPath *path = new SoPath(root);
    path->ref();
    path->append(1); // the recursion separator
    path->append(1); // its sphere
    SoCallbackAction ca;
    ca.apply(path);
    EXPECT_EQ(seen.size(), 1u); // the callback before the sphere, not the one after it

    seen.clear();
    ca.apply(root); // without a path every child is traversed
    EXPECT_EQ(seen.size(), 2u);
    path->unref();
    root->unref();
}

TEST(RecursionSeparatorTraversal, MatrixOnlyAlongOrOffAPath) {
    SoSeparator *root = readSceneText("Info {}\n"
                                      "RecursionSeparator {\n"
                                      "  Translation { translation 1 0 0 }\n"
                                      "  Translation { translation 0 2 0 }\n"
                                      "  Translation { translation 0 0 4 }\n"
                                      "}\n");
    SoNode *rs = root->getChild(1);
    SoGetMatrixAction ma(SbViewportRegion(100, 100));

    ma.apply(rs); // no path
    EXPECT_TRUE(ma.getMatrix() == SbMatrix::identity());

    SoPath *tail = new SoPath(root); // the node is the path's tail: below the path
    tail->ref();
    tail->append(1);
    ma.apply(tail);
    EXPECT_TRUE(ma.getMatrix() == SbMatrix::identity());

    SoPath *through = new SoPath(root); // in the path: up to and including T
    through->ref();
    through->append(1);
    through->append(1);
    ma.apply(through);
    SbMatrix expected;
    expected.setTranslate(SbVec3f(1, 2, 0));
    EXPECT_TRUE(ma.getMatrix().equals(expected, 1e-6f));
    tail->unref();
    through->unref();
    root->unref();
}

TEST(RecursionSeparatorTraversal, SearchFindsTheNodeAndStillSnapshots) {
    SoSeparator *root = loadSceneText("RecursionSwitch {\n"
                                      "  DEF Five RecursionCalculator { expression \"sepS=5\" }\n"
                                      "}\n"
                                      "RecursionCalculator { expression \"sepS=1\" }\n"
                                      "RecursionSeparator {\n"
                                      "  USE Five\n"
                                      "  Separator { RecursionSeparator {} }\n"
                                      "}\n");
    ASSERT_NE(root, nullptr);
    SoSearchAction sa;
    sa.setType(RecursionSeparator::getClassTypeId());
    sa.setInterest(SoSearchAction::ALL);
    sa.apply(root);
    EXPECT_EQ(sa.getPaths().getLength(), 2); // the outer one, and the inner one below it
    EXPECT_FLOAT_EQ(scalarVariable("sepS"), 1);
    releaseRecursionScene(root);
}

TEST(RecursionSeparatorTraversal, SearchingAllNodesEndsOnACyclicScene) {
    SoSeparator *root = loadSceneText("DEF Loop Separator { Cube {} RecursionSeparator { USE "
                                      "Loop } }\n");
    ASSERT_NE(root, nullptr);
    SoSearchAction sa;
    sa.setType(SoCube::getClassTypeId());
    sa.setInterest(SoSearchAction::ALL);
    sa.setSearchingAll(TRUE);
    sa.apply(root);
    EXPECT_EQ(sa.getPaths().getLength(), 2); // at the top level and one level down
    releaseRecursionScene(root);
}

TEST(RecursionSeparatorNotification, AChangeInsideTheCycleReachesTheRootAndStops) {
    SoSeparator *root = loadSceneText("Info {}\n"
                                      "DEF Loop Separator { DEF Box Cube {} RecursionSeparator "
                                      "{ USE Loop } }\n");
    ASSERT_NE(root, nullptr);
    int notified = 0;
    SoNodeSensor sensor([](void *n, SoSensor *) { ++*static_cast<int *>(n); }, &notified);
    sensor.setPriority(0); // fire at every notification
    sensor.attach(root);
    static_cast<SoCube *>(SoNode::getByName("Box"))->width = 7;
    // The change reaches the root directly, and possibly once more after going
    // round the cycle, where the recursion separator stops it. Without the
    // guard it would circle until the stack overflows.
    EXPECT_GE(notified, 1);
    EXPECT_LE(notified, 2);
    sensor.detach();
    releaseRecursionScene(root);
}

} // namespace

namespace {

TEST(RunawayRecursion, IsStoppedAtTheLimitReportedOnceAndTheRestTraversed) {
    // The switch never selects its empty child: only the limit ends this.
    SoSeparator *root = loadRecursionFile(dataFile("runaway.iv").c_str());
    ASSERT_NE(root, nullptr);
    testing::internal::CaptureStderr();
    std::vector<SbMatrix> cubes = shapeMatrices(root, SoCube::getClassTypeId());
    std::vector<SbMatrix> spheres = shapeMatrices(root, SoSphere::getClassTypeId());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(cubes.size(), (size_t)RecursionSeparator::maxDepth + 1);
    EXPECT_EQ(spheres.size(), 1u); // after the recursion
    // Once per traversal, naming the node the recursion comes back to.
    std::string line = "Tessvane: runaway recursion stopped after 2000 levels at the "
                       "RecursionSeparator below \"Forever\"";
    size_t first = err.find(line);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_NE(err.find(line, first + 1), std::string::npos) << err; // the second traversal
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;

    // The variables are restored all the way up, and a bounding box still comes back.
    SoGetBoundingBoxAction bba(SbViewportRegion(100, 100));
    testing::internal::CaptureStderr();
    bba.apply(root);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(bba.getBoundingBox().isEmpty());
    releaseRecursionScene(root);
}

} // namespace

namespace {

TEST(RunawayRecursion, ABranchingRunawayEndsWithTheFirstChainOfEachOutermostPass) {
    // Two ways down at every level: were the siblings on the way back entered,
    // the traversal would take 2^2000 passes. Once stopped, nothing below the
    // outermost pass descends again; the shapes after each use still count.
    // The top level is no recursion pass itself, so each of its two ways is
    // an outermost pass: two chains of 2000 levels, each with its report.
    const char *scenes[] = {
        "DEF Twice Separator { Cube {} RecursionSeparator { USE Twice }\n"
        "  RecursionSeparator { USE Twice } Sphere {} }\n",
        "DEF Twice Separator { Cube {}\n"
        "  RecursionSwitch { expression \"1\" Group {} RecursionSeparator { USE Twice } }\n"
        "  RecursionSwitch { expression \"1\" Group {} RecursionSeparator { USE Twice } }\n"
        "  Sphere {} }\n",
    };
    for (const char *scene : scenes) {
        testing::internal::CaptureStderr();
        SoSeparator *root = loadSceneText(scene);
        ASSERT_NE(root, nullptr) << scene;
        testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        size_t cubes = shapeMatrices(root, SoCube::getClassTypeId()).size();
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(cubes, 2 * (size_t)RecursionSeparator::maxDepth + 1) << scene;
        EXPECT_EQ(shapeMatrices(root, SoSphere::getClassTypeId()).size(),
                  2 * (size_t)RecursionSeparator::maxDepth + 1)
            << scene;
        EXPECT_NE(err.find("Tessvane: runaway recursion stopped after 2000 levels"),
                  std::string::npos)
            << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
        releaseRecursionScene(root);
    }
}

} // namespace
