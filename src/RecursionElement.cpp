#include "RecursionElement.h"

#include "ConsistencyCheck.h"

#include <Inventor/actions/SoCallbackAction.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/actions/SoHandleEventAction.h>
#include <Inventor/actions/SoPickAction.h>
#include <Inventor/actions/SoRayPickAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <iostream>

SO_ELEMENT_SOURCE(RecursionElement);

SoField *RecursionElement::backPointer[maxRecursion];
SbBool RecursionElement::isVector[maxRecursion];
int RecursionElement::refCounter[maxRecursion];
SbString RecursionElement::name[maxRecursion];
int RecursionElement::count;

void RecursionElement::initClass() {
    SO_ELEMENT_INIT_CLASS(RecursionElement, SoReplacedElement);

    // Every action that can run a recursion separator's snapshot traversal.
    SO_ENABLE(SoCallbackAction, RecursionElement);
    SO_ENABLE(SoGLRenderAction, RecursionElement);
    SO_ENABLE(SoGetBoundingBoxAction, RecursionElement);
    SO_ENABLE(SoGetMatrixAction, RecursionElement);
    SO_ENABLE(SoHandleEventAction, RecursionElement);
    SO_ENABLE(SoPickAction, RecursionElement);
    SO_ENABLE(SoSearchAction, RecursionElement);
    SO_ENABLE(SoRayPickAction, RecursionElement);

    count = 0;
}

RecursionElement::~RecursionElement() {}

void RecursionElement::init(SoState *state) { SoReplacedElement::init(state); }

void RecursionElement::store(SoState *state, SoNode *node) {
    RecursionElement *el =
        static_cast<RecursionElement *>(SoReplacedElement::getElement(state, classStackIndex, node));
    if (el == NULL) // an action that does not carry the element
        return;
    for (int i = 0; i < count; i++) {
        if (isVector[i]) {
            const SbVec3f &v = static_cast<SoSFVec3f *>(backPointer[i])->getValue();
            el->value[i][0] = v[0];
            el->value[i][1] = v[1];
            el->value[i][2] = v[2];
        } else {
            el->value[i][0] = static_cast<SoSFFloat *>(backPointer[i])->getValue();
        }
    }
}

void RecursionElement::retrieve(SoState *state, SoNode *node) {
    RecursionElement *el =
        static_cast<RecursionElement *>(SoReplacedElement::getElement(state, classStackIndex, node));
    if (el == NULL)
        return;
    for (int i = 0; i < count; i++) {
        if (isVector[i])
            static_cast<SoSFVec3f *>(backPointer[i])->setValue(el->value[i]);
        else
            static_cast<SoSFFloat *>(backPointer[i])->setValue(el->value[i][0]);
    }
}

int RecursionElement::findSlot(const SoField *field) {
    for (int i = 0; i < count; i++)
        if (backPointer[i] == field)
            return i;
    return -1;
}

void RecursionElement::registerField(SbString fieldName, SoField *field) {
    if (!(field != NULL && (field->getTypeId() == SoSFVec3f::getClassTypeId() ||
                            field->getTypeId() == SoSFFloat::getClassTypeId())))
        reportFatalCheck("field->getTypeId() == SoSFVec3f::getClassTypeId() || "
                         "field->getTypeId() == SoSFFloat::getClassTypeId()",
                         __FILE__, __LINE__, std::string("variable \"") + fieldName.getString() + "\"");

    int slot = findSlot(field);
    if (slot >= 0) {
        refCounter[slot]++;
        return;
    }
    if (!(count < maxRecursion)) {
        RECURSION_REPORT(count < maxRecursion,
                         std::string("more than 256 assigned variables; variable \"") + fieldName.getString() +
                             "\" is not saved and restored by recursion separators");
        return;
    }
    backPointer[count] = field;
    refCounter[count] = 1;
    isVector[count] = field->getTypeId() == SoSFVec3f::getClassTypeId();
    name[count] = fieldName;
    count++;
}

void RecursionElement::unregisterField(SoField *field) {
    // A field that is not held (none at all, or one whose registration was
    // refused or already given back) leaves the registry as it is.
    int slot = findSlot(field);
    if (field == NULL || slot < 0)
        return;
    if (--refCounter[slot] > 0)
        return;
    count--;
    if (slot != count) {
        backPointer[slot] = backPointer[count];
        isVector[slot] = isVector[count];
        refCounter[slot] = refCounter[count];
        name[slot] = name[count];
    }
    backPointer[count] = NULL;
    refCounter[count] = 0;
    isVector[count] = FALSE;
    name[count] = "";
}

void RecursionElement::print(RecursionElement *el) {
    for (int i = 0; i < count; i++) {
        std::cout << "field " << name[i].getString() << "=" << el->value[i][0];
        if (isVector[i])
            std::cout << " " << el->value[i][1] << " " << el->value[i][2];
        std::cout << std::endl;
    }
}
