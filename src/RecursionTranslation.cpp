#include "RecursionTranslation.h"

#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>

SO_NODE_SOURCE(RecursionTranslation);

void RecursionTranslation::initClass() { SO_NODE_INIT_CLASS(RecursionTranslation, SoTranslation, "Translation"); }

RecursionTranslation::RecursionTranslation() {
    SO_NODE_CONSTRUCTOR(RecursionTranslation);
    SO_NODE_ADD_FIELD(expression, (""));
    enableNotify(FALSE);
}

RecursionTranslation::~RecursionTranslation() {}

void RecursionTranslation::write(SoWriteAction *action) {
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
