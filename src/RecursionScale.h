#ifndef TESSVANE_RECURSIONSCALE_H
#define TESSVANE_RECURSIONSCALE_H

#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoScale.h>
#include <Inventor/nodes/SoSubNode.h>

// A scale whose factors follow a recursion variable.
// The set-up connects `scaleFactor` from the vector variable that `expression` names, so
// every traversal applies the variable's value of that moment.
class RecursionScale : public SoScale {
    SO_NODE_HEADER(RecursionScale);

public:
    SoSFString expression; // name of the vector variable, used whole (no blanks removed)

    static void initClass();
    RecursionScale();

    // Written form: the expression line only, never the connected `scaleFactor`
    virtual void write(SoWriteAction *action);

private:
    virtual ~RecursionScale();
};

#endif
