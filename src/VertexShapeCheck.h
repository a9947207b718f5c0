#ifndef TESSVANE_VERTEX_SHAPE_CHECK_H
#define TESSVANE_VERTEX_SHAPE_CHECK_H

#include <Inventor/SbBasic.h>

class SoState;
class SoVertexShape;

// The toolkit's vertex shapes index the coordinates (and the materials,
// normals and texture coordinates bound by index) in effect where they are
// traversed without checking the indices, and an index past the end, an
// empty face of an indexed face set or a quad mesh without rows ends the
// process. A shape is drawn, picked and turned into primitives only when its
// indices fit what is in effect at that visit; otherwise it is left out, and
// reported once.
class VertexShapeCheck {
public:
    static SbBool fits(const SoVertexShape *shape, SoState *state);
};

#endif
