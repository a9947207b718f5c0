// The expansion action: what each kind of node becomes, what is shared, and
// that the result draws what the recursive scene draws, where it draws it.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoCoordinate3.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoRotationXYZ.h>
#include <Inventor/nodes/SoScale.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/nodes/SoTranslation.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

// Every node reachable from `root`, each once (the recursive scene has cycles).
std::set<SoNode *> reachable(SoNode *root) {
    std::set<SoNode *> seen;
    std::vector<SoNode *> pending{root};
    while (!pending.empty()) {
        SoNode *node = pending.back();
        pending.pop_back();
        if (!seen.insert(node).second)
            continue;
        if (SoChildList *children = node->getChildren())
            for (int i = 0; i < children->getLength(); i++)
                pending.push_back((*children)[i]);
    }
    return seen;
}

// Visits every place of an acyclic graph in pre-order, a shared node at
// each of its places; fails the test on a cycle.
void forEachPlace(SoNode *node, const std::function<void(SoNode *)> &visit,
                  std::vector<SoNode *> &path) {
    if (std::find(path.begin(), path.end(), node) != path.end()) {
        ADD_FAILURE() << "cycle at a " << node->getTypeId().getName().getString();
        return;
    }
    visit(node);
    path.push_back(node);
    if (SoChildList *children = node->getChildren())
        for (int i = 0; i < children->getLength(); i++)
            forEachPlace((*children)[i], visit, path);
    path.pop_back();
}

void forEachPlace(SoNode *root, const std::function<void(SoNode *)> &visit) {
    std::vector<SoNode *> path;
    forEachPlace(root, visit, path);
}

// A one-line picture of an expansion: type, ":name" when named, the value of
// a transform, "[children]" of a node made by the expansion. A node of the
// recursive scene itself is marked "=" and not entered.
std::string describe(SoNode *node, const std::set<SoNode *> &original) {
    std::ostringstream s;
    if (original.count(node))
        s << "=";
    s << node->getTypeId().getName().getString();
    if (node->getName().getLength() > 0)
        s << ":" << node->getName().getString();
    if (node->isOfType(SoTranslation::getClassTypeId())) {
        const SbVec3f &v = static_cast<SoTranslation *>(node)->translation.getValue();
        s << "(" << v[0] << " " << v[1] << " " << v[2] << ")";
    } else if (node->isOfType(SoScale::getClassTypeId())) {
        const SbVec3f &v = static_cast<SoScale *>(node)->scaleFactor.getValue();
        s << "(" << v[0] << " " << v[1] << " " << v[2] << ")";
    } else if (node->isOfType(SoRotationXYZ::getClassTypeId())) {
        SoRotationXYZ *r = static_cast<SoRotationXYZ *>(node);
        s << "(" << "XYZ"[r->axis.getValue()] << " " << r->angle.getValue() << ")";
    }
    SoChildList *children = node->getChildren();
    if (!original.count(node) && children != NULL) {
        s << "[";
        for (int i = 0; i < children->getLength(); i++)
            s << (i ? " " : "") << describe((*children)[i], original);
        s << "]";
    }
    return s.str();
}

// The places in an expansion that the expansion itself filled: everywhere
// but below the nodes of the recursive scene.
long placed(SoNode *node, const std::set<SoNode *> &original) {
    long n = 1;
    SoChildList *children = node->getChildren();
    if (!original.count(node) && children != NULL)
        for (int i = 0; i < children->getLength(); i++)
            n += placed((*children)[i], original);
    return n;
}

bool isRecursionType(SoNode *node) {
    return strncmp(node->getTypeId().getName().getString(), "Recursion", 9) == 0;
}

// Type and model matrix of every shape a callback action reaches.
struct Shape {
    SoType type;
    SbMatrix matrix;
    bool operator==(const Shape &o) const { return type == o.type && matrix == o.matrix; }
};

std::vector<Shape> shapes(SoNode *root) {
    std::vector<Shape> found;
    SoCallbackAction ca;
    ca.addPreCallback(
        SoShape::getClassTypeId(),
        [](void *data, SoCallbackAction *action, const SoNode *node) {
            static_cast<std::vector<Shape> *>(data)->push_back(
                {node->getTypeId(), action->getModelMatrix()});
            return SoCallbackAction::CONTINUE;
        },
        &found);
    ca.apply(root);
    return found;
}

