#include "RecursionDoneAction.h"

#include "RecursionCalculator.h"
#include "RecursionElement.h"
#include "RecursionSeparator.h"

#include <Inventor/SoDB.h>
#include <Inventor/elements/SoModelMatrixElement.h>
#include <Inventor/elements/SoSwitchElement.h>
#include <Inventor/nodes/SoFile.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoGroup.h>
#include <Inventor/nodes/SoLOD.h>
#include <Inventor/nodes/SoLevelOfDetail.h>

SO_ACTION_SOURCE(RecursionDoneAction);

void RecursionDoneAction::initClass() {
    SO_ACTION_INIT_CLASS(RecursionDoneAction, SoAction);
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
    // File nodes are entered as in the set-up, so that a reload also releases
    // the variables and cycles of the scenes they bring in.
    SO_ACTION_ADD_METHOD(SoFile, callDoAction);
    SO_ACTION_ADD_METHOD(RecursionSeparator, unlinkRecursion);
    SO_ACTION_ADD_METHOD(RecursionCalculator, unregisterFields);
}

RecursionDoneAction::RecursionDoneAction() { SO_ACTION_CONSTRUCTOR(RecursionDoneAction); }

RecursionDoneAction::~RecursionDoneAction() {}

void RecursionDoneAction::beginTraversal(SoNode *node) {
    (*traversalMethods)[SoNode::getActionMethodIndex(node->getTypeId())](this, node);
}

void RecursionDoneAction::callDoAction(SoAction *action, SoNode *node) { node->doAction(action); }

void RecursionDoneAction::walkAllChildren(SoAction *action, SoNode *node) {
    SoChildList *children = node->getChildren();
    for (int i = 0; i < children->getLength(); i++)
        children->traverse(action, i, i);
}

void RecursionDoneAction::unlinkRecursion(SoAction *, SoNode *node) {
    SoGroup *group = static_cast<SoGroup *>(node);
    for (int i = group->getNumChildren() - 1; i >= 0; i--)
        group->removeChild(i);
}

void RecursionDoneAction::unregisterFields(SoAction *, SoNode *node) {
    RecursionCalculator *rc = static_cast<RecursionCalculator *>(node);
    SbString name = rc->getExpressionField();
    if (name.getLength() == 0) // never bound: there is no registration to give back
        return;
    RecursionElement::unregisterField(SoDB::getGlobalField(SbName(name)));
}
