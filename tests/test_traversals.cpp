// The set-up and tear-down traversals, and scene loading.
#include "Recursion.h"
#include "TestScenes.h"
#include "ToolkitBounds.h"
#include <Inventor/SoPickedPoint.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/nodes/SoShape.h>

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSphere.h>
#include <Inventor/sensors/SoNodeSensor.h>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Tells whether a node has been freed: the sensor's delete callback fires
// when the node it watches is destroyed.
class FreeWatch {
public:
    explicit FreeWatch(SoNode *node) : sensor(nullptr, nullptr) {
        sensor.setDeleteCallback([](void *f, SoSensor *) { *static_cast<bool *>(f) = true; },
                                 &freed);
        sensor.attach(node);
    }
    bool freed = false;

private:
    SoNodeSensor sensor;
};

int cachingOf(const char *name) {
    SoSeparator *sep = static_cast<SoSeparator *>(SoNode::getByName(name));
    EXPECT_NE(sep, nullptr) << name;
    int mode = sep->renderCaching.getValue();
    EXPECT_EQ(sep->boundingBoxCaching.getValue(), mode) << name;
    EXPECT_EQ(sep->renderCulling.getValue(), mode) << name;
    EXPECT_EQ(sep->pickCulling.getValue(), mode) << name;
    return mode;
}

TEST(SetUp, OnlySeparatorsNamedExactlyCacheKeepCachingAndCulling) {
    SoSeparator *root = loadSceneText(
        "DEF Plain Separator { renderCaching ON }\n"
        "DEF Cache Separator { renderCaching OFF pickCulling AUTO DEF Nested Separator {} }\n"
        "DEF cache Separator {}\n"
        "DEF Cache2 Separator {}\n"
        "DEF RecPlain RecursionSeparator { DEF Below Separator { renderCaching ON "
        "boundingBoxCaching ON "
        "renderCulling ON pickCulling ON } }\n");
    ASSERT_NE(root, nullptr);
    struct {
        const char *name;
        int mode;
    } cases[] = {{"Plain", SoSeparator::OFF},
                 {"Cache", SoSeparator::ON},
                 {"Nested", SoSeparator::OFF},
                 {"cache", SoSeparator::OFF},
                 {"Cache2", SoSeparator::OFF},
                 {"RecPlain", SoSeparator::OFF},
                 // below a recursion separator: not reached, keeps the file's value
                 {"Below", SoSeparator::ON}};
    for (const auto &c : cases)
        EXPECT_EQ(cachingOf(c.name), c.mode) << c.name;
    // The root that the reader made is switched on after the set-up.
    EXPECT_EQ(root->renderCaching.getValue(), SoSeparator::ON);
    EXPECT_EQ(root->pickCulling.getValue(), SoSeparator::ON);
    releaseRecursionScene(root);
}

TEST(SetUp, ARecursionSeparatorNamedCacheIsSwitchedOnButNotEntered) {
    SoSeparator *root = loadSceneText(
        "DEF Cache RecursionSeparator { DEF Hidden RecursionCalculator { expression \"hid=1\" } }\n"
        "Cube {}\n");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(cachingOf("Cache"), SoSeparator::ON);
    auto *hidden = static_cast<RecursionCalculator *>(SoNode::getByName("Hidden"));
    EXPECT_EQ(hidden->getExpressionField(), SbString(""));
    EXPECT_EQ(hidden->field, nullptr);
    releaseRecursionScene(root);
}

TEST(SetUp, PlainSwitchesEnterTheirChoiceRecursionSwitchesEveryChild) {
    int before = RecursionElement::getCount();
    SoSeparator *root = loadSceneText(
        "Switch { whichChild 0 Group {}"
        "         DEF Unchosen RecursionCalculator { expression \"swUnchosen=1\" } }\n"
        "RecursionSwitch { whichChild 0 Group {}"
        "         DEF Walked RecursionCalculator { expression \"swWalked=1\" }"
        "         Separator { DEF Deeper RecursionCalculator { expression \"swDeeper=1\" } } }\n");
    ASSERT_NE(root, nullptr);
    auto calc = [](const char *name) {
        return static_cast<RecursionCalculator *>(SoNode::getByName(name));
    };
    EXPECT_EQ(calc("Unchosen")->field, nullptr);
    EXPECT_NE(calc("Walked")->field, nullptr);
    EXPECT_NE(calc("Deeper")->field, nullptr);
    EXPECT_EQ(RecursionElement::getCount(), before + 2);
    releaseRecursionScene(root);
    EXPECT_EQ(RecursionElement::getCount(), before);
}