// The values of all registered variables.
std::vector<SbVec3f> variables() {
    std::vector<SbVec3f> values;
    for (int slot = 0; slot < RecursionElement::getCount(); slot++) {
        SoField *f = RecursionElement::getField(slot);
        if (RecursionElement::isVectorSlot(slot))
            values.push_back(static_cast<SoSFVec3f *>(f)->getValue());
        else
            values.push_back(SbVec3f(static_cast<SoSFFloat *>(f)->getValue(), 0, 0));
    }
    return values;
}

TEST(Expansion, OfEveryExampleDrawsTheSameShapesWhereTheRecursiveSceneDrawsThem) {
    std::vector<std::string> files = exampleFiles();
    EXPECT_GE(files.size(), 9u);
    for (const std::string &file : files) {
        SoSeparator *root = loadRecursionFile(file.c_str());
        ASSERT_NE(root, nullptr) << file;
        // Both traversals draw the same random numbers.
        srand48(11);
        std::vector<Shape> recursive = shapes(root);
        std::vector<SbVec3f> after = variables();
        srand48(11);
        RecursionExpandAction expander;
        expander.apply(root);
        SoNode *expansion = expander.getExpansion();
        EXPECT_TRUE(expander.isComplete()) << file;
        EXPECT_EQ(variables(), after) << file << ": variables not restored as rendering does";

        EXPECT_GT(recursive.size(), 0u) << file;
        EXPECT_TRUE(shapes(expansion) == recursive) << file;
        forEachPlace(expansion, [&](SoNode *node) {
            EXPECT_FALSE(isRecursionType(node))
                << file << ": " << node->getTypeId().getName().getString();
        });
        EXPECT_EQ(placed(expansion, reachable(root)), expander.getNumNodes()) << file;
        releaseRecursionScene(root);
    }
}

struct Case {
    const char *what;
    std::string scene;
    std::string expansion; // as described above
};

