#include "Recursion.h"

#include "ToolkitBounds.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cstdio>
#include <new>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

void initRecursionClasses() {
    if (!ToolkitBounds::inForce())
        fprintf(stderr, "Tessvane: warning: the program does not export the runtime's checks "
                        "of scene values (see ToolkitBounds.cpp); bad scenes may crash it\n");
    RecursionSeparator::initClass();
    RecursionElement::initClass();
    RecursionSwitch::initClass();
    RecursionTranslation::initClass();
    RecursionScale::initClass();
    RecursionRotationXYZ::initClass();
    RecursionCalculator::initClass();
    RecursionCoordinate3::initClass();
    RecursionRandom::initClass();
    RecursionFile::initClass();
    RecursionInitAction::initClass();
    RecursionDoneAction::initClass();
    RecursionExpandAction::initClass();
}

// Finds a reference cycle that passes through no recursion separator: such a
// cycle would make every traversal recurse without end. Depth-first over the
// graph with an explicit stack; a node is walked once however often it is
// referenced, so the search is linear in the size of the graph. Returns the
// node where the cycle closes (an ancestor reached again), or NULL.
static SoNode *findUnguardedCycle(SoNode *root) {
    enum Mark { ON_PATH = 1, DONE = 2 };
    std::unordered_map<SoNode *, char> mark;
    struct Frame {
        SoNode *node;
        int next;
    };
    std::vector<Frame> stack;
    mark[root] = ON_PATH;
    stack.push_back({root, 0});
    while (!stack.empty()) {
        Frame &top = stack.back();
        SoChildList *children = top.node->getChildren();
        bool enter = children != NULL &&
                     top.node->getTypeId() != RecursionSeparator::getClassTypeId() &&
                     top.next < children->getLength();
        if (!enter) {
            mark[top.node] = DONE;
            stack.pop_back();
            continue;
        }
        SoNode *child = (*children)[top.next++];
        char &m = mark[child];
        if (m == ON_PATH)
            return child;
        if (m == 0) {
            m = ON_PATH;
            stack.push_back({child, 0});
        }
    }
    return NULL;
}

// Frees a graph that may hold cycles: every group reachable from the root is
// emptied (its nodes held meanwhile), so that no reference keeps another alive.
static void releaseCyclicGraph(SoNode *root) {
    std::unordered_set<SoNode *> seen;
    std::vector<SoNode *> nodes, pending{root};
    while (!pending.empty()) {
        SoNode *node = pending.back();
        pending.pop_back();
        if (!seen.insert(node).second)
            continue;
        node->ref();
        nodes.push_back(node);
        if (SoChildList *children = node->getChildren())
            for (int i = 0; i < children->getLength(); i++)
                pending.push_back((*children)[i]);
    }
    for (SoNode *node : nodes)
        if (node->isOfType(SoGroup::getClassTypeId()))
            static_cast<SoGroup *>(node)->removeAllChildren();
    for (SoNode *node : nodes)
        node->unref();
}

// Every recursion separator that lies on a cycle passing through no
// recursion switch: nothing but the runaway limit can end such a recursion.
// For each recursion separator, a walk from its children that does not enter
// recursion switches looks for the way back to it.
static std::vector<RecursionSeparator *> findUnswitchedRecursions(SoNode *root) {
    std::vector<RecursionSeparator *> separators, unswitched;
    std::unordered_set<SoNode *> seen;
    std::vector<SoNode *> pending{root};
    while (!pending.empty()) {
        SoNode *node = pending.back();
        pending.pop_back();
        if (!seen.insert(node).second)
            continue;
        if (node->getTypeId() == RecursionSeparator::getClassTypeId())
            separators.push_back(static_cast<RecursionSeparator *>(node));
        if (SoChildList *children = node->getChildren())
            for (int i = 0; i < children->getLength(); i++)
                pending.push_back((*children)[i]);
    }
    for (RecursionSeparator *sep : separators) {
        std::unordered_set<SoNode *> reached;
        pending.assign(1, sep);
        bool cycle = false;
        while (!pending.empty() && !cycle) {
            SoChildList *children = pending.back()->getChildren();
            pending.pop_back();
            for (int i = 0; children != NULL && i < children->getLength() && !cycle; i++) {
                SoNode *child = (*children)[i];
                cycle = child == sep;
                if (child->getTypeId() != RecursionSwitch::getClassTypeId() &&
                    reached.insert(child).second)
                    pending.push_back(child);
            }
        }
        if (cycle)
            unswitched.push_back(sep);
    }
    return unswitched;
}

SoSeparator *loadRecursionFile(const char *fileName) {
    SoInput myInput;
    if (!myInput.openFile(fileName, FALSE))
        return NULL;
    if (!SceneFileCheck::check(myInput.getCurFileName()))
        return NULL;
    SoSeparator *root = NULL;
    try {
        root = SoDB::readAll(&myInput);
    } catch (const std::bad_alloc &) {
        // A value in the file (an image's size, say) asked the reader for
        // more memory than there is; what it read so far stays unfreed.
        fprintf(stderr, "Tessvane: %s: reading it asks for more memory than there is\n", fileName);
    }
    if (root == NULL)
        return NULL;
    root->ref();

    if (SoNode *closing = findUnguardedCycle(root)) {
        std::string what = std::string(closing->getTypeId().getName().getString()) + " node";
        if (closing->getName().getLength() > 0)
            what += std::string(" \"") + closing->getName().getString() + "\"";
        fprintf(stderr,
                "Tessvane: %s: a reference cycle closes at the %s without passing through a "
                "RecursionSeparator; such a scene cannot be traversed\n",
                fileName, what.c_str());
        releaseCyclicGraph(root);
        root->unref();
        return NULL;
    }

    // One set-up action for the whole run, built at the first successful read.
    static RecursionInitAction ria;
    ria.apply(root);

    for (RecursionSeparator *sep : findUnswitchedRecursions(root))
        fprintf(stderr,
                "Tessvane: warning: %s: the recursion through the RecursionSeparator %s passes "
                "through no RecursionSwitch; only the runaway limit can stop it\n",
                fileName, sep->getRecursionName().c_str());

    // Inside the scene only "Cache" separators cache; the root always does.
    root->renderCaching = SoSeparator::ON;
    root->boundingBoxCaching = SoSeparator::ON;
    root->renderCulling = SoSeparator::ON;
    root->pickCulling = SoSeparator::ON;
    return root;
}

void releaseRecursionScene(SoSeparator *root) {
    RecursionDoneAction rda;
    rda.apply(root);
    root->unref();
}