TEST(SetUp, ANodeReachedTwiceIsSetUpTwiceAndTornDownTwice) {
    SoSeparator *root = loadSceneText("DEF Twice RecursionCalculator { expression \"twice=1\" }\n"
                                      "Separator { USE Twice }\n");
    ASSERT_NE(root, nullptr);
    int slot = RecursionElement::findSlot(SoDB::getGlobalField("twice"));
    ASSERT_GE(slot, 0);
    EXPECT_EQ(RecursionElement::getRefCount(slot), 2);
    releaseRecursionScene(root);
    EXPECT_EQ(RecursionElement::findSlot(SoDB::getGlobalField("twice")), -1);
}

TEST(TearDown, EmptiesEveryRecursionSeparatorAndFreesTheCyclicScene) {
    SoSeparator *root =
        loadSceneText("DEF Top Separator {\n"
                      "  RecursionCalculator { expression \"tdDepth=3\" }\n"
                      "  DEF Tree Separator {\n"
                      "    RecursionCalculator { expression \"tdDepth=tdDepth-1\" }\n"
                      "    DEF Leaf Cube {}\n"
                      "    RecursionSwitch { expression \"tdDepth>0\" Group {}\n"
                      "      DEF Rec1 RecursionSeparator { USE Tree }\n"
                      "      DEF Rec2 RecursionSeparator { USE Tree USE Top } }\n"
                      "  }\n"
                      "}\n");
    ASSERT_NE(root, nullptr);
    SoGroup *rec1 = static_cast<SoGroup *>(SoNode::getByName("Rec1"));
    SoGroup *rec2 = static_cast<SoGroup *>(SoNode::getByName("Rec2"));
    FreeWatch tree(SoNode::getByName("Tree")), leaf(SoNode::getByName("Leaf")), rec(rec2),
        top(SoNode::getByName("Top"));
    int before = RecursionElement::getCount();

    RecursionDoneAction rda;
    rda.apply(root);
    EXPECT_EQ(rec1->getNumChildren(), 0);
    EXPECT_EQ(rec2->getNumChildren(), 0);
    EXPECT_EQ(RecursionElement::getCount(), before - 1);
    EXPECT_FALSE(tree.freed);

    root->unref();
    EXPECT_TRUE(tree.freed);
    EXPECT_TRUE(leaf.freed);
    EXPECT_TRUE(rec.freed);
    EXPECT_TRUE(top.freed);
}

TEST(TearDown, EntersFileNodesLikeTheSetUp) {
    std::string scene = "File { name \"" + dataFile("included.iv") + "\" }\n";
    SoSeparator *root = loadSceneText(scene);
    ASSERT_NE(root, nullptr);
    ASSERT_GE(RecursionElement::findSlot(SoDB::getGlobalField("fileDepth")), 0);
    EXPECT_EQ(shapeMatrices(root, SoSphere::getClassTypeId()).size(), 2u);
    FreeWatch inner(SoNode::getByName("Inner"));
    releaseRecursionScene(root);
    EXPECT_EQ(RecursionElement::findSlot(SoDB::getGlobalField("fileDepth")), -1);
    EXPECT_TRUE(inner.freed);
}

TEST(Loading, FilesThatCannotBeReadGiveNullWithTheToolkitsReport) {
    struct {
        std::string file;
        const char *report;
    } cases[] = {{"/nonexistent/scene.iv", "Can't open file"}, {dataFile("truncated.iv"), "EOF"}};
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        SoSeparator *root = loadRecursionFile(c.file.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(root, nullptr) << c.file;
        EXPECT_NE(err.find(c.report), std::string::npos) << c.file << ": " << err;
    }
}

// Writes a scene file `name` into `dir` that holds a File node for each name in `includes`.
static std::string writeIncluding(const std::string &dir, const std::string &name,
                                  const std::vector<std::string> &includes) {
    std::string path = dir + "/" + name;
    FILE *f = fopen(path.c_str(), "w");
    EXPECT_NE(f, nullptr) << path;
    fprintf(f, "#Inventor V2.1 ascii\nSeparator { Cube {}\n");
    for (const std::string &include : includes)
        fprintf(f, "  File { name \"%s/%s\" }\n", dir.c_str(), include.c_str());
    fprintf(f, "}\n");
    fclose(f);
    return path;
}

