#include "RecursionSwitch.h"

#include "RecursionDoneAction.h"
#include "RecursionInitAction.h"
#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>
#include <Inventor/misc/SoChildList.h>

SO_NODE_SOURCE(RecursionSwitch);

void RecursionSwitch::initClass() { SO_NODE_INIT_CLASS(RecursionSwitch, SoSwitch, "Switch"); }

RecursionSwitch::RecursionSwitch() {
    SO_NODE_CONSTRUCTOR(RecursionSwitch);
    SO_NODE_ADD_FIELD(expression, (""));
}

RecursionSwitch::~RecursionSwitch() {}

void RecursionSwitch::doAction(SoAction *action) {
    SoType type = action->getTypeId();
    if (type == RecursionInitAction::getClassTypeId() ||
        type == RecursionDoneAction::getClassTypeId()) {
        // The count is read anew each step: a method may change the children.
        for (int i = 0; i < getNumChildren(); i++)
            children->traverse(action, i, i);
        return;
    }
    SoSwitch::doAction(action);
}

void RecursionSwitch::startNotify() {}

void RecursionSwitch::notify(SoNotList *) {}

void RecursionSwitch::write(SoWriteAction *action) {
    SoOutput *out = action->getOutput();
    int n = children->getLength();
    if (out->getStage() != SoOutput::WRITE) { // counting references
        addWriteReference(out, FALSE);
        children->traverse(action, 0, n - 1);
        return;
    }
    if (writeHeader(out, FALSE, FALSE)) // written before: a reference stands instead
        return;
    writeFieldLine(this, out, expression);
    children->traverse(action, 0, n - 1); // at the level the header opened
    writeFooter(out);
}
