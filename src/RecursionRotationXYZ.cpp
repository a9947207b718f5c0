#include "RecursionRotationXYZ.h"

#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/actions/SoWriteAction.h>

SO_NODE_SOURCE(RecursionRotationXYZ);

void RecursionRotationXYZ::initClass() { SO_NODE_INIT_CLASS(RecursionRotationXYZ, SoRotationXYZ, "RotationXYZ"); }

RecursionRotationXYZ::RecursionRotationXYZ() {
    SO_NODE_CONSTRUCTOR(RecursionRotationXYZ);
    SO_NODE_ADD_FIELD(expression, (""));
    enableNotify(FALSE);
}

RecursionRotationXYZ::~RecursionRotationXYZ() {}

void RecursionRotationXYZ::write(SoWriteAction *action) {
    SoOutput *out = action->getOutput();
    if (out->getStage() != SoOutput::WRITE) { // counting references
        addWriteReference(out, FALSE);
        return;
    }
    if (writeHeader(out, FALSE, FALSE)) // written before: a reference stands instead
        return;
    writeFieldLine(this, out, axis);
    writeFieldLine(this, out, expression);
    writeFooter(out);
}
