#include "RecursionRandom.h"

#include "ConsistencyCheck.h"

#include <Inventor/SoDB.h>
#include <cmath>
#include <cstdint>
#include <cstdlib>

SO_NODE_SOURCE(RecursionRandom);

void RecursionRandom::initClass() { SO_NODE_INIT_CLASS(RecursionRandom, SoNode, "Node"); }

RecursionRandom::RecursionRandom() : field(NULL) {
    SO_NODE_CONSTRUCTOR(RecursionRandom);
    SO_NODE_ADD_FIELD(expression, (""));
    SO_NODE_ADD_FIELD(seed, (0));
}

RecursionRandom::~RecursionRandom() {}

void RecursionRandom::setField() {
    SbString text = expression.getValue();
    SbBool isNew = SoDB::getGlobalField(SbName(text)) == NULL;
    field = static_cast<SoSFFloat *>(
        SoDB::createGlobalField(SbName(text), SoSFFloat::getClassTypeId()));
    if (field != NULL && isNew) // the toolkit leaves a new field's value uninitialised
        field->setValue(0);
    if (!(field != NULL))
        RECURSION_REPORT(field != NULL, std::string("RecursionRandom variable \"") + text.getString() +
                                            "\" already exists as a vector; the node draws "
                                            "nothing");
}

// Truncation toward zero into the signed 32-bit range; values beyond it are
// clamped to its ends and NaN counts as 0.
static int32_t truncateSeed(float v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

void RecursionRandom::doAction(SoAction *) {
    if (field == NULL) // unbound: draws nothing
        return;
    int32_t s = truncateSeed(seed.getValue());
    if (s == -1)
        s = truncateSeed(field->getValue());
    if (s != 0)
        srand48(s);
    field->setValue(static_cast<float>(drand48()));
}

void RecursionRandom::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }

void RecursionRandom::callback(SoCallbackAction *action) { doAction((SoAction *)action); }

void RecursionRandom::getBoundingBox(SoGetBoundingBoxAction *action) {
    doAction((SoAction *)action);
}

void RecursionRandom::getMatrix(SoGetMatrixAction *action) { doAction((SoAction *)action); }

void RecursionRandom::handleEvent(SoHandleEventAction *action) { doAction((SoAction *)action); }

void RecursionRandom::pick(SoPickAction *action) { doAction((SoAction *)action); }

void RecursionRandom::rayPick(SoRayPickAction *action) { doAction((SoAction *)action); }

void RecursionRandom::search(SoSearchAction *action) { doAction((SoAction *)action); }
