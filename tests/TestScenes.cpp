#include "TestScenes.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoSeparator.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

#include "Recursion.h"

std::string writeTempScene(const std::string &text) {
    char name[] = "/tmp/tessvane-test-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    std::string full = "#Inventor V2.1 ascii\n\n" + text;
    EXPECT_EQ(write(fd, full.data(), full.size()), (ssize_t)full.size());
    close(fd);
    return name;
}

SoSeparator *loadSceneText(const std::string &text) {
    std::string name = writeTempScene(text);
    SoSeparator *root = loadRecursionFile(name.c_str());
    unlink(name.c_str());
    return root;
}

SoSeparator *readSceneText(const std::string &text) {
    std::string full = "#Inventor V2.1 ascii\n\n" + text;
    SoInput in;
    in.setBuffer((void *)full.data(), full.size());
    SoSeparator *root = SoDB::readAll(&in);
    if (root)
        root->ref();
    return root;
}

static void *growBuffer(void *ptr, size_t size) { return realloc(ptr, size); }

std::string writeScene(SoNode *node) {
    SoWriteAction wa;
    SoOutput *out = wa.getOutput();
    out->setBuffer(malloc(1024), 1024, growBuffer);
    wa.apply(node);
    void *buf;
    size_t size;
    out->getBuffer(buf, size);
    std::string text(static_cast<char *>(buf), size);
    free(buf);
    // Drop the file header line and the blank line after it.
    const std::string header = "#Inventor V2.1 ascii\n\n";
    if (text.compare(0, header.size(), header) == 0)
        text.erase(0, header.size());
    return text;
}

std::string dataFile(const char *name) { return std::string(TESSVANE_TEST_DATA) + "/" + name; }

static SoCallbackAction::Response recordMatrix(void *data, SoCallbackAction *action,
                                               const SoNode *) {
    static_cast<std::vector<SbMatrix> *>(data)->push_back(action->getModelMatrix());
    return SoCallbackAction::CONTINUE;
}

std::vector<std::string> exampleFiles() {
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(TESSVANE_EXAMPLES))
        if (entry.path().extension() == ".iv")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<float> valuesAtShapes(SoNode *root, SoType type, const char *var) {
    struct Ctx {
        const char *var;
        std::vector<float> values;
    } ctx{var, {}};
    SoCallbackAction ca;
    ca.addPreCallback(
        type,
        [](void *data, SoCallbackAction *, const SoNode *) {
            auto *c = static_cast<Ctx *>(data);
            c->values.push_back(scalarVariable(c->var));
            return SoCallbackAction::CONTINUE;
        },
        &ctx);
    ca.apply(root);
    return ctx.values;
}

std::vector<SbMatrix> shapeMatrices(SoNode *root, SoType type) {
    std::vector<SbMatrix> matrices;
    SoCallbackAction ca;
    ca.addPreCallback(type, recordMatrix, &matrices);
    ca.apply(root);
    return matrices;
}

float scalarVariable(const char *name) {
    SoField *f = SoDB::getGlobalField(name);
    EXPECT_TRUE(f && f->getTypeId() == SoSFFloat::getClassTypeId()) << name;
    return f ? static_cast<SoSFFloat *>(f)->getValue() : NAN;
}

SbVec3f vectorVariable(const char *name) {
    SoField *f = SoDB::getGlobalField(name);
    EXPECT_TRUE(f && f->getTypeId() == SoSFVec3f::getClassTypeId()) << name;
    return f ? static_cast<SoSFVec3f *>(f)->getValue() : SbVec3f(NAN, NAN, NAN);
}
