#ifndef TESSVANE_RECURSIONTRANSLATION_H
#define TESSVANE_RECURSIONTRANSLATION_H

#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoTranslation.h>
#include <Inventor/nodes/SoSubNode.h>

// A translation whose vector follows a recursion variable.
// The set-up connects `translation` from the vector variable that `expression` names, so
// every traversal applies the variable's value of that moment.
class RecursionTranslation : public SoTranslation {
    SO_NODE_HEADER(RecursionTranslation);

public:
    SoSFString expression; // name of the vector variable, used whole (no blanks removed)

    static void initClass();
    RecursionTranslation();

    // Written form: the expression line only, never the connected `translation`
    virtual void write(SoWriteAction *action);

private:
    virtual ~RecursionTranslation();
};

#endif
