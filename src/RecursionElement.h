#ifndef TESSVANE_RECURSION_ELEMENT_H
#define TESSVANE_RECURSION_ELEMENT_H

#include <Inventor/SbString.h>
#include <Inventor/elements/SoReplacedElement.h>
#include <Inventor/elements/SoSubElement.h>
#include <cstdio>

class SoField;

// The recursion variable registry and its per-level snapshot.
//
// The static data are the registry: every global field that an assignment in
// the loaded scene writes, with a reference count per slot. An instance is a
// traversal-state element that holds the values of all registered variables
// while a recursion separator traverses its children; `store` fills it and
// `retrieve` writes it back, which gives the variables call-stack behaviour.
class RecursionElement : public SoReplacedElement {
    SO_ELEMENT_HEADER(RecursionElement);

public:
    enum { maxRecursion = 256 }; // number of registry slots and snapshot rows

    static void initClass();
    virtual void init(SoState *state);

    // Snapshot traversal support
    static void store(SoState *state, SoNode *node);    // copy all variables into this level
    static void retrieve(SoState *state, SoNode *node); // write this level's copy back

    // Registry maintenance, from the set-up and tear-down traversals
    static void registerField(SbString fieldName, SoField *field);
    static void unregisterField(SoField *field);

    // Read-only view of the registry, for diagnostics and tests
    static int getCount() { return count; }
    static SoField *getField(int slot) { return backPointer[slot]; }
    static int getRefCount(int slot) { return refCounter[slot]; }
    static const SbString &getName(int slot) { return name[slot]; }
    static SbBool isVectorSlot(int slot) { return isVector[slot]; }
    static int findSlot(const SoField *field); // slot of a field, or -1

private:
    virtual ~RecursionElement();
    static void print(RecursionElement *el); // dump a snapshot to standard output
    friend class RecursionElementInspector;

    float value[maxRecursion][3]; // snapshot; a scalar uses column 0 only

    static SoField *backPointer[maxRecursion];
    static SbBool isVector[maxRecursion];
    static int refCounter[maxRecursion];
    static SbString name[maxRecursion];
    static int count;
};

#endif
