#include "RecursionScale.h"

#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>

SO_NODE_SOURCE(RecursionScale);

void RecursionScale::initClass() { SO_NODE_INIT_CLASS(RecursionScale, SoScale, "Scale"); }

RecursionScale::RecursionScale() {
    SO_NODE_CONSTRUCTOR(RecursionScale);
    SO_NODE_ADD_FIELD(expression, (""));
    enableNotify(FALSE);
}

RecursionScale::~RecursionScale() {}

void RecursionScale::write(SoWriteAction *action) {
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
