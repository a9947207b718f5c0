#ifndef TESSVANE_RECURSION_SEPARATOR_H
#define TESSVANE_RECURSION_SEPARATOR_H

#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSubNode.h>
#include <string>

// The group through which a scene closes its cycles. Every pass saves all
// registered recursion variables, traverses the children (normally the USE of
// an enclosing node, one level deeper) and restores the variables, so that
// whatever a deeper level assigned is undone on the way back. Unlike a plain
// separator it opens no state level and never caches or culls. It also stops
// change notifications that come back to it around the cycle.
class RecursionSeparator : public SoSeparator {
    SO_NODE_HEADER(RecursionSeparator);

public:
    // Runaway recursion is stopped: no traversal nests recursion-separator
    // passes deeper than this (a level takes about 1.1 KB of stack in the
    // heaviest action), nor uses more than a quarter of the stack for them.
    enum { maxDepth = 2000 };

    static void initClass();
    RecursionSeparator();

    // How reports name this node: its DEF name, else "below" the name of the
    // node it refers back to, else "(unnamed)"
    std::string getRecursionName() const;

    // Cycle guard: a notification that has passed this node before goes no further
    virtual void notify(SoNotList *list);

    // Snapshot traversal: store the variables, traverse the children, restore them
    virtual void doAction(SoAction *action);

protected:
    // Every traversal below is the snapshot traversal
    virtual void GLRender(SoGLRenderAction *action);
    virtual void GLRenderBelowPath(SoGLRenderAction *action);
    virtual void GLRenderInPath(SoGLRenderAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void handleEvent(SoHandleEventAction *action);
    virtual void pick(SoPickAction *action);
    virtual void rayPick(SoRayPickAction *action);

    // Matrix: only along a path or off it, never below or without one
    virtual void getMatrix(SoGetMatrixAction *action);

    // Search: the node itself may match; its children are searched with snapshots
    virtual void search(SoSearchAction *action);

private:
    virtual ~RecursionSeparator();

    // Whether one more level may be entered; reports the first refusal of a
    // runaway recursion on standard error.
    SbBool mayDescend(const char *stackHere);

    static int depth;                // recursion-separator passes now nested
    static const char *stackBase;    // stack address at the outermost pass
    static SbBool stopReported;      // the current runaway has been stopped and reported

    SoAction *searchingAllWith; // the search-all action now below this node, if any
};

#endif
