#ifndef TESSVANE_RECURSIONCOORDINATE3_H
#define TESSVANE_RECURSIONCOORDINATE3_H

#include <Inventor/nodes/SoCoordinate3.h>
#include <Inventor/nodes/SoSubNode.h>

// A coordinate node under a type name of its own. It binds nothing; changes
// of its points notify nobody.
class RecursionCoordinate3 : public SoCoordinate3 {
    SO_NODE_HEADER(RecursionCoordinate3);

public:
    static void initClass();
    RecursionCoordinate3();

private:
    virtual ~RecursionCoordinate3();
};

#endif
