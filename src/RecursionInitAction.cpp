#include "RecursionInitAction.h"

#include "ConsistencyCheck.h"
#include "ExprPreprocessor.h"
#include "RecursionCalculator.h"
#include "RecursionRandom.h"
#include "RecursionRotationXYZ.h"
#include "RecursionScale.h"
#include "RecursionSeparator.h"
#include "RecursionSwitch.h"
#include "RecursionTranslation.h"

#include <Inventor/SoDB.h>
#include <Inventor/elements/SoModelMatrixElement.h>
#include <Inventor/elements/SoSwitchElement.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoFile.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoGroup.h>
#include <Inventor/nodes/SoLOD.h>
#include <Inventor/nodes/SoLevelOfDetail.h>
#include <Inventor/nodes/SoSeparator.h>

SO_ACTION_SOURCE(RecursionInitAction);

int RecursionInitAction::numConstructed = 0;

void RecursionInitAction::initClass() {
    SO_ACTION_INIT_CLASS(RecursionInitAction, SoAction);
    enableElement(SoSwitchElement::getClassTypeId(), SoSwitchElement::getClassStackIndex());
    // Transform separators, arrays and multiple copies use the model matrix
    // in their doAction.
    enableElement(SoModelMatrixElement::getClassTypeId(), SoModelMatrixElement::getClassStackIndex());

    SO_ACTION_ADD_METHOD(SoNode, SoAction::nullAction);
    SO_ACTION_ADD_METHOD(SoGroup, callDoAction);
    // Level-of-detail groups choose a child from the view, which these
    // traversals do not have (SoLevelOfDetail's own traversal crashes without
    // it); every child may be shown, so every child is walked.
    SO_ACTION_ADD_METHOD(SoLOD, walkAllChildren);
    SO_ACTION_ADD_METHOD(SoLevelOfDetail, walkAllChildren);
    SO_ACTION_ADD_METHOD(SoSeparator, disableCache);
    SO_ACTION_ADD_METHOD(SoFile, callDoAction);
    SO_ACTION_ADD_METHOD(RecursionCalculator, setupCalculator);
    SO_ACTION_ADD_METHOD(RecursionSwitch, setupSwitch);
    SO_ACTION_ADD_METHOD(RecursionTranslation, setupTranslation);
    SO_ACTION_ADD_METHOD(RecursionScale, setupScale);
    SO_ACTION_ADD_METHOD(RecursionRotationXYZ, setupRotationXYZ);
    SO_ACTION_ADD_METHOD(RecursionRandom, setupRandomField);
}

RecursionInitAction::RecursionInitAction() {
    SO_ACTION_CONSTRUCTOR(RecursionInitAction);
    numConstructed++;
}

RecursionInitAction::~RecursionInitAction() {}

void RecursionInitAction::beginTraversal(SoNode *node) {
    (*traversalMethods)[SoNode::getActionMethodIndex(node->getTypeId())](this, node);
}

void RecursionInitAction::callDoAction(SoAction *action, SoNode *node) { node->doAction(action); }

void RecursionInitAction::walkAllChildren(SoAction *action, SoNode *node) {
    SoChildList *children = node->getChildren();
    for (int i = 0; i < children->getLength(); i++)
        children->traverse(action, i, i);
}

void RecursionInitAction::disableCache(SoAction *action, SoNode *node) {
    SoSeparator *sep = static_cast<SoSeparator *>(node);
    int mode = node->getName() == "Cache" ? SoSeparator::ON : SoSeparator::OFF;
    // Nothing has a cache of the scene yet, so the changes need not notify the
    // ancestors; in a deeply nested scene that would take time quadratic in
    // the nesting depth.
    SbBool notifying = sep->enableNotify(FALSE);
    sep->renderCaching = mode;
    sep->boundingBoxCaching = mode;
    sep->renderCulling = mode;
    sep->pickCulling = mode;
    sep->enableNotify(notifying);
    // The set-up never enters a recursion separator: that is where cycles close.
    if (node->getTypeId() == RecursionSeparator::getClassTypeId())
        return;
    node->doAction(action);
}

void RecursionInitAction::setupCalculator(SoAction *, SoNode *node) {
    RECURSION_ASSERT(node->getTypeId() == RecursionCalculator::getClassTypeId());
    ExpressionPreprocessor::run(static_cast<RecursionCalculator *>(node));
}

void RecursionInitAction::setupSwitch(SoAction *action, SoNode *node) {
    RECURSION_ASSERT(node->getTypeId() == RecursionSwitch::getClassTypeId());
    ExpressionPreprocessor::run(static_cast<RecursionSwitch *>(node));
    node->doAction(action); // every child, whatever is selected
}

// Looks up the variable a bound node names and checks its type. A missing or
// mistyped variable is reported with the node's variable name, and the node
// stays unconnected: it then acts as its plain parent type.
static SoField *boundVariable(const SbString &text, SoType wanted, const char *kind) {
    SbName name(text);
    SoField *field = SoDB::getGlobalField(name);
    std::string detail = std::string(kind) + " bound to variable \"" + text.getString() + "\"";
    if (!(field != NULL)) {
        RECURSION_REPORT(field != NULL, detail + ", which no expression or random node creates "
                                                 "before it; the node is left unbound");
        return NULL;
    }
    if (wanted == SoSFVec3f::getClassTypeId() &&
        !(field->getTypeId() == SoSFVec3f::getClassTypeId())) {
        RECURSION_REPORT(field->getTypeId() == SoSFVec3f::getClassTypeId(),
                         detail + ", which is a scalar, not a vector; the node is left unbound");
        return NULL;
    }
    if (wanted == SoSFFloat::getClassTypeId() &&
        !(field->getTypeId() == SoSFFloat::getClassTypeId())) {
        RECURSION_REPORT(field->getTypeId() == SoSFFloat::getClassTypeId(),
                         detail + ", which is a vector, not a scalar; the node is left unbound");
        return NULL;
    }
    return field;
}

void RecursionInitAction::setupTranslation(SoAction *, SoNode *node) {
    RecursionTranslation *t = static_cast<RecursionTranslation *>(node);
    SoField *field =
        boundVariable(t->expression.getValue(), SoSFVec3f::getClassTypeId(), "RecursionTranslation");
    if (field != NULL)
        t->translation.connectFrom(field);
}

void RecursionInitAction::setupScale(SoAction *, SoNode *node) {
    RecursionScale *s = static_cast<RecursionScale *>(node);
    SoField *field =
        boundVariable(s->expression.getValue(), SoSFVec3f::getClassTypeId(), "RecursionScale");
    if (field != NULL)
        s->scaleFactor.connectFrom(field);
}

void RecursionInitAction::setupRotationXYZ(SoAction *, SoNode *node) {
    RecursionRotationXYZ *r = static_cast<RecursionRotationXYZ *>(node);
    SoField *field =
        boundVariable(r->expression.getValue(), SoSFFloat::getClassTypeId(), "RecursionRotationXYZ");
    if (field != NULL)
        r->angle.connectFrom(field);
}

void RecursionInitAction::setupRandomField(SoAction *, SoNode *node) {
    static_cast<RecursionRandom *>(node)->setField();
}