TEST(Loading, FileNodesNestAtMost32DeepAndNameRegularFiles) {
    char dirTemplate[] = "/tmp/tessvane-files-XXXXXX";
    std::string dir = mkdtemp(dirTemplate);
    std::vector<std::string> paths;
    // A chain of 32 files, each including the next: the deepest nesting allowed.
    for (int i = 0; i < RecursionFile::maxNesting; i++) {
        std::string next = "chain" + std::to_string(i + 1) + ".iv";
        paths.push_back(writeIncluding(dir, "chain" + std::to_string(i) + ".iv",
                                       i + 1 < RecursionFile::maxNesting
                                           ? std::vector<std::string>{next}
                                           : std::vector<std::string>{}));
    }
    std::string top = writeIncluding(dir, "top.iv", {"chain0.iv"});
    SoSeparator *root = loadRecursionFile(top.c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(shapeMatrices(root, SoCube::getClassTypeId()).size(), 33u);
    std::string written = writeScene(root);
    EXPECT_NE(written.find("File {"), std::string::npos) << written;
    EXPECT_EQ(written.find("RecursionFile"), std::string::npos) << written;
    EXPECT_EQ(written.find("fields ["), std::string::npos) << written;
    releaseRecursionScene(root);

    paths.push_back(top);
    paths.push_back(writeIncluding(dir, "self.iv", {"self.iv"}));
    paths.push_back(writeIncluding(dir, "ping.iv", {"pong.iv"}));
    paths.push_back(writeIncluding(dir, "pong.iv", {"ping.iv"}));
    paths.push_back(writeIncluding(dir, "deeper.iv", {"top.iv"}));
    for (const char *name : {"self.iv", "ping.iv", "deeper.iv"}) {
        testing::internal::CaptureStderr();
        SoSeparator *refused = loadRecursionFile((dir + "/" + name).c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(refused, nullptr) << name;
        EXPECT_NE(err.find("Tessvane: check failed: nesting < maxNesting"), std::string::npos)
            << name << ": " << err;
        EXPECT_NE(err.find("File nodes nest more than 32 deep"), std::string::npos) << err;
    }
    // A folder or a device would be read without end.
    paths.push_back(writeIncluding(dir, "folder.iv", {"."}));
    paths.push_back(writeIncluding(dir, "device.iv", {"../../dev/zero"}));
    for (const char *name : {"folder.iv", "device.iv"}) {
        testing::internal::CaptureStderr();
        SoSeparator *refused = loadRecursionFile((dir + "/" + name).c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(refused, nullptr) << name;
        EXPECT_NE(err.find("is no regular file; it cannot be read"), std::string::npos)
            << name << ": " << err;
    }
    for (const std::string &path : paths)
        unlink(path.c_str());
    rmdir(dir.c_str());
}

std::string nested(int levels, const std::string &inner) {
    std::string text;
    for (int i = 0; i < levels; i++)
        text += "Separator {\n";
    text += inner;
    for (int i = 0; i < levels; i++)
        text += "}\n";
    return text;
}

TEST(Loading, NodesNestingDeeperThanTheLimitAreRefusedBeforeReading) {
    struct {
        std::string scene;
        bool loads;
    } cases[] = {
        // The shape's own braces are a level too.
        {nested(SceneFileCheck::maxNesting - 1, "Cube {}"), true},
        {nested(SceneFileCheck::maxNesting, "Cube {}"), false},
        {nested(30000, ""), false}, // would overflow the stack while being read
        {"Separator {\n" + nested(SceneFileCheck::maxNesting - 2, "Cube {} # {{{{\n") + "}", true},
        {nested(SceneFileCheck::maxNesting - 1, "Info { string \"{{ \\\" {{\" }"), true},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        SoSeparator *root = loadSceneText(c.scene);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(root != nullptr, c.loads) << c.scene.substr(0, 40) << ": " << err;
        if (!c.loads) {
            EXPECT_NE(err.find("more than 1000 levels cannot be read"), std::string::npos) << err;
        }
        if (root)
            releaseRecursionScene(root);
    }
}

// Triangles a callback action gets from `root`.
static int triangles(SoNode *root) {
    int count = 0;
    SoCallbackAction ca;
    ca.addTriangleCallback(
        SoShape::getClassTypeId(),
        [](void *data, SoCallbackAction *, const SoPrimitiveVertex *, const SoPrimitiveVertex *,
           const SoPrimitiveVertex *) { ++*static_cast<int *>(data); },
        &count);
    ca.apply(root);
    return count;
}

TEST(VertexShapes, AreLeftOutAtEveryVisitWhereTheirIndicesDoNotFit) {
    // One face set with index 3, under four coordinates and then under three.
    SoSeparator *root = readSceneText(
        "Separator { Coordinate3 { point [ 0 0 0, 1 0 0, 1 1 0, 0 1 0 ] }\n"
        "  DEF Quad IndexedFaceSet { coordIndex [ 0, 1, 2, 3, -1 ] } }\n"
        "DEF Three Separator { Coordinate3 { point [ 5 0 0, 6 0 0, 6 1 0 ] } USE Quad }\n");
    ASSERT_NE(root, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(triangles(root), 2); // the first visit only
    SoGetBoundingBoxAction box(SbViewportRegion(100, 100));
    box.apply(root);
    EXPECT_LT(box.getBoundingBox().getMax()[0], 1.5f); // nothing near x = 5
    box.apply(SoNode::getByName("Three"));
    EXPECT_TRUE(box.getBoundingBox().isEmpty());
    SoRayPickAction pick(SbViewportRegion(100, 100));
    pick.setRay(SbVec3f(5.5f, 0.2f, 10), SbVec3f(0, 0, -1));
    pick.apply(root);
    EXPECT_EQ(pick.getPickedPoint(), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Tessvane: the IndexedFaceSet \"Quad\" is not drawn: coordIndex 3 is outside "
                   "the 3 coordinates in effect\n");
    pick.setRay(SbVec3f(0.5f, 0.2f, 10), SbVec3f(0, 0, -1));
    pick.apply(root);
    EXPECT_NE(pick.getPickedPoint(), nullptr);
    root->unref();
}

TEST(Loading, TheChecksOfTheToolkitsReaderAndDrawingAreInForce) {
    EXPECT_TRUE(ToolkitBounds::inForce());
}

TEST(Loading, WhatTheToolkitsReaderCannotTakeIsRefusedAndTheRestRead) {
    // The toolkit copies the first line into a 256-byte stack buffer unchecked.
    const std::string header = "#Inventor V2.1 ascii";
    struct {
        std::string path;
        std::string text;   // written to `path` unless empty
        const char *report; // nullptr: loads
    } cases[] = {
        {"/tmp/tessvane-header-255.iv",
         header + std::string(SceneFileCheck::maxHeaderLine - header.size(), ' ') + "\nCube {}\n",
         nullptr},
        {"/tmp/tessvane-header-256.iv",
         header + std::string(SceneFileCheck::maxHeaderLine + 1 - header.size(), ' ') +
             "\nCube {}\n",
         "the first line has 256 characters; a header line may have at most 255"},
        {"/tmp/tessvane-header-long.iv", header + std::string(100000, '#') + "\nCube {}\n",
         "the first line has 100020 characters"},
        // Only a word read as a number, a boolean or a pixel goes into a 32-byte
        // buffer: 31 characters fit there; names, quoted text, comments and
        // scenes written without blanks are free.
        {"/tmp/tessvane-word-free.iv",
         header + "\nDEF " + std::string(100000, 'N') + " Separator{Separator{Info{string \"" +
             std::string(100000, 's') + "\"}Cube{}}} # " + std::string(1000, 'c') + "\n" +
             "Switch{whichChild " + std::string(30, '0') + "1 Cube{}}\n" +
             "DirectionalLight { on TRUE } Texture2 { image 1 1 1 0x" + std::string(29, '0') +
             "} \n",
         nullptr},
        {"/tmp/tessvane-word-digits.iv",
         header + "\nSwitch {\n whichChild " + std::string(32, '1') + " }\n",
         "\"1111111111111111111111111111111...\" is longer than 31 characters"},
        {"/tmp/tessvane-word-boolean.iv",
         header + "\nDirectionalLight { on TRUE" + std::string(100, 'E') + " }\n",
         "\"TRUEEEEEEEEEEEEEEEEEEEEEEEEEEEE...\" is longer than 31 characters"},
        {"/tmp/tessvane-word-pixel.iv",
         header + "\nTexture2 { image 1 1 1 0x" + std::string(30, '0') + "}\n",
         "is longer than 31 characters; a number, a boolean or a pixel value"},
        // Messages quoting long names are cut short; unknown type names are
        // not looked for as shared objects (whose paths go into a 112-byte buffer).
        {"/tmp/tessvane-long-use.iv",
         header + "\nSeparator { USE " + std::string(20000, 'U') + " }\n", "UUUUUUUU..."},
        {"/tmp/tessvane-long-file-name.iv",
         header + "\nFile { name \"" + std::string(20000, 'F') + "\" }\n", "FFFFFFFF..."},
        {"/tmp/tessvane-long-type.iv", header + "\n" + std::string(300, 'T') + " {}\n",
         "Unknown class \"TTTTTTTT"},
        {"/tmp/tessvane-long-quoted-type.iv",
         header + "\nSeparatorKit { childList NodeKitListPart { containerTypeName \"" +
             std::string(300, 'T') + "\" } }\n",
         "Given container type is not derived from Group"},
        // The toolkit's upgrade of old files frees a recursion still in use on a read error.
        {"/tmp/tessvane-v1-use.iv",
         "#Inventor V1.0 ascii\nDEF A Separator { Cube {} Separator { USE A } }\n",
         "a file in the V1.0 format may not USE nodes"},
        {"/tmp/tessvane-v1.iv", "#Inventor V1.0 ascii\nSeparator { Cube {} } # USE\n", nullptr},
        // The reader goes on with a node it never set.
        {"/tmp/tessvane-ends-in-use.iv", header + "\nSeparator { Cube {} }\nUSE # A\n",
         "the file ends in USE without a name"},
        {"/tmp/tessvane-use-comment.iv", header + "\nUSE# A\n", "ends in USE without a name"},
        // A binary file is read in a child process first: the toolkit trusts
        // its lengths (here the length of the first name, 2^31 - 1).
        {dataFile("binary.iv"), "", nullptr},
        {dataFile("binary_damaged.iv"), "",
         "binary format ends the reader (an exception, such as running out of memory)"},
        {"/dev/zero", "", "/dev/zero: is no regular file; it cannot be read"},
        {"/tmp", "", "/tmp: is no regular file; it cannot be read"},
    };
    for (const auto &c : cases) {
        if (!c.text.empty()) {
            FILE *f = fopen(c.path.c_str(), "w");
            ASSERT_NE(f, nullptr);
            fputs(c.text.c_str(), f);
            fclose(f);
        }
        testing::internal::CaptureStderr();
        SoSeparator *root = loadRecursionFile(c.path.c_str());
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(root != nullptr, c.report == nullptr) << c.path << ": " << err;
        if (c.report) {
            EXPECT_NE(err.find(c.report), std::string::npos) << err;
        }
        if (root)
            releaseRecursionScene(root);
        if (!c.text.empty())
            unlink(c.path.c_str());
    }
}

TEST(Loading, BracesNestAtMost1000DeepCountingTheFilesIncludingAFile) {
    char dirTemplate[] = "/tmp/tessvane-nesting-XXXXXX";
    std::string dir = mkdtemp(dirTemplate);
    // Each file nests `levels` separators around a Cube or a File node
    // including the next file, whose own braces make one level more.
    auto write = [&](const std::string &name, int levels, const std::string &next) {
        std::string path = dir + "/" + name;
        std::string inner = next.empty() ? "Cube {}" : "File { name \"" + dir + "/" + next + "\" }";
        FILE *f = fopen(path.c_str(), "w");
        EXPECT_NE(f, nullptr) << path;
        fprintf(f, "#Inventor V2.1 ascii\n%s", nested(levels, inner).c_str());
        fclose(f);
        return path;
    };
    std::vector<std::string> paths = {write("a.iv", 399, "b.iv"), write("b.iv", 399, "c.iv"),
                                      write("c.iv", 199, ""), write("d.iv", 200, "")};
    SoSeparator *root = loadRecursionFile(paths[0].c_str()); // 400 + 400 + 200 levels
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(shapeMatrices(root, SoCube::getClassTypeId()).size(), 1u);
    releaseRecursionScene(root);

    paths.push_back(write("e.iv", 399, "f.iv"));
    paths.push_back(write("f.iv", 399, "d.iv")); // 400 + 400 + 201 levels: one too many
    testing::internal::CaptureStderr();
    root = loadRecursionFile(paths[4].c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(err.find("d.iv: nodes nest 201 deep in it, below 800 levels in the files that "
                       "include it; more than 1000 levels cannot be read"),
              std::string::npos)
        << err;
    for (const std::string &path : paths)
        unlink(path.c_str());
    rmdir(dir.c_str());
}

TEST(Loading, OneSetUpActionServesEveryLoad) {
    SoSeparator *first = loadSceneText("Cube {}");
    ASSERT_NE(first, nullptr);
    int built = RecursionInitAction::getNumConstructed();
    EXPECT_EQ(built, 1);
    SoSeparator *second = loadSceneText("Sphere {}");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(RecursionInitAction::getNumConstructed(), built);
    releaseRecursionScene(first);
    releaseRecursionScene(second);
}

TEST(Loading, ACycleThatPassesNoRecursionSeparatorIsRejectedAndFreed) {
    // Cube first: the reader makes the root separator, which the watch can outlive.
    std::string file = writeTempScene("Cube {}\n"
                                      "DEF Loop Separator { Cube {} Group { USE Loop } }\n");
    testing::internal::CaptureStderr();
    SoSeparator *root = loadRecursionFile(file.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(root, nullptr);
    EXPECT_NE(err.find(file), std::string::npos) << err;
    EXPECT_NE(err.find("Separator node \"Loop\""), std::string::npos) << err;
    EXPECT_NE(err.find("RecursionSeparator"), std::string::npos) << err;
    EXPECT_EQ(SoNode::getByName("Loop"), nullptr); // freed: its name went with it
    unlink(file.c_str());
}

TEST(Loading, TheCycleCheckWalksSharedSubgraphsOnce) {
    // 2^40 paths lead to the cube; the set-up enters nothing below the plain
    // switch, so only a check that re-walked shared nodes could take long.
    std::string scene = "Switch { whichChild -1 DEF L0 Group { Cube {} }\n";
    for (int i = 1; i <= 40; i++)
        scene += "DEF L" + std::to_string(i) + " Group { USE L" + std::to_string(i - 1) + " USE L" +
                 std::to_string(i - 1) + " }\n";
    scene += "}\n";
    SoSeparator *root = loadSceneText(scene);
    ASSERT_NE(root, nullptr);
    releaseRecursionScene(root);
}

} // namespace

namespace {

TEST(Loading, WarnsOfRecursionsThatNoSwitchCanEnd) {
    // Loop recurses through a recursion separator only; Fine has a switch.
    std::string file = dataFile("unswitched.iv");
    testing::internal::CaptureStderr();
    SoSeparator *root = loadRecursionFile(file.c_str());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(root, nullptr); // a warning, not an error
    EXPECT_EQ(err, "Tessvane: warning: " + file +
                       ": the recursion through the RecursionSeparator below \"Loop\" passes "
                       "through no RecursionSwitch; only the runaway limit can stop it\n");
    releaseRecursionScene(root);
}

} // namespace

namespace {

TEST(SetUp, EveryChildOfALevelOfDetailGroupIsPreparedAndReleased) {
    for (const char *kind : {"LevelOfDetail", "LOD"}) {
        int before = RecursionElement::getCount();
        SoSeparator *root = loadSceneText(
            std::string(kind) + " { Cube {} DEF Near RecursionCalculator { expression "
                                "\"lodNear=1\" } Separator { DEF Far RecursionCalculator { "
                                "expression \"lodFar=1\" } } }\n");
        ASSERT_NE(root, nullptr) << kind;
        EXPECT_NE(static_cast<RecursionCalculator *>(SoNode::getByName("Near"))->field, nullptr);
        EXPECT_NE(static_cast<RecursionCalculator *>(SoNode::getByName("Far"))->field, nullptr);
        EXPECT_EQ(RecursionElement::getCount(), before + 2) << kind;
        releaseRecursionScene(root);
        EXPECT_EQ(RecursionElement::getCount(), before) << kind;
    }
}

} // namespace
