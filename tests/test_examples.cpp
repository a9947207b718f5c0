// Every scene in examples/ loads without a report and draws the number of
// shapes its header comment states.
#include "Recursion.h"
#include "TestScenes.h"

#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoShape.h>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace {

// The count in the header line "# Shapes drawn: N", or -1.
int statedShapes(const std::string &file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::smatch m;
    std::string s = text.str();
    if (!std::regex_search(s, m, std::regex("# Shapes drawn: ([0-9]+)")))
        return -1;
    return std::stoi(m[1]);
}

TEST(Examples, LoadWithoutReportAndDrawTheShapesTheirHeaderStates) {
    std::vector<std::string> files = exampleFiles();
    EXPECT_GE(files.size(), 8u);
    for (const std::string &file : files) {
        int stated = statedShapes(file);
        EXPECT_GT(stated, 0) << file << " states no shape count";
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        SoSeparator *root = loadRecursionFile(file.c_str());
        std::string report = testing::internal::GetCapturedStderr() +
                             testing::internal::GetCapturedStdout();
        ASSERT_NE(root, nullptr) << file;
        EXPECT_EQ(report, "") << file;
        EXPECT_EQ((int)shapeMatrices(root, SoShape::getClassTypeId()).size(), stated) << file;
        releaseRecursionScene(root);
    }
}

} // namespace
