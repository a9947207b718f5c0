// Bound transform nodes and the random variable node.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoFaceSet.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>

namespace {

SbVec3f translationOf(const SbMatrix &m) { return SbVec3f(m[3][0], m[3][1], m[3][2]); }

// Defined below: the generator computed independently of the program.
float firstDraw(int32_t s);

TEST(BoundTransforms, EachRecursionLevelAppliesItsOwnValues) {
    // Level k (k = 1..4) translates by (k, 0, 0), turns about z by the first
    // number of the random sequence seeded with k, and halves the size; a face
    // set on the node type's own coordinates stands at every level.
    SoSeparator *root = loadSceneText(
        "RecursionCalculator { expression \"bLevel=0\" }\n"
        "DEF Level Separator {\n"
        "  RecursionCalculator { expression \"bLevel=bLevel+1\" }\n"
        "  RecursionCalculator { expression \"step3=vec3f(bLevel,0,0)\" }\n"
        "  RecursionCalculator { expression \"size3=vec3f(0.5,0.5,0.5)\" }\n"
        "  RecursionCalculator { expression \"turn=bLevel\" }\n"
        "  RecursionRandom { expression \"turn\" seed -1 }\n"
        "  RecursionTranslation { expression \"step3\" }\n"
        "  RecursionRotationXYZ { axis Z expression \"turn\" }\n"
        "  RecursionScale { expression \"size3\" }\n"
        "  Cube {}\n"
        "  RecursionCoordinate3 { point [ 0 0 0, 1 0 0, 0 1 0 ] }\n"
        "  FaceSet { numVertices 3 }\n"
        "  RecursionSwitch { expression \"bLevel<4\" Group {} RecursionSeparator { USE Level } }\n"
        "}\n");
    ASSERT_NE(root, nullptr);
    std::vector<SbMatrix> m = shapeMatrices(root, SoCube::getClassTypeId());
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(shapeMatrices(root, SoFaceSet::getClassTypeId()).size(), 4u);

    // The same placements composed independently, level by level.
    SbMatrix expected = SbMatrix::identity();
    for (int k = 1; k <= 4; k++) {
        SbMatrix t, r, s;
        t.setTranslate(SbVec3f(k, 0, 0));
        r.setRotate(SbRotation(SbVec3f(0, 0, 1), firstDraw(k)));
        s.setScale(0.5f);
        expected = s * r * t * expected; // row vectors: the innermost transform first
        EXPECT_TRUE(m[k - 1].equals(expected, 1e-4f)) << "level " << k;
    }
    releaseRecursionScene(root);
}

TEST(BoundTransforms, NamesAreUsedWholeAndMustHaveTheRightKind) {
    SoDB::createGlobalField("bPlace3", SoSFVec3f::getClassTypeId());
    struct {
        const char *node;
        const char *condition;
    } cases[] = {
        {"RecursionTranslation { translation 1 0 0 expression \" bPlace3\" }", "field != NULL"},
        {"RecursionTranslation { translation 1 0 0 expression \"bPlace3 \" }", "field != NULL"},
        {"RecursionScale { scaleFactor 1 1 1 expression \"nothing3\" }", "field != NULL"},
        {"RecursionRotationXYZ { expression \"bPlace3\" }",
         "field->getTypeId() == SoSFFloat::getClassTypeId()"},
        {"RecursionTranslation { translation 1 0 0 expression \"bScalar\" }",
         "field->getTypeId() == SoSFVec3f::getClassTypeId()"},
    };
    SoDB::createGlobalField("bScalar", SoSFFloat::getClassTypeId());
    static_cast<SoSFVec3f *>(SoDB::getGlobalField("bPlace3"))->setValue(7, 7, 7);
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        SoSeparator *root = loadSceneText(std::string(c.node) + "\nCube {}\n");
        std::string err = testing::internal::GetCapturedStderr();
        ASSERT_NE(root, nullptr) << c.node;
        EXPECT_NE(err.find(c.condition), std::string::npos) << c.node << ": " << err;
        // Left unbound, the node acts with its file values: never (7, 7, 7).
        std::vector<SbMatrix> m = shapeMatrices(root, SoCube::getClassTypeId());
        ASSERT_EQ(m.size(), 1u);
        EXPECT_NE(translationOf(m[0]), SbVec3f(7, 7, 7)) << c.node;
        releaseRecursionScene(root);
    }
}

