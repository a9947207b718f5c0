#include "RecursionWriting.h"

#include <Inventor/SoOutput.h>
#include <Inventor/fields/SoFieldContainer.h>
#include <Inventor/fields/SoSFString.h>

void writeFieldLine(const SoFieldContainer *node, SoOutput *out, SoField &field) {
    SbName fieldName;
    node->getFieldName(&field, fieldName);
    out->indent();
    out->write(fieldName.getString());
    out->write(" ");
    if (field.isOfType(SoSFString::getClassTypeId())) {
        out->write(static_cast<SoSFString &>(field).getValue());
    } else {
        SbString text;
        field.get(text);
        out->write(text.getString());
    }
    out->write("\n");
}
