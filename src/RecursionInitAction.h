#ifndef TESSVANE_RECURSION_INIT_ACTION_H
#define TESSVANE_RECURSION_INIT_ACTION_H

#include <Inventor/actions/SoSubAction.h>

// The set-up traversal, applied once to every freshly read scene. It switches
// caching and culling off in every separator except those named "Cache", wires
// calculator and switch expressions to engines, and binds the transform and
// random nodes to their variables. It never enters a recursion separator,
// which is what keeps it from following a cycle.
class RecursionInitAction : public SoAction {
    SO_ACTION_HEADER(RecursionInitAction);

public:
    static void initClass();
    RecursionInitAction();
    virtual ~RecursionInitAction();

    // How many set-up actions this process has built (the loader keeps one)
    static int getNumConstructed() { return numConstructed; }

protected:
    // Dispatches the root through the method table like any node below it
    virtual void beginTraversal(SoNode *node);

private:
    static void callDoAction(SoAction *action, SoNode *node);
    static void walkAllChildren(SoAction *action, SoNode *node);
    static void disableCache(SoAction *action, SoNode *node);
    static void setupCalculator(SoAction *action, SoNode *node);
    static void setupSwitch(SoAction *action, SoNode *node);
    static void setupTranslation(SoAction *action, SoNode *node);
    static void setupScale(SoAction *action, SoNode *node);
    static void setupRotationXYZ(SoAction *action, SoNode *node);
    static void setupRandomField(SoAction *action, SoNode *node);

    static int numConstructed;
};

#endif