TEST(Expansion, OfEachKindOfNode) {
    std::string cubeFile = writeTempScene("Cube {}\n");
    const Case cases[] = {
        {"recursion separators become groups, a recursion switch gives way to its choice, "
         "calculators leave nothing",
         "RecursionCalculator { expression \"xa=2\" }\n"
         "DEF L Separator { RecursionCalculator { expression \"xa=xa-1\" } Cube {}\n"
         "  RecursionSwitch { expression \"xa>0\" Group {} RecursionSeparator { USE L } } }\n",
         "Separator[Separator[=Cube Group[Separator[=Cube =Group]]]]"},
        {"bound transforms take the value of each visit",
         "RecursionCalculator { expression \"xp3=vec3f(1,2,3)\" }\n"
         "RecursionCalculator { expression \"xb=0.5\" }\n"
         "DEF T RecursionTranslation { expression \"xp3\" }\n"
         "RecursionScale { expression \"xp3\" }\n"
         "RecursionRotationXYZ { axis Z expression \"xb\" }\n"
         "RecursionCalculator { expression \"xp3=vec3f(4,5,6)\" }\n"
         "USE T\n",
         "Separator[Translation(1 2 3) Scale(1 2 3) RotationXYZ(Z 0.5) Translation(4 5 6)]"},
        {"a plain switch with recursion below is a group of its choice, one without is kept",
         "RecursionCalculator { expression \"xs=1\" }\n"
         "Switch { whichChild 1 Cube {} Group { RecursionCalculator { expression \"xs=2\" } "
         "Sphere {} } }\n"
         "Switch { whichChild 0 Cone {} }\n",
         "Separator[Group[Group[=Sphere]] =Switch]"},
        {"a switch inheriting the choice of a recursion switch is resolved",
         "RecursionCalculator { expression \"xk=1\" }\n"
         "RecursionSwitch { expression \"xk\" Cube {} Group { Switch { whichChild -2 Cone {} "
         "Sphere {} } } }\n",
         "Separator[Group[Group[=Sphere]]]"},
        {"separators keep only the name Cache, unchanging ones are kept",
         "DEF Level Separator { RecursionCalculator { expression \"xq=1\" }\n"
         "  DEF Cache Separator { RecursionCalculator { expression \"xq=2\" } Cube {} }\n"
         "  DEF Cache Separator { Sphere {} } }\n",
         "Separator[Separator:Cache[=Cube] =Separator:Cache]"},
        {"a RecursionCoordinate3 becomes a Coordinate3",
         "DEF Pts RecursionCoordinate3 { point [ 0 0 0, 1 0 0, 0 1 0 ] }\n"
         "RecursionCalculator { expression \"xc=1\" }\n"
         "FaceSet {}\n",
         "Separator[Coordinate3 =FaceSet]"},
        {"a transform separator keeps its type",
         "TransformSeparator { RecursionCalculator { expression \"xt=1\" } Cube {} }\n"
         "Sphere {}\n",
         "Separator[TransformSeparator[=Cube] =Sphere]"},
        {"a File node becomes a group of its contents",
         "File { name \"" + dataFile("included.iv") + "\" }\n",
         "Separator[Group[Separator[Separator[=Sphere Group[Separator[=Sphere =Group]]]]]]"},
        {"an unchanging File node too", "File { name \"" + cubeFile + "\" }\n",
         "Separator[Group[=Cube]]"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        testing::internal::CaptureStderr();
        SoSeparator *root = loadSceneText(c.scene);
        testing::internal::GetCapturedStderr();
        ASSERT_NE(root, nullptr);
        std::vector<Shape> recursive = shapes(root);
        RecursionExpandAction expander;
        expander.apply(root);
        EXPECT_EQ(describe(expander.getExpansion(), reachable(root)), c.expansion);
        EXPECT_TRUE(shapes(expander.getExpansion()) == recursive);
        EXPECT_TRUE(expander.isComplete());
        releaseRecursionScene(root);
    }
    unlink(cubeFile.c_str());
}

TEST(Expansion, CopiesTheFieldsOfSeparatorsAndSharesConvertedCoordinates) {
    SoSeparator *root = loadSceneText(
        "RecursionCalculator { expression \"xd=3\" }\n"
        "DEF Level Separator { RecursionCalculator { expression \"xd=xd-1\" }\n"
        "  DEF Cache Separator { RecursionCoordinate3 { point [ 0 0 0, 1 0 0, 0 1 0 ] } "
        "FaceSet {} }\n"
        "  RecursionSwitch { expression \"xd>0\" Group {} RecursionSeparator { USE Level } } }\n");
    ASSERT_NE(root, nullptr);
    RecursionExpandAction expander;
    expander.apply(root);
    SoSeparator *top = static_cast<SoSeparator *>(expander.getExpansion());
    ASSERT_TRUE(top->isOfType(SoSeparator::getClassTypeId()));
    EXPECT_EQ(top->renderCaching.getValue(), SoSeparator::ON); // as the loader left the root
    std::set<SoNode *> coordinates;
    int cached = 0, uncached = 0;
    forEachPlace(top, [&](SoNode *node) {
        if (node->isOfType(SoCoordinate3::getClassTypeId())) {
            coordinates.insert(node);
            EXPECT_EQ(static_cast<SoCoordinate3 *>(node)->point.getNum(), 3);
            EXPECT_EQ(static_cast<SoCoordinate3 *>(node)->point[1], SbVec3f(1, 0, 0));
        }
        if (node->isOfType(SoSeparator::getClassTypeId()) && node != top) {
            // As the set-up left them: on in "Cache" separators only
            SoSeparator *sep = static_cast<SoSeparator *>(node);
            int mode = node->getName() == "Cache" ? SoSeparator::ON : SoSeparator::OFF;
            (mode == SoSeparator::ON ? cached : uncached)++;
            EXPECT_EQ(sep->renderCaching.getValue(), mode);
            EXPECT_EQ(sep->boundingBoxCaching.getValue(), mode);
            EXPECT_EQ(sep->renderCulling.getValue(), mode);
            EXPECT_EQ(sep->pickCulling.getValue(), mode);
        }
    });
    EXPECT_EQ(cached, 3);
    EXPECT_EQ(uncached, 3);
    EXPECT_EQ(coordinates.size(), 1u);
    releaseRecursionScene(root);
}

TEST(Expansion, ReportsGroupsItCannotUnrollAndKeepsThem) {
    const char *kinds[] = {"Array", "MultipleCopy", "LOD", "PathSwitch"};
    for (const char *kind : kinds) {
        SCOPED_TRACE(kind);
        // Without recursion nodes below, the node is simply kept.
        for (bool recursive : {false, true}) {
            std::string scene = std::string(kind) + " { " +
                                (recursive ? "RecursionCalculator { expression \"xu=1\" } " : "") +
                                "Cube {} }\n";
            SoSeparator *root = loadSceneText(scene);
            ASSERT_NE(root, nullptr);
            RecursionExpandAction expander;
            testing::internal::CaptureStderr();
            expander.apply(root);
            std::string err = testing::internal::GetCapturedStderr();
            EXPECT_EQ(expander.isComplete(), !recursive);
            EXPECT_EQ(err, recursive ? std::string("Tessvane: cannot expand the ") + kind +
                                           " node: it traverses its children several times or "
                                           "as the view decides, and recursion nodes lie below "
                                           "it\n"
                                     : "");
            EXPECT_EQ(describe(expander.getExpansion(), reachable(root)),
                      recursive ? std::string("Separator[=") + kind + "]" : "=Separator");
            releaseRecursionScene(root);
        }
    }
}

TEST(SetUp, EntersGroupsThatUseTheModelMatrix) {
    // Their doAction moves the model matrix, which the set-up and tear-down
    // traversals must carry; the expansion needs such scenes loaded.
    int before = RecursionElement::getCount();
    SoSeparator *root = loadSceneText(
        "TransformSeparator { DEF InTs RecursionCalculator { expression \"xmt=1\" } }\n"
        "Array { DEF InArray RecursionCalculator { expression \"xma=1\" } }\n"
        "MultipleCopy { matrix [ 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1 ]\n"
        "  DEF InCopy RecursionCalculator { expression \"xmc=1\" } }\n");
    ASSERT_NE(root, nullptr);
    for (const char *name : {"InTs", "InArray", "InCopy"})
        EXPECT_NE(static_cast<RecursionCalculator *>(SoNode::getByName(name))->field, nullptr)
            << name;
    EXPECT_GT(RecursionElement::getCount(), before);
    releaseRecursionScene(root);
    EXPECT_EQ(RecursionElement::getCount(), before);
}

TEST(Expansion, StopsRunawayRecursionWhereRenderingStops) {
    SoSeparator *root = loadRecursionFile(dataFile("runaway.iv").c_str());
    ASSERT_NE(root, nullptr);
    testing::internal::CaptureStderr();
    size_t drawn = shapeMatrices(root, SoCube::getClassTypeId()).size();
    std::string renderReport = testing::internal::GetCapturedStderr();
    RecursionExpandAction expander;
    testing::internal::CaptureStderr();
    expander.apply(root);
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_EQ(report, renderReport);
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1) << report;
    EXPECT_EQ(shapeMatrices(expander.getExpansion(), SoCube::getClassTypeId()).size(), drawn);
    EXPECT_EQ(shapeMatrices(expander.getExpansion(), SoSphere::getClassTypeId()).size(), 1u);
    releaseRecursionScene(root);
}

