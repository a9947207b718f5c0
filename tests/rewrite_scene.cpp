// Reads a recursive scene with the recursion classes known, without setting
// it up, and writes it again as tessvane-expand writes its output: ASCII with
// eight significant digits. Both files then carry the toolkit's rounding of
// the same values, so that images of the two can be compared pixel by pixel.
//
// Usage: rewrite_scene SCENE OUT
#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "Usage: rewrite_scene SCENE OUT\n");
        return 2;
    }
    SoDB::init();
    initRecursionClasses();
    SoInput in;
    if (!in.openFile(argv[1]))
        return 1;
    SoSeparator *root = SoDB::readAll(&in);
    if (root == NULL)
        return 1;
    root->ref();
    SoOutput out;
    if (!out.openFile(argv[2]))
        return 1;
    out.setFloatPrecision(8);
    SoWriteAction writer(&out);
    writer.apply(root);
    out.closeFile();
    return 0;
}
