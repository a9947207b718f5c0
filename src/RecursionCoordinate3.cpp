#include "RecursionCoordinate3.h"

SO_NODE_SOURCE(RecursionCoordinate3);

void RecursionCoordinate3::initClass() {
    SO_NODE_INIT_CLASS(RecursionCoordinate3, SoCoordinate3, "Coordinate3");
}

RecursionCoordinate3::RecursionCoordinate3() {
    SO_NODE_CONSTRUCTOR(RecursionCoordinate3);
    enableNotify(FALSE);
}

RecursionCoordinate3::~RecursionCoordinate3() {}
