#ifndef TESSVANE_RECURSION_SWITCH_H
#define TESSVANE_RECURSION_SWITCH_H

#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoSubNode.h>
#include <Inventor/nodes/SoSwitch.h>

// A switch whose choice follows an expression over recursion variables; it is
// what ends a recursion. The set-up connects `whichChild` from an engine built
// for `expression`. The set-up and tear-down traversals walk all children
// whatever is selected, so that everything below is prepared and released;
// every other action selects exactly as a standard switch.
class RecursionSwitch : public SoSwitch {
    SO_NODE_HEADER(RecursionSwitch);

public:
    SoSFString expression; // the condition, yielding the index of the child to traverse

    static void initClass();
    RecursionSwitch();

    // Set-up and tear-down: every child; anything else: the standard switch
    virtual void doAction(SoAction *action);

    // Neither field changes nor changes below pass through this node
    virtual void startNotify();
    virtual void notify(SoNotList *list);

    // The expression line and then the children; whichChild is never written
    virtual void write(SoWriteAction *action);

private:
    virtual ~RecursionSwitch();
};

#endif
