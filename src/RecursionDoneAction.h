#ifndef TESSVANE_RECURSION_DONE_ACTION_H
#define TESSVANE_RECURSION_DONE_ACTION_H

#include <Inventor/actions/SoSubAction.h>

// The tear-down traversal, applied to a scene root before it is released. It
// gives back every calculator's variable registration and empties every
// recursion separator, which breaks the scene's cycles so that releasing the
// root frees the whole graph.
class RecursionDoneAction : public SoAction {
    SO_ACTION_HEADER(RecursionDoneAction);

public:
    static void initClass();
    RecursionDoneAction();
    virtual ~RecursionDoneAction();

protected:
    // Dispatches the root through the method table like any node below it
    virtual void beginTraversal(SoNode *node);

private:
    static void callDoAction(SoAction *action, SoNode *node);
    static void walkAllChildren(SoAction *action, SoNode *node);
    static void unlinkRecursion(SoAction *action, SoNode *node);
    static void unregisterFields(SoAction *action, SoNode *node);
};

#endif
