#ifndef TESSVANE_EXPR_PREPROCESSOR_H
#define TESSVANE_EXPR_PREPROCESSOR_H

#include <Inventor/SbString.h>

class RecursionCalculator;
class RecursionSwitch;
class SoCalculator;

// Rewrites expressions over named recursion variables into the language of
// the toolkit's calculator engine, and wires one engine per calculator or
// switch node to the variables. Every name on a right-hand side gets an input
// letter: scalars a..h, vectors A..H (a name ending in "3" is a vector), in
// order of first appearance. All state is static; one expression is rewritten
// at a time, during the set-up traversal.
class ExpressionPreprocessor {
public:
    enum { maxIdScalar = 8, maxIdVector = 8, maxId = maxIdScalar + maxIdVector };

    static SbString idTable[maxId];  // distinct names of the current right-hand side
    static char substIdTable[maxId]; // the input letter given to each name
    static SbBool isVector[maxId];   // whether each name is a vector variable
    static int idCount;              // valid entries in the three tables
    static int idCountScalar;        // scalar names entered so far
    static int idCountVector;        // vector names entered so far
    static SbString newExpr;         // the rewritten expression under construction
    static SbString lhs;             // target of the last assignment found
    static const char *const reserved[35]; // words of the engine's language

    static SbBool overflow; // the last parse met a name beyond the engine's inputs

    // Rewriting
    static int findRightHandSide(SbString s); // index of the right-hand side, or -1
    static void parse(SbString s, int rhsStart);
    static void enterId(SbString newId);
    static SbBool isReserved(SbString token);
    static SbBool isVectorId(SbString s);
    static void print(); // report of the current state, on standard output

    // Whether the engine can take the rewritten expression: every call of one
    // of its functions has the function's number of arguments, every vector
    // component is written [0], [1] or [2], and there is no "%". The engine
    // itself crashes on too few arguments, reads outside a vector for any
    // other index and divides by zero in "%" for a divisor below 1, so an
    // expression failing this is reported and left unwired.
    static SbBool fitsEngine();

    // Wiring
    static SoCalculator *buildCalculator(); // NULL when a variable has the wrong type
    static void run(RecursionCalculator *rc);
    static void run(RecursionSwitch *rs);
};

#endif
