#ifndef TESSVANE_RECURSIONROTATIONXYZ_H
#define TESSVANE_RECURSIONROTATIONXYZ_H

#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoRotationXYZ.h>
#include <Inventor/nodes/SoSubNode.h>

// A single-axis rotation whose angle follows a recursion variable.
// The set-up connects `angle` from the scalar variable that `expression` names, so
// every traversal applies the variable's value of that moment.
class RecursionRotationXYZ : public SoRotationXYZ {
    SO_NODE_HEADER(RecursionRotationXYZ);

public:
    SoSFString expression; // name of the scalar variable, used whole (no blanks removed)

    static void initClass();
    RecursionRotationXYZ();

    // Written form: the axis and expression lines, never the connected `angle`
    virtual void write(SoWriteAction *action);

private:
    virtual ~RecursionRotationXYZ();
};

#endif
