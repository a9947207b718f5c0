#include "RecursionExpandAction.h"

#include "RecursionCalculator.h"
#include "RecursionCoordinate3.h"
#include "RecursionElement.h"
#include "RecursionRandom.h"
#include "RecursionRotationXYZ.h"
#include "RecursionScale.h"
#include "RecursionSeparator.h"
#include "RecursionSwitch.h"
#include "RecursionTranslation.h"

#include <Inventor/elements/SoSwitchElement.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoFile.h>
#include <Inventor/nodes/SoTransformSeparator.h>
#include <cstdio>

SO_ACTION_SOURCE(RecursionExpandAction);

void RecursionExpandAction::initClass() {
    SO_ACTION_INIT_CLASS(RecursionExpandAction, SoAction);
    // Recursion separators take their snapshots in the state; switches record
    // their choice for the switches below that inherit it.
    enableElement(RecursionElement::getClassTypeId(), RecursionElement::getClassStackIndex());
    enableElement(SoSwitchElement::getClassTypeId(), SoSwitchElement::getClassStackIndex());

    SO_ACTION_ADD_METHOD(SoNode, keepNode);
    SO_ACTION_ADD_METHOD(SoGroup, expandGroup);
    SO_ACTION_ADD_METHOD(SoSeparator, expandSeparator);
    SO_ACTION_ADD_METHOD(SoFile, expandFile);
    SO_ACTION_ADD_METHOD(RecursionSeparator, expandRecursionSeparator);
    SO_ACTION_ADD_METHOD(RecursionSwitch, expandRecursionSwitch);
    SO_ACTION_ADD_METHOD(RecursionCalculator, evaluate);
    SO_ACTION_ADD_METHOD(RecursionRandom, evaluate);
    SO_ACTION_ADD_METHOD(RecursionTranslation, bindTranslation);
    SO_ACTION_ADD_METHOD(RecursionScale, bindScale);
    SO_ACTION_ADD_METHOD(RecursionRotationXYZ, bindRotationXYZ);
    SO_ACTION_ADD_METHOD(RecursionCoordinate3, convertCoordinate3);
}

RecursionExpandAction::RecursionExpandAction()
    : expansion(NULL), numNodes(0), complete(TRUE), progressCB(NULL), progressData(NULL),
      progressInterval(1) {
    SO_ACTION_CONSTRUCTOR(RecursionExpandAction);
}

RecursionExpandAction::~RecursionExpandAction() {
    if (expansion != NULL)
        expansion->unref();
}

void RecursionExpandAction::setProgressCallback(ProgressCB *f, void *userData, long interval) {
    progressCB = f;
    progressData = userData;
    progressInterval = interval > 0 ? interval : 1;
}

void RecursionExpandAction::beginTraversal(SoNode *node) {
    if (expansion != NULL)
        expansion->unref();
    numNodes = 0;
    complete = TRUE;
    SoGroup *top = new SoGroup;
    top->ref();
    filling.assign(1, top);
    traverse(node);
    filling.clear();
    changing.clear();
    converted.clear();
    reported.clear();
    expansion = top->getNumChildren() == 1 ? top->getChild(0) : top;
    expansion->ref();
    top->unref();
}

// ---- Bookkeeping -------------------------------------------------------------

static SbBool isRecursionNode(SoNode *node) {
    static const SoType types[] = {
        RecursionSeparator::getClassTypeId(),   RecursionSwitch::getClassTypeId(),
        RecursionCalculator::getClassTypeId(),  RecursionRandom::getClassTypeId(),
        RecursionTranslation::getClassTypeId(), RecursionScale::getClassTypeId(),
        RecursionRotationXYZ::getClassTypeId(), RecursionCoordinate3::getClassTypeId(),
    };
    for (const SoType &type : types)
        if (node->isOfType(type))
            return TRUE;
    return FALSE;
}

SbBool RecursionExpandAction::changesBelow(SoNode *node) {
    auto known = changing.find(node);
    if (known != changing.end())
        return known->second;
    // File nodes count too: they are always replaced by their contents.
    SbBool result = isRecursionNode(node) || node->isOfType(SoFile::getClassTypeId()) ||
                    (node->isOfType(SoSwitch::getClassTypeId()) &&
                     static_cast<SoSwitch *>(node)->whichChild.getValue() == SO_SWITCH_INHERIT);
    // Counted as changing while its children are examined, so that a cycle
    // (which the loader only admits through recursion separators) ends here.
    changing[node] = true;
    SoChildList *children = node->getChildren();
    for (int i = 0; !result && children != NULL && i < children->getLength(); i++)
        result = changesBelow((*children)[i]);
    changing[node] = result;
    return result;
}

void RecursionExpandAction::emit(SoNode *node) {
    filling.back()->addChild(node);
    numNodes++;
    if (progressCB != NULL && numNodes % progressInterval == 0)
        progressCB(progressData, numNodes);
}

void RecursionExpandAction::expandInto(SoGroup *group, SoNode *node, SbBool traverseChildren) {
    group->ref();
    filling.push_back(group);
    if (traverseChildren)
        node->getChildren()->traverse(this);
    else
        node->doAction(this);
    filling.pop_back();
    emit(group);
    group->unref();
}

