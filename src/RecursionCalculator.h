#ifndef TESSVANE_RECURSION_CALCULATOR_H
#define TESSVANE_RECURSION_CALCULATOR_H

#include <Inventor/SbString.h>
#include <Inventor/fields/SoSFFloat.h>
#include <Inventor/fields/SoSFString.h>
#include <Inventor/fields/SoSFVec3f.h>
#include <Inventor/nodes/SoNode.h>
#include <Inventor/nodes/SoSubNode.h>

// Assigns a recursion variable every time a traversal passes it. The set-up
// traversal wires `expression` ("name=right-hand side") to a calculator engine
// that feeds `value` or `value3`, and stores the assigned variable in `field`;
// each visit then copies the engine's current result into the variable.
class RecursionCalculator : public SoNode {
    SO_NODE_HEADER(RecursionCalculator);

public:
    SoSFString expression; // the assignment as written in the scene file
    SoSFFloat value;       // scalar result, connected from the engine for a scalar target
    SoSFVec3f value3;      // vector result, connected from the engine for a vector target

    SbString expressionField; // name of the assigned variable ("" while unbound)
    SoField *field;           // the assigned variable, a global field (NULL while unbound)

    static void initClass();
    RecursionCalculator();

    SbString getExpressionField() { return expressionField; }

    // Assignment: copy the engine's result into the variable
    virtual void doAction(SoAction *action);

    // Changes of the engine-driven fields notify nobody
    virtual void startNotify();

    // Only the expression line is written, never the engine connection
    virtual void write(SoWriteAction *action);

protected:
    // Every traversal assigns
    virtual void GLRender(SoGLRenderAction *action);
    virtual void callback(SoCallbackAction *action);
    virtual void getBoundingBox(SoGetBoundingBoxAction *action);
    virtual void getMatrix(SoGetMatrixAction *action);
    virtual void handleEvent(SoHandleEventAction *action);
    virtual void pick(SoPickAction *action);
    virtual void rayPick(SoRayPickAction *action);
    virtual void search(SoSearchAction *action);

private:
    virtual ~RecursionCalculator();
};

#endif
