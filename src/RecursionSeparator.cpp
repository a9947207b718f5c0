#include "RecursionSeparator.h"

#include "RecursionElement.h"

#include <Inventor/actions/SoGetBoundingBoxAction.h>
#include <Inventor/actions/SoGetMatrixAction.h>
#include <Inventor/actions/SoSearchAction.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/misc/SoNotification.h>
#include <cstdio>
#include <string>
#include <sys/resource.h>

SO_NODE_SOURCE(RecursionSeparator);

int RecursionSeparator::depth = 0;
const char *RecursionSeparator::stackBase = NULL;
SbBool RecursionSeparator::stopReported = FALSE;

// A quarter of the main stack (or of 8 MB when it is larger or unlimited).
static long stackBudget() {
    static long budget = 0;
    if (budget == 0) {
        struct rlimit limit;
        long size = 8L << 20;
        if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            (long)limit.rlim_cur < size)
            size = (long)limit.rlim_cur;
        budget = size / 4;
    }
    return budget;
}

void RecursionSeparator::initClass() {
    SO_NODE_INIT_CLASS(RecursionSeparator, SoSeparator, "Separator");
}

RecursionSeparator::RecursionSeparator() : searchingAllWith(NULL) {
    SO_NODE_CONSTRUCTOR(RecursionSeparator);
}

RecursionSeparator::~RecursionSeparator() {}

std::string RecursionSeparator::getRecursionName() const {
    if (getName().getLength() > 0)
        return std::string("\"") + getName().getString() + "\"";
    for (int i = 0; i < children->getLength(); i++) {
        SoNode *child = (*children)[i];
        if (child->getName().getLength() > 0)
            return std::string("below \"") + child->getName().getString() + "\"";
    }
    return "(unnamed)";
}

void RecursionSeparator::notify(SoNotList *list) {
    for (const SoNotRec *rec = list->getLastRec(); rec != NULL; rec = rec->getPrevious())
        if (rec->getBase() == this)
            return;
    SoSeparator::notify(list);
}

SbBool RecursionSeparator::mayDescend(const char *stackHere) {
    if (depth == 0) {
        stackBase = stackHere;
        stopReported = FALSE;
    }
    long stackUsed = stackBase - stackHere;
    // Once a runaway is stopped, no recursion separator is entered again until
    // the outermost pass returns: a runaway that branches would otherwise run
    // into the limit anew from every level on the way back, as many times as
    // its branches multiply to.
    if (!stopReported && depth < maxDepth && stackUsed < stackBudget())
        return TRUE;
    if (!stopReported) {
        stopReported = TRUE;
        fprintf(stderr,
                "Tessvane: runaway recursion stopped after %d levels at the RecursionSeparator "
                "%s: no recursion switch ended it; the rest of the scene is traversed\n",
                depth, getRecursionName().c_str());
        fflush(stderr);
    }
    return FALSE;
}

void RecursionSeparator::doAction(SoAction *action) {
    if (!mayDescend(static_cast<const char *>(__builtin_frame_address(0))))
        return;
    depth++;
    // Along a path, only the children up to the one on the path are traversed.
    int lastChild = getNumChildren() - 1;
    int numIndices;
    const int *indices;
    if (action->getPathCode(numIndices, indices) == SoAction::IN_PATH)
        lastChild = indices[numIndices - 1];

    // Each child's bounding-box centre is collected and the plain average is
    // set once at the end, as a group of the children would.
    SbBool bbaflag = action->isOfType(SoGetBoundingBoxAction::getClassTypeId());
    SoGetBoundingBoxAction *bba = bbaflag ? static_cast<SoGetBoundingBoxAction *>(action) : NULL;
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
    depth--;
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