void RecursionExpandAction::keepUnexpandable(SoNode *node) {
    complete = FALSE;
    if (reported.insert(node).second) {
        SbName name = node->getName();
        fprintf(stderr,
                "Tessvane: cannot expand the %s node%s%s%s: it traverses its children several "
                "times or as the view decides, and recursion nodes lie below it\n",
                node->getTypeId().getName().getString(), name.getLength() > 0 ? " \"" : "",
                name.getString(), name.getLength() > 0 ? "\"" : "");
        fflush(stderr);
    }
    emit(node);
}

// ---- Traversal methods -------------------------------------------------------

// Anything unchangeable: the node itself
void RecursionExpandAction::keepNode(SoAction *action, SoNode *node) {
    RecursionExpandAction *self = static_cast<RecursionExpandAction *>(action);
    if (self->changesBelow(node)) // a node kit holding recursion nodes
        self->keepUnexpandable(node);
    else
        self->emit(node);
}

// Groups and switches: a group of the visited children, which is exactly
// what they do; a transform separator keeps its type, since it confines the
// transformations below it.
void RecursionExpandAction::expandGroup(SoAction *action, SoNode *node) {
    RecursionExpandAction *self = static_cast<RecursionExpandAction *>(action);
    SoType type = node->getTypeId();
    if (!self->changesBelow(node))
        self->emit(node);
    else if (type == SoGroup::getClassTypeId() || node->isOfType(SoSwitch::getClassTypeId()))
        self->expandInto(new SoGroup, node);
    else if (type == SoTransformSeparator::getClassTypeId())
        // Its own traversal needs the model matrix, which this action does not carry
        self->expandInto(new SoTransformSeparator, node, TRUE);
    else
        self->keepUnexpandable(node);
}

// Separator kinds: a new node of the same type, which opens the same state
// level, with the same fields (caching and culling as the set-up left them).
// Of the names only "Cache" is kept, which makes the loader keep caching on
// when the result is read again: the toolkit takes time quadratic in the
// number of nodes that share a name, to name them and to read them back, and
// one recursive separator stands at every level.
void RecursionExpandAction::expandSeparator(SoAction *action, SoNode *node) {
    RecursionExpandAction *self = static_cast<RecursionExpandAction *>(action);
    if (!self->changesBelow(node)) {
        self->emit(node);
        return;
    }
    SoSeparator *copy = static_cast<SoSeparator *>(node->getTypeId().createInstance());
    if (copy == NULL) // an abstract kind
        copy = new SoSeparator;
    copy->copyFieldValues(node);
    if (node->getName() == "Cache")
        copy->setName(node->getName());
    self->expandInto(copy, node);
}

// File nodes: always a group of their contents, so that the result does not
// depend on the file staying where the scene found it
void RecursionExpandAction::expandFile(SoAction *action, SoNode *node) {
    static_cast<RecursionExpandAction *>(action)->expandInto(new SoGroup, node);
}

// Recursion separators: a group; the snapshot traversal and its depth limit
// are the node's own
void RecursionExpandAction::expandRecursionSeparator(SoAction *action, SoNode *node) {
    static_cast<RecursionExpandAction *>(action)->expandInto(new SoGroup, node);
}

// Recursion switches: the selected child's result takes the switch's place
void RecursionExpandAction::expandRecursionSwitch(SoAction *action, SoNode *node) {
    node->doAction(action);
}

// Calculators and random nodes: assign, produce nothing
void RecursionExpandAction::evaluate(SoAction *action, SoNode *node) { node->doAction(action); }

// Bound transforms: the standard node with the value of this visit
void RecursionExpandAction::bindTranslation(SoAction *action, SoNode *node) {
    SoTranslation *t = new SoTranslation;
    t->translation = static_cast<RecursionTranslation *>(node)->translation.getValue();
    static_cast<RecursionExpandAction *>(action)->emit(t);
}

void RecursionExpandAction::bindScale(SoAction *action, SoNode *node) {
    SoScale *s = new SoScale;
    s->scaleFactor = static_cast<RecursionScale *>(node)->scaleFactor.getValue();
    static_cast<RecursionExpandAction *>(action)->emit(s);
}

void RecursionExpandAction::bindRotationXYZ(SoAction *action, SoNode *node) {
    RecursionRotationXYZ *from = static_cast<RecursionRotationXYZ *>(node);
    SoRotationXYZ *r = new SoRotationXYZ;
    r->axis = from->axis.getValue();
    r->angle = from->angle.getValue();
    static_cast<RecursionExpandAction *>(action)->emit(r);
}

// RecursionCoordinate3: a Coordinate3 with the same points, made at the first
// visit and shared by all later ones (nothing changes the points)
void RecursionExpandAction::convertCoordinate3(SoAction *action, SoNode *node) {
    RecursionExpandAction *self = static_cast<RecursionExpandAction *>(action);
    SoNode *&coords = self->converted[node];
    if (coords == NULL) {
        SoCoordinate3 *c = new SoCoordinate3;
        c->point = static_cast<RecursionCoordinate3 *>(node)->point;
        coords = c;
    }
    self->emit(coords);
}