// The platform's 48-bit generator, computed here independently: the first n
// numbers drawn after seeding with s, rounded to single precision.
std::vector<float> sequence(int32_t s, int n) {
    uint64_t x = (static_cast<uint64_t>(static_cast<uint32_t>(s)) << 16) | 0x330E;
    std::vector<float> numbers;
    for (int i = 0; i < n; i++) {
        x = (0x5DEECE66DULL * x + 0xB) & ((1ULL << 48) - 1);
        numbers.push_back(
            static_cast<float>(static_cast<double>(x) / static_cast<double>(1ULL << 48)));
    }
    return numbers;
}
float firstDraw(int32_t s) { return sequence(s, 1)[0]; }

// The random variable's value at every sphere of one callback traversal.
std::vector<float> drawsAtSpheres(SoNode *root, const char *var) {
    return valuesAtShapes(root, SoSphere::getClassTypeId(), var);
}

std::string threeDraws(const char *seed, const char *before = "") {
    return std::string(before) + "DEF Draw RecursionRandom { expression \"rnd\" seed " + seed +
           " }\nSphere {}\nUSE Draw\nSphere {}\nUSE Draw\nSphere {}\n";
}

TEST(RandomNode, TheSeedRule) {
    // seed 5: the same number, the first of seed 5's sequence, at every visit.
    SoSeparator *root = loadSceneText(threeDraws("5"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(drawsAtSpheres(root, "rnd"), std::vector<float>(3, firstDraw(5)));
    releaseRecursionScene(root);

    // seed 0 (and -0.5, which truncates to 0): the running sequence.
    for (const char *seed : {"0", "-0.5", "0.9"}) {
        root = loadSceneText(threeDraws(seed));
        srand48(42);
        std::vector<float> draws = drawsAtSpheres(root, "rnd");
        srand48(42);
        std::vector<float> expected;
        for (int i = 0; i < 3; i++)
            expected.push_back(static_cast<float>(drand48()));
        EXPECT_EQ(draws, expected) << seed;
        releaseRecursionScene(root);
    }

    // seed -1 (and -1.5): reseed from the variable's own value, set just before.
    root = loadSceneText(threeDraws("-1.5", "RecursionCalculator { expression \"rnd=9.7\" }\n"));
    // Then the variable holds a draw below 1, which truncates to 0: no
    // reseeding, so seed 9's sequence runs on.
    EXPECT_EQ(drawsAtSpheres(root, "rnd"), sequence(9, 3));
    releaseRecursionScene(root);
}

TEST(RandomNode, DrawsLieInTheUnitIntervalAndHugeSeedsAreClamped) {
    for (const char *seed : {"1e30", "-1e30", "3", "0"}) {
        SoSeparator *root = loadSceneText(threeDraws(seed));
        ASSERT_NE(root, nullptr);
        for (float v : drawsAtSpheres(root, "rnd")) {
            EXPECT_GE(v, 0.0f) << seed;
            EXPECT_LE(v, 1.0f) << seed;
        }
        releaseRecursionScene(root);
    }
    SoSeparator *root = loadSceneText(threeDraws("1e30"));
    EXPECT_EQ(drawsAtSpheres(root, "rnd")[0], firstDraw(INT32_MAX));
    releaseRecursionScene(root);
}

TEST(RandomNode, ANameTakenByAVectorIsReportedAndTheNodeDrawsNothing) {
    SoSFVec3f *taken =
        static_cast<SoSFVec3f *>(SoDB::createGlobalField("rTaken3", SoSFVec3f::getClassTypeId()));
    taken->setValue(1, 2, 3);
    testing::internal::CaptureStderr();
    SoSeparator *root = loadSceneText("RecursionRandom { expression \"rTaken3\" } Cube {}");
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(root, nullptr);
    EXPECT_NE(err.find("field != NULL"), std::string::npos) << err;
    EXPECT_NE(err.find("rTaken3"), std::string::npos) << err;
    EXPECT_EQ(shapeMatrices(root, SoCube::getClassTypeId()).size(), 1u);
    EXPECT_EQ(taken->getValue(), SbVec3f(1, 2, 3));
    releaseRecursionScene(root);

    // A name ending in 3 made by a random node is a scalar.
    root = loadSceneText("RecursionRandom { expression \"rFresh3\" seed 2 } Cube {}");
    EXPECT_FLOAT_EQ(scalarVariable("rFresh3"), 0); // not drawn before a traversal
    shapeMatrices(root, SoCube::getClassTypeId());
    EXPECT_FLOAT_EQ(scalarVariable("rFresh3"), firstDraw(2));
    releaseRecursionScene(root);
}

} // namespace
