#include "RecursionSeparator.h"

#include "RecursionElement.h"

#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/misc/SoNotification.h>

SO_NODE_SOURCE(RecursionSeparator);

void RecursionSeparator::initClass() {
    SO_NODE_INIT_CLASS(RecursionSeparator, SoSeparator, "Separator");
}

RecursionSeparator::RecursionSeparator() : searchingAllWith(NULL) {
    SO_NODE_CONSTRUCTOR(RecursionSeparator);
}

RecursionSeparator::~RecursionSeparator() {}

void RecursionSeparator::notify(SoNotList *list) {
    for (const SoNotRec *rec = list->getLastRec(); rec != NULL; rec = rec->getPrevious())
        if (rec->getBase() == this)
            return;
    SoSeparator::notify(list);
}

void RecursionSeparator::doAction(SoAction *action) {
    // Along a path, only the children up to the one on the path are traversed.
    int lastChild = getNumChildren() - 1;
    int numIndices;
    const int *indices;
    if (action->getPathCode(numIndices, indices) == SoAction::IN_PATH)
        lastChild = indices[numIndices - 1];

    // Each child's bounding-box centre is collected and the plain average is
    // set once at the end, as a group of the children would.
    SbBool bbaflag = action->isOfType(SoGetBoundingBoxAction::getClassTypeId());
    SoGetBoundingBoxAction *bba = static_cast<SoGetBoundingBoxAction *>(action);
    SbVec3f totalCenter(0, 0, 0);
    int numCenters = 0;

    RecursionElement::store(action->getState(), this);
    for (int i = 0; i <= lastChild; i++) {
        children->traverse(action, i, i);
        if (bbaflag && bba->isCenterSet()) {
            totalCenter += bba->getCenter();
            numCenters++;
            bba->resetCenter();
        }
    }
    if (bbaflag && numCenters > 0)
        bba->setCenter(totalCenter * (1.0f / numCenters), FALSE);
    RecursionElement::retrieve(action->getState(), this);
}

void RecursionSeparator::GLRender(SoGLRenderAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::GLRenderBelowPath(SoGLRenderAction *action) {
    doAction((SoAction *)action);
}

void RecursionSeparator::GLRenderInPath(SoGLRenderAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::callback(SoCallbackAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::getBoundingBox(SoGetBoundingBoxAction *action) {
    doAction((SoAction *)action);
}

void RecursionSeparator::handleEvent(SoHandleEventAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::pick(SoPickAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::rayPick(SoRayPickAction *action) { doAction((SoAction *)action); }

void RecursionSeparator::getMatrix(SoGetMatrixAction *action) {
    int numIndices;
    const int *indices;
    switch (action->getPathCode(numIndices, indices)) {
    case SoAction::IN_PATH:
    case SoAction::OFF_PATH:
        doAction((SoAction *)action);
        break;
    case SoAction::NO_PATH:
    case SoAction::BELOW_PATH:
        break;
    }
}

void RecursionSeparator::search(SoSearchAction *action) {
    if (!action->isSearchingAll()) {
        SoNode::search(action);
        doAction((SoAction *)action);
        return;
    }
    // Searching all nodes enters every child whatever it is, so the cycle
    // through this node would be followed without end: below itself, the node
    // is only checked, not entered again.
    if (searchingAllWith == action) {
        SoNode::search(action);
        return;
    }
    SoAction *outer = searchingAllWith;
    searchingAllWith = action;
    SoGroup::search(action);
    searchingAllWith = outer;
}
