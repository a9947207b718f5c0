#include "RecursionCalculator.h"

#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>

SO_NODE_SOURCE(RecursionCalculator);

void RecursionCalculator::initClass() {
    SO_NODE_INIT_CLASS(RecursionCalculator, SoNode, "Node");
}

RecursionCalculator::RecursionCalculator() : field(NULL) {
    SO_NODE_CONSTRUCTOR(RecursionCalculator);
    SO_NODE_ADD_FIELD(value, (0));
    SO_NODE_ADD_FIELD(value3, (0, 0, 0));
    SO_NODE_ADD_FIELD(expression, (""));
    enableNotify(FALSE);
}

RecursionCalculator::~RecursionCalculator() {}

void RecursionCalculator::doAction(SoAction *) {
    if (field == NULL) // unbound: the set-up has said why
        return;
    if (field->getTypeId() == SoSFFloat::getClassTypeId())
        static_cast<SoSFFloat *>(field)->setValue(value.getValue());
    else
        static_cast<SoSFVec3f *>(field)->setValue(value3.getValue());
}

void RecursionCalculator::startNotify() {}

void RecursionCalculator::write(SoWriteAction *action) {
    SoOutput *out = action->getOutput();
    if (out->getStage() != SoOutput::WRITE) { // counting references
        addWriteReference(out, FALSE);
        return;
    }
    if (writeHeader(out, FALSE, FALSE)) // written before: a reference stands instead
        return;
    writeFieldLine(this, out, expression);
    writeFooter(out);
}

void RecursionCalculator::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }

void RecursionCalculator::callback(SoCallbackAction *action) { doAction((SoAction *)action); }

void RecursionCalculator::getBoundingBox(SoGetBoundingBoxAction *action) {
    doAction((SoAction *)action);
}

void RecursionCalculator::getMatrix(SoGetMatrixAction *action) { doAction((SoAction *)action); }

void RecursionCalculator::handleEvent(SoHandleEventAction *action) {
    doAction((SoAction *)action);
}

void RecursionCalculator::pick(SoPickAction *action) { doAction((SoAction *)action); }

void RecursionCalculator::rayPick(SoRayPickAction *action) { doAction((SoAction *)action); }

void RecursionCalculator::search(SoSearchAction *action) { doAction((SoAction *)action); }
