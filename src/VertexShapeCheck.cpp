#include "VertexShapeCheck.h"

#include <Inventor/SoLists.h>
#include <Inventor/elements/SoCoordinateElement.h>
#include <Inventor/elements/SoLazyElement.h>
#include <Inventor/elements/SoMaterialBindingElement.h>
#include <Inventor/elements/SoNormalBindingElement.h>
#include <Inventor/elements/SoNormalElement.h>
#include <Inventor/elements/SoTextureCoordinateBindingElement.h>
#include <Inventor/elements/SoTextureCoordinateElement.h>
#include <Inventor/misc/SoState.h>
#include <Inventor/nodes/SoFaceSet.h>
#include <Inventor/nodes/SoIndexedFaceSet.h>
#include <Inventor/nodes/SoIndexedShape.h>
#include <Inventor/nodes/SoIndexedTriangleStripSet.h>
#include <Inventor/nodes/SoLineSet.h>
#include <Inventor/nodes/SoPointSet.h>
#include <Inventor/nodes/SoQuadMesh.h>
#include <Inventor/nodes/SoTriangleStripSet.h>
#include <Inventor/nodes/SoVertexProperty.h>
#include <cstdio>
#include <string>
#include <unordered_set>

namespace {

// How many of each kind of value the shape can index at this visit.
struct InEffect {
    long coordinates, materials, normals, textureCoordinates;
    bool materialsIndexed, normalsIndexed, textureCoordinatesIndexed;
};

bool indexedBinding(int binding) {
    return binding == SoMaterialBindingElement::PER_PART_INDEXED ||
           binding == SoMaterialBindingElement::PER_FACE_INDEXED ||
           binding == SoMaterialBindingElement::PER_VERTEX_INDEXED;
}

template <class Element> bool enabled(SoState *state) {
    return state->isElementEnabled(Element::getClassStackIndex());
}

// What is in effect: the shape's own vertex property where it has values,
// else the traversal state. What an action does not track (a bounding box
// has no materials) counts as none, bound overall.
InEffect inEffect(const SoVertexShape *shape, SoState *state) {
    InEffect e = {0, 0, 0, 0, false, false, false};
    const SoVertexProperty *vp = NULL;
    SoNode *node = shape->vertexProperty.getValue();
    if (node != NULL && node->isOfType(SoVertexProperty::getClassTypeId()))
        vp = static_cast<const SoVertexProperty *>(node);
    if (vp && vp->vertex.getNum() > 0)
        e.coordinates = vp->vertex.getNum();
    else if (enabled<SoCoordinateElement>(state))
        e.coordinates = SoCoordinateElement::getInstance(state)->getNum();
    if (vp && vp->orderedRGBA.getNum() > 0) {
        e.materials = vp->orderedRGBA.getNum();
        e.materialsIndexed = indexedBinding(vp->materialBinding.getValue());
    } else if (enabled<SoLazyElement>(state) && enabled<SoMaterialBindingElement>(state)) {
        e.materials = SoLazyElement::getInstance(state)->getNumDiffuse();
        e.materialsIndexed = indexedBinding(SoMaterialBindingElement::get(state));
    }
    if (vp && vp->normal.getNum() > 0) {
        e.normals = vp->normal.getNum();
        e.normalsIndexed = indexedBinding(vp->normalBinding.getValue());
    } else if (enabled<SoNormalElement>(state) && enabled<SoNormalBindingElement>(state)) {
        e.normals = SoNormalElement::getInstance(state)->getNum();
        e.normalsIndexed = indexedBinding(SoNormalBindingElement::get(state));
    }
    if (vp && vp->texCoord.getNum() > 0) {
        e.textureCoordinates = vp->texCoord.getNum();
    } else if (enabled<SoTextureCoordinateElement>(state)) {
        const SoTextureCoordinateElement *tc = SoTextureCoordinateElement::getInstance(state);
        if (tc->getType() == SoTextureCoordinateElement::EXPLICIT)
            e.textureCoordinates = tc->getNum();
    }
    e.textureCoordinatesIndexed = enabled<SoTextureCoordinateBindingElement>(state) &&
                                  SoTextureCoordinateBindingElement::get(state) ==
                                      SoTextureCoordinateBindingElement::PER_VERTEX_INDEXED;
    return e;
}

// An index field left at its default ([-1], or empty) means coordIndex.
const SoMFInt32 &indicesFor(const SoMFInt32 &field, const SoIndexedShape *shape) {
    return field.getNum() == 0 || field[0] < 0 ? shape->coordIndex : field;
}

// The first entry of `indices` outside -1..count-1; what is wrong, or "".
std::string pastEnd(const SoMFInt32 &indices, const char *field, long count, const char *what) {
    for (int i = 0; i < indices.getNum(); i++)
        if (indices[i] < -1 || indices[i] >= count)
            return std::string(field) + " " + std::to_string(indices[i]) + " is outside the " +
                   std::to_string(count) + " " + what + " in effect";
    return "";
}

std::string indexedProblem(const SoIndexedShape *shape, const InEffect &e) {
    std::string problem = pastEnd(shape->coordIndex, "coordIndex", e.coordinates, "coordinates");
    if (problem.empty() && e.materialsIndexed && e.materials > 0)
        problem = pastEnd(indicesFor(shape->materialIndex, shape), "materialIndex", e.materials,
                          "materials");
    if (problem.empty() && e.normalsIndexed && e.normals > 0)
        problem =
            pastEnd(indicesFor(shape->normalIndex, shape), "normalIndex", e.normals, "normals");
    if (problem.empty() && e.textureCoordinatesIndexed && e.textureCoordinates > 0)
        problem = pastEnd(indicesFor(shape->textureCoordIndex, shape), "textureCoordIndex",
                          e.textureCoordinates, "texture coordinates");
    // A face or strip ends at -1; one with no vertices ends the toolkit.
    if (problem.empty() && (shape->isOfType(SoIndexedFaceSet::getClassTypeId()) ||
                            shape->isOfType(SoIndexedTriangleStripSet::getClassTypeId()))) {
        const SoMFInt32 &index = shape->coordIndex;
        for (int i = 0; i < index.getNum(); i++)
            if (index[i] < 0 && (i == 0 || index[i - 1] < 0))
                return "coordIndex has a face without vertices at entry " + std::to_string(i);
    }
    return problem;
}

// The vertices a face, line or strip set uses after startIndex; -1 for a
// count that is no count.
long verticesUsed(const SoMFInt32 &numVertices, long rest) {
    long used = 0;
    for (int i = 0; i < numVertices.getNum(); i++) {
        if (numVertices[i] == -1 && i == numVertices.getNum() - 1)
            return used + (rest > used ? rest - used : 0);
        if (numVertices[i] < 0)
            return -1;
        used += numVertices[i];
    }
    return used;
}

std::string nonIndexedProblem(const SoNonIndexedShape *shape, const InEffect &e) {
    long start = shape->startIndex.getValue();
    if (start < 0 || (start > e.coordinates && e.coordinates > 0))
        return "startIndex " + std::to_string(start) + " is outside the " +
               std::to_string(e.coordinates) + " coordinates in effect";
    long rest = e.coordinates - start, used = 0;
    if (shape->isOfType(SoFaceSet::getClassTypeId()))
        used = verticesUsed(static_cast<const SoFaceSet *>(shape)->numVertices, rest);
    else if (shape->isOfType(SoLineSet::getClassTypeId()))
        used = verticesUsed(static_cast<const SoLineSet *>(shape)->numVertices, rest);
    else if (shape->isOfType(SoTriangleStripSet::getClassTypeId()))
        used = verticesUsed(static_cast<const SoTriangleStripSet *>(shape)->numVertices, rest);
    else if (shape->isOfType(SoPointSet::getClassTypeId())) {
        long points = static_cast<const SoPointSet *>(shape)->numPoints.getValue();
        used = points == SO_POINT_SET_USE_REST_OF_POINTS ? 0 : points < 0 ? -1 : points;
    } else if (shape->isOfType(SoQuadMesh::getClassTypeId())) {
        const SoQuadMesh *mesh = static_cast<const SoQuadMesh *>(shape);
        long rows = mesh->verticesPerColumn.getValue(), columns = mesh->verticesPerRow.getValue();
        if (rows < 0 || columns < 0)
            return "a quad mesh of " + std::to_string(rows) + " x " + std::to_string(columns) +
                   " vertices";
        used = rows * columns;
    }
    if (used < 0)
        return "a negative vertex count";
    if (used > rest)
        return "it uses " + std::to_string(used) + " vertices from startIndex " +
               std::to_string(start) + " of the " + std::to_string(e.coordinates) +
               " coordinates in effect";
    return "";
}

} // namespace

SbBool VertexShapeCheck::fits(const SoVertexShape *shape, SoState *state) {
    InEffect e = inEffect(shape, state);
    std::string problem;
    if (shape->isOfType(SoIndexedShape::getClassTypeId()))
        problem = indexedProblem(static_cast<const SoIndexedShape *>(shape), e);
    else if (shape->isOfType(SoNonIndexedShape::getClassTypeId()))
        problem = nonIndexedProblem(static_cast<const SoNonIndexedShape *>(shape), e);
    if (problem.empty())
        return TRUE;
    static std::unordered_set<const SoVertexShape *> reported;
    if (reported.insert(shape).second) {
        std::string what = shape->getTypeId().getName().getString();
        if (shape->getName().getLength() > 0)
            what += std::string(" \"") + shape->getName().getString() + "\"";
        fprintf(stderr, "Tessvane: the %s is not drawn: %s\n", what.c_str(), problem.c_str());
    }
    return FALSE;
}