TEST(Expansion, CallsBackWithProgressAndReleasesItsResultAtTheNextApply) {
    // 2^10 cubes; every branching level is a separator, a group and two
    // recursion-separator groups.
    SoSeparator *root = loadSceneText(
        "RecursionCalculator { expression \"xl=0\" }\n"
        "DEF Twice Separator { RecursionCalculator { expression \"xl=xl+1\" }\n"
        "  RecursionSwitch { expression \"xl<11\" Cube {}\n"
        "    Group { RecursionSeparator { USE Twice } RecursionSeparator { USE Twice } } } }\n");
    ASSERT_NE(root, nullptr);
    std::vector<long> calls;
    RecursionExpandAction expander;
    expander.setProgressCallback(
        [](void *data, long n) { static_cast<std::vector<long> *>(data)->push_back(n); },
        &calls, 1000);
    expander.apply(root);
    long total = expander.getNumNodes();
    ASSERT_GT(total, 3000);
    EXPECT_EQ(shapeMatrices(expander.getExpansion(), SoCube::getClassTypeId()).size(), 1024u);
    std::vector<long> expected;
    for (long n = 1000; n <= total; n += 1000)
        expected.push_back(n);
    EXPECT_EQ(calls, expected);

    SoNode *first = expander.getExpansion();
    first->ref();
    int held = first->getRefCount();
    expander.apply(root);
    EXPECT_EQ(first->getRefCount(), held - 1);
    EXPECT_EQ(expander.getNumNodes(), total);
    first->unref();
    releaseRecursionScene(root);
}

} // namespace
