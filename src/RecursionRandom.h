#ifndef TESSVANE_RECURSION_RANDOM_H
#define TESSVANE_RECURSION_RANDOM_H

#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFString.h>
#include <Inventor/nodes/SoNode.h>
#include <Inventor/nodes/SoSubNode.h>

// Writes a pseudo-random number in [0, 1] into a scalar recursion variable at
// every visit, from the process-wide 48-bit generator. `seed` decides the
// reseeding before each draw: 0 draws the next number of the running
// sequence, -1 reseeds with the variable's own value, anything else reseeds
// with the seed itself, so that the node draws the same number every time.
class RecursionRandom : public SoNode {
    SO_NODE_HEADER(RecursionRandom);

public:
    SoSFString expression; // name of the scalar variable that receives the numbers
    SoSFFloat seed;        // reseeding rule: 0 none, -1 from the variable, else this value

    SoSFFloat *field; // the variable, once the set-up has bound the node (NULL before)

    static void initClass();
    RecursionRandom();

    // Binds the node to its variable, creating it when absent
    void setField();

    // Draw: reseed as `seed` says and store the next number in the variable
    virtual void doAction(SoAction *action);

protected:
    // Every traversal draws
    virtual void GLRender(SoGLRenderAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void getMatrix(SoGetMatrixAction *action);
    virtual void handleEvent(SoHandleEventAction *action);
    virtual void pick(SoPickAction *action);
    virtual void rayPick(SoRayPickAction *action);
    virtual void search(SoSearchAction *action);

private:
    virtual ~RecursionRandom();
};

#endif
