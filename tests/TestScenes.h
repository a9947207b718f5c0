#ifndef TESSVANE_TEST_SCENES_H
#define TESSVANE_TEST_SCENES_H

// Helpers shared by the runtime tests: scenes from text, written forms, and
// counting the shapes a traversal reaches.

#include <Inventor/SbLinear.h>
#include <Inventor/SoType.h>
#include <string>
#include <vector>

class SoNode;
class SoSeparator;

// Writes `text` to a fresh temporary file and returns its name.
std::string writeTempScene(const std::string &text);

// loadRecursionFile on a temporary file holding `text` (NULL when it fails).
SoSeparator *loadSceneText(const std::string &text);

// Reads `text` with the toolkit alone, without the set-up; the root is ref'd.
SoSeparator *readSceneText(const std::string &text);

// The ASCII written form of `node`, without the file header line.
std::string writeScene(SoNode *node);

// A file in tests/data.
std::string dataFile(const char *name);

// The scene files in examples/, sorted by name.
std::vector<std::string> exampleFiles();

// The model matrix at every shape of `type` a callback action reaches, in
// traversal order.
std::vector<SbMatrix> shapeMatrices(SoNode *root, SoType type);

// Float value of a global field (a recursion variable); fails the test if absent.
float scalarVariable(const char *name);

// The value of the scalar variable `var` at every shape of `type` a callback
// action reaches, in traversal order.
std::vector<float> valuesAtShapes(SoNode *root, SoType type, const char *var);
SbVec3f vectorVariable(const char *name);

#endif
