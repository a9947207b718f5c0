#ifndef TESSVANE_RECURSION_EXPAND_ACTION_H
#define TESSVANE_RECURSION_EXPAND_ACTION_H

#include <Inventor/actions/SoSubAction.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class SoGroup;

// Unrolls a prepared recursive scene into an acyclic graph of the toolkit's
// standard nodes, by one traversal that evaluates the recursion variables
// exactly as rendering does: calculators and random nodes run, recursion
// separators take their snapshots (and stop runaway recursion), switches
// select. What each visit produced is recorded:
//
//   recursion separator     a group of what its children produced
//   recursion switch        what its selected child produced, in place
//   calculator, random      nothing (their effect is in the values)
//   bound transform         its standard type with the value of that visit
//   RecursionCoordinate3    a Coordinate3 with the same points, one per node
//   separator kinds         a new node of the same type and fields, named
//                           only when it is a "Cache" separator
//   other groups, File      a group of what the visited children produced
//   anything else           the node itself
//
// A subgraph that no traversal can change (no recursion node, no switch that
// inherits its choice) and that holds no File node is not copied: the node
// itself stands in the result at every visit, so the result shares it.
// Groups that visit children several times or as the view decides (arrays,
// multiple copies, levels of detail, path switches) cannot be unrolled when
// recursion nodes lie below them; they are reported and kept as they are,
// and the result is then incomplete.
//
// Only whole graphs are expanded: apply the action to a node, not to a path.
class RecursionExpandAction : public SoAction {
    SO_ACTION_HEADER(RecursionExpandAction);

public:
    // Receives the number of nodes placed in the result so far
    typedef void ProgressCB(void *userData, long numNodes);

    static void initClass();
    RecursionExpandAction();
    virtual ~RecursionExpandAction();

    // Called every `interval` nodes placed during the traversal
    void setProgressCallback(ProgressCB *f, void *userData, long interval);

    // The result of the last apply, held by the action until the next apply
    // or its destruction (NULL before the first). A traversal that produced
    // one node returns it; otherwise a group of what was produced.
    SoNode *getExpansion() const { return expansion; }

    // Nodes placed in the result; a shared node counts at every place
    long getNumNodes() const { return numNodes; }

    // FALSE when a group that cannot be unrolled was kept as it is
    SbBool isComplete() const { return complete; }

protected:
    // Collects the root's result and releases the traversal's bookkeeping
    virtual void beginTraversal(SoNode *node);

private:
    // Traversal methods, one per kind of node
    static void keepNode(SoAction *action, SoNode *node);
    static void expandGroup(SoAction *action, SoNode *node);
    static void expandSeparator(SoAction *action, SoNode *node);
    static void expandFile(SoAction *action, SoNode *node);
    static void expandRecursionSeparator(SoAction *action, SoNode *node);
    static void expandRecursionSwitch(SoAction *action, SoNode *node);
    static void evaluate(SoAction *action, SoNode *node);
    static void bindTranslation(SoAction *action, SoNode *node);
    static void bindScale(SoAction *action, SoNode *node);
    static void bindRotationXYZ(SoAction *action, SoNode *node);
    static void convertCoordinate3(SoAction *action, SoNode *node);

    // Whether a traversal of the node can produce anything but the node itself
    SbBool changesBelow(SoNode *node);

    // Places a node in the result under the group being filled
    void emit(SoNode *node);

    // Fills `group` with what `node`'s traversal produces, then places it;
    // `traverseChildren` walks the children directly instead of calling doAction
    void expandInto(SoGroup *group, SoNode *node, SbBool traverseChildren = FALSE);

    // Keeps a node that cannot be unrolled, with a report
    void keepUnexpandable(SoNode *node);

    SoNode *expansion;
    long numNodes;
    SbBool complete;
    ProgressCB *progressCB;
    void *progressData;
    long progressInterval;

    std::vector<SoGroup *> filling;                  // the groups being filled, innermost last
    std::unordered_map<SoNode *, bool> changing;     // changesBelow, per node
    std::unordered_map<SoNode *, SoNode *> converted; // Coordinate3 made for a RecursionCoordinate3
    std::unordered_set<SoNode *> reported;           // nodes reported as not unrollable
};

#endif
