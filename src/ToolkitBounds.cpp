// Bounds for values from a scene file that the toolkit uses without checking
// them, each of which overruns a buffer or ends the process.
//
// While reading:
// - SoInput::readInteger, readUnsignedInteger and readHex copy everything up
//   to the next blank, ']', '}' or ',' into a 32-byte buffer (and copy a
//   string put back into the input there whole). A long word where a number,
//   a boolean or an image pixel is read overwrites the stack.
// - SoReadError::post formats its message into a buffer of about 10,000
//   bytes; a message quoting a long name or file name overwrites the stack.
// - SoType::fromName looks for a type it does not know as a shared object
//   (NAME.so on the library path, ./NAME.so for users other than root,
//   /usr/lib/InventorDSO and /usr/local/lib/InventorDSO) and builds those
//   paths in a 112-byte buffer. So a long type name overwrites the stack, and
//   any type name in a scene file decides which shared objects the process
//   loads, constructors and all. The loader looks for a mangling no compiler
//   here produces, so it can never register a class anyway.
//
// While drawing:
// - _flSearchFont, which finds the file of a Font node's font, joins the font
//   folder (FL_FONT_PATH, or the toolkit's own) and the name in a 1024-byte
//   buffer; a longer path ends the process.
// - flCreateFont makes the font for Text2 at the font size in pixels; the
//   font library's rasteriser overruns its buffer on glyphs much larger than
//   64 pixels (all of ASCII fits at 64; '@' no longer fits at 68).
// - SoGLLazyElement::sendStipple picks one of 65 stipple patterns by the
//   transparency times 64 without a bound; a transparency far above 1 reads
//   far outside them.
// - Vertex shapes (face, line, strip and point sets, indexed or not, and quad
//   meshes) index what is in effect without a bound (see VertexShapeCheck):
//   their GLRender, generatePrimitives (for callbacks and picking) and
//   computeBBox skip a shape whose indices do not fit.
// - SoTimeCounter::evaluate (also inside Blinker nodes) steps through the
//   periods of its frequency until it reaches the current time; a frequency
//   of 0, not a number, or so high that a period is lost in the time's
//   precision (1e7 Hz) never gets there. Such a counter stands still. And
//   SbTime(double), which makes its period, recurses without end on a time
//   that is not a number; such a time is 0.
// - SoFloatElement::set stores the complexity and the font size: a
//   complexity far above 1 makes spheres, cones and cylinders of billions of
//   pieces, and a font size that is not finite ends the tessellation of 3D
//   text.
//
// The runtime defines these functions itself. A link exports a program's
// definitions of functions a shared library also defines, so the dynamic
// linker binds the toolkit's own calls (through its procedure linkage table
// and its virtual tables) to the definitions here; ToolkitBounds::inForce
// checks that it did. Each one checks the values and forwards to the
// toolkit's function, found with dlsym(RTLD_NEXT).

#include "ToolkitBounds.h"

#include "VertexShapeCheck.h"

#include <Inventor/SbBox.h>
#include <Inventor/SbDict.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoType.h>
#include <Inventor/actions/SoGLRenderAction.h>
#include <Inventor/elements/SoComplexityElement.h>
#include <Inventor/elements/SoFloatElement.h>
#include <Inventor/elements/SoFontSizeElement.h>
#include <Inventor/elements/SoGLLazyElement.h>
#include <Inventor/engines/SoTimeCounter.h>
#include <Inventor/errors/SoReadError.h>
#include <Inventor/nodes/SoFaceSet.h>
#include <Inventor/nodes/SoIndexedFaceSet.h>
#include <Inventor/nodes/SoIndexedLineSet.h>
#include <Inventor/nodes/SoIndexedTriangleStripSet.h>
#include <Inventor/nodes/SoLineSet.h>
#include <Inventor/nodes/SoPointSet.h>
#include <Inventor/nodes/SoQuadMesh.h>
#include <Inventor/nodes/SoTriangleStripSet.h>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

// The longest word the integer readers' buffer holds with its terminator.
const int maxIntegerWord = 31;

// The size of the font library's buffer for the path of a font file.
const size_t maxFontPath = 1024;

// The largest bitmap font size, in pixels, the font library draws safely.
const float maxBitmapFontSize = 64;

// The highest frequency a time counter counts at: its periods must stay well
// above the precision of the time of day in seconds.
const float maxCounterFrequency = 1e5;

// The last of the toolkit's stipple patterns, for full transparency.
const int maxStipple = 64;

// The longest read error message; the toolkit's buffer holds 10,000 bytes.
const int maxMessage = 4000;

// The functions defined here, and their names as the linker knows them.
enum Replaced {
    ReadInteger,
    ReadUnsignedInteger,
    ReadHex,
    PostReadError,
    FromName,
    SearchFont,
    CreateFont,
    SendStipple,
    SetFloat,
    EvaluateTimeCounter,
    ConstructTime,
    IndexedFaceSetGLRender,
    IndexedFaceSetPrimitives,
    IndexedLineSetGLRender,
    IndexedLineSetPrimitives,
    IndexedTriangleStripSetGLRender,
    IndexedTriangleStripSetPrimitives,
    FaceSetGLRender,
    FaceSetPrimitives,
    LineSetGLRender,
    LineSetPrimitives,
    TriangleStripSetGLRender,
    TriangleStripSetPrimitives,
    PointSetGLRender,
    PointSetPrimitives,
    QuadMeshGLRender,
    QuadMeshPrimitives,
    IndexedShapeBBox,
    FaceSetBBox,
    LineSetBBox,
    TriangleStripSetBBox,
    PointSetBBox,
    QuadMeshBBox,
    numReplaced
};
const char *const replacedNames[numReplaced] = {
    "_ZN7SoInput11readIntegerERi",
    "_ZN7SoInput19readUnsignedIntegerERj",
    "_ZN7SoInput7readHexERj",
    "_ZN11SoReadError4postEPK7SoInputPKcz",
    "_ZN6SoType8fromNameE6SbName",
    "_flSearchFont",
    "flCreateFont",
    "_ZN15SoGLLazyElement11sendStippleEPK7SoStatei",
    "_ZN14SoFloatElement3setEiP7SoStatef",
    "_ZN13SoTimeCounter8evaluateEv",
    "_ZN6SbTimeC1Ed",
    "_ZN16SoIndexedFaceSet8GLRenderEP16SoGLRenderAction",
    "_ZN16SoIndexedFaceSet18generatePrimitivesEP8SoAction",
    "_ZN16SoIndexedLineSet8GLRenderEP16SoGLRenderAction",
    "_ZN16SoIndexedLineSet18generatePrimitivesEP8SoAction",
    "_ZN25SoIndexedTriangleStripSet8GLRenderEP16SoGLRenderAction",
    "_ZN25SoIndexedTriangleStripSet18generatePrimitivesEP8SoAction",
    "_ZN9SoFaceSet8GLRenderEP16SoGLRenderAction",
    "_ZN9SoFaceSet18generatePrimitivesEP8SoAction",
    "_ZN9SoLineSet8GLRenderEP16SoGLRenderAction",
    "_ZN9SoLineSet18generatePrimitivesEP8SoAction",
    "_ZN18SoTriangleStripSet8GLRenderEP16SoGLRenderAction",
    "_ZN18SoTriangleStripSet18generatePrimitivesEP8SoAction",
    "_ZN10SoPointSet8GLRenderEP16SoGLRenderAction",
    "_ZN10SoPointSet18generatePrimitivesEP8SoAction",
    "_ZN10SoQuadMesh8GLRenderEP16SoGLRenderAction",
    "_ZN10SoQuadMesh18generatePrimitivesEP8SoAction",
    "_ZN14SoIndexedShape11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
    "_ZN9SoFaceSet11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
    "_ZN9SoLineSet11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
    "_ZN18SoTriangleStripSet11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
    "_ZN10SoPointSet11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
    "_ZN10SoQuadMesh11computeBBoxEP8SoActionR7SbBox3fR7SbVec3f",
};

// The toolkit's definition of a function defined here, or the end of the
// process if it has none: nothing can be read or drawn without it.
void *toolkitFunction(Replaced which) {
    void *function = dlsym(RTLD_NEXT, replacedNames[which]);
    if (function == NULL) {
        fprintf(stderr, "Tessvane: the toolkit library has no %s\n", replacedNames[which]);
        abort();
    }
    return function;
}

// Declares `toolkit`, the toolkit's definition of `which`, of type Type.
#define TOOLKIT_FUNCTION(Type, which)                                                              \
    static Type *toolkit = reinterpret_cast<Type *>(toolkitFunction(which))

// What ends a word for the integer readers.
bool endsIntegerWord(int c) {
    return c == ']' || c == '}' || c == ',' || isspace(static_cast<signed char>(c));
}

// Looks at what the integer readers are about to copy: a string put back
// into the input (copied whole), else in a file (a buffer in memory is parsed
// in place) the next word. A word that fits is pushed back onto the stream as
// it was; a longer one is consumed with the character that ends it pushed
// back, so the reader goes on after it. Returns FALSE after a read error when
// the copy would not fit.
SbBool integerWordFits(SoInput *in, SbBool puttingBack, const SbString &putBack, FILE *file) {
    if (puttingBack) {
        if (putBack.getLength() <= maxIntegerWord)
            return TRUE;
        SoReadError::post(in,
                          "a word longer than %d characters was put back where a number is "
                          "read",
                          maxIntegerWord);
        return FALSE;
    }
    if (file == NULL)
        return TRUE;
    char word[maxIntegerWord + 1];
    int length = 0, c;
    while ((c = getc(file)) != EOF && !endsIntegerWord(c) && length <= maxIntegerWord)
        word[length++] = static_cast<char>(c);
    if (length <= maxIntegerWord) {
        if (c != EOF)
            ungetc(c, file);
        while (length > 0)
            ungetc(static_cast<unsigned char>(word[--length]), file);
        return TRUE;
    }
    while (c != EOF && !endsIntegerWord(c))
        c = getc(file);
    if (c != EOF)
        ungetc(c, file);
    SoReadError::post(in,
                      "\"%.*s...\" is longer than %d characters; a number, a boolean or a "
                      "pixel value cannot be read from it",
                      maxIntegerWord, word, maxIntegerWord);
    return FALSE;
}

} // namespace

// A replacement is in force when the first definition of its name in the
// process is not the toolkit's, which comes after the program's.
bool ToolkitBounds::inForce() {
    for (const char *name : replacedNames) {
        void *first = dlsym(RTLD_DEFAULT, name);
        if (first == NULL || first == dlsym(RTLD_NEXT, name))
            return false;
    }
    return true;
}

SbBool SoInput::readInteger(int32_t &l) {
    typedef SbBool Function(SoInput *, int32_t &);
    TOOLKIT_FUNCTION(Function, ReadInteger);
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkit(this, l);
}

SbBool SoInput::readUnsignedInteger(uint32_t &l) {
    typedef SbBool Function(SoInput *, uint32_t &);
    TOOLKIT_FUNCTION(Function, ReadUnsignedInteger);
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkit(this, l);
}

// readHex skips blanks itself before it reads the word.
SbBool SoInput::readHex(uint32_t &l) {
    typedef SbBool Function(SoInput *, uint32_t &);
    TOOLKIT_FUNCTION(Function, ReadHex);
    if (backBufIndex < 0 && !fromBuffer())
        skipWhiteSpace();
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkit(this, l);
}

void SoReadError::post(const SoInput *in, const char *formatString, ...) {
    typedef void Function(const SoInput *, const char *, ...);
    TOOLKIT_FUNCTION(Function, PostReadError);
    char message[maxMessage + 4];
    va_list args;
    va_start(args, formatString);
    int length = vsnprintf(message, maxMessage + 1, formatString, args);
    va_end(args);
    if (length > maxMessage)
        strcpy(message + maxMessage, "...");
    toolkit(in, "%s", message);
}

// Only names of registered types (given with or without the "So" prefix, as
// the toolkit accepts them) reach the toolkit's lookup; any other name is an
// unknown type without a search for a shared object.
SoType SoType::fromName(SbName name) {
    typedef SoType Function(SbName);
    TOOLKIT_FUNCTION(Function, FromName);
    const char *text = name.getString();
    void *type;
    if (nameDict == NULL || nameDict->find(reinterpret_cast<unsigned long>(text), type) ||
        (strncmp(text, "So", 2) == 0 && strlen(text) > 2 &&
         nameDict->find(reinterpret_cast<unsigned long>(SbName(text + 2).getString()), type)))
        return toolkit(name);
    return badType();
}

// ---- While drawing ----------------------------------------------------------

// The toolkit's font library finds a font file; NULL when there is none.
extern "C" char *_flSearchFont(const char *name) {
    typedef char *Function(const char *);
    TOOLKIT_FUNCTION(Function, SearchFont);
    const char *folder = getenv("FL_FONT_PATH");
    if (folder == NULL || *folder == '\0')
        folder = "/usr/share/inventor/fonts";
    if (strlen(folder) + 1 + strlen(name) >= maxFontPath)
        return NULL;
    return toolkit(name);
}

// The toolkit's font library makes a font drawn through the 2x2 matrix; for
// bitmap text, that is the font size in pixels on the diagonal. Returns 0 when
// it cannot.
extern "C" int flCreateFont(const char *name, float matrix[2][2], int charNameCount,
                            char **charNameVector) {
    typedef int Function(const char *, float[2][2], int, char **);
    TOOLKIT_FUNCTION(Function, CreateFont);
    float largest = 0;
    for (int i = 0; i < 4; i++) {
        float entry = std::fabs(matrix[i / 2][i % 2]);
        if (!std::isfinite(entry))
            return 0;
        largest = std::fmax(largest, entry);
    }
    if (largest <= maxBitmapFontSize)
        return toolkit(name, matrix, charNameCount, charNameVector);
    static bool warned = false;
    if (!warned)
        fprintf(stderr,
                "Tessvane: warning: text of font size %g is drawn %g pixels high, the "
                "largest the toolkit's font library draws\n",
                largest, maxBitmapFontSize);
    warned = true;
    float scaled[2][2];
    for (int i = 0; i < 4; i++)
        scaled[i / 2][i % 2] = matrix[i / 2][i % 2] * (maxBitmapFontSize / largest);
    return toolkit(name, scaled, charNameCount, charNameVector);
}

void SoGLLazyElement::sendStipple(const SoState *state, int transpIndex) {
    typedef void Function(SoGLLazyElement *, const SoState *, int);
    TOOLKIT_FUNCTION(Function, SendStipple);
    toolkit(this, state, transpIndex < 0 ? 0 : transpIndex > maxStipple ? maxStipple : transpIndex);
}

void SoFloatElement::set(int stackIndex, SoState *state, float value) {
    typedef void Function(int, SoState *, float);
    TOOLKIT_FUNCTION(Function, SetFloat);
    if (stackIndex == SoComplexityElement::getClassStackIndex())
        value = std::isnan(value) ? SoComplexityElement::getDefault()
                                  : std::fmin(std::fmax(value, 0), 1);
    else if (stackIndex == SoFontSizeElement::getClassStackIndex() && !std::isfinite(value))
        value = SoFontSizeElement::getDefault();
    toolkit(stackIndex, state, value);
}

void SoTimeCounter::evaluate() {
    typedef void Function(SoTimeCounter *);
    TOOLKIT_FUNCTION(Function, EvaluateTimeCounter);
    float cycles = frequency.getValue();
    if (cycles > 0 && cycles <= maxCounterFrequency)
        toolkit(this);
}

SbTime::SbTime(double sec) {
    typedef void Function(SbTime *, double);
    TOOLKIT_FUNCTION(Function, ConstructTime);
    toolkit(this, std::isnan(sec) ? 0 : sec);
}

// Each vertex shape draws, makes primitives (for callbacks and picking) and
// finds its bounding box only when its indices fit what is in effect; an
// empty box stands for one that does not.
#define ONLY_IF_INDICES_FIT(Shape, Method, ActionType, which)                                      \
    void Shape::Method(ActionType *action) {                                                       \
        typedef void Function(Shape *, ActionType *);                                              \
        TOOLKIT_FUNCTION(Function, which);                                                         \
        if (VertexShapeCheck::fits(this, action->getState()))                                      \
            toolkit(this, action);                                                                 \
    }
#define BOX_ONLY_IF_INDICES_FIT(Shape, which)                                                      \
    void Shape::computeBBox(SoAction *action, SbBox3f &box, SbVec3f &center) {                     \
        typedef void Function(Shape *, SoAction *, SbBox3f &, SbVec3f &);                          \
        TOOLKIT_FUNCTION(Function, which);                                                         \
        if (VertexShapeCheck::fits(this, action->getState()))                                      \
            return toolkit(this, action, box, center);                                             \
        box.makeEmpty();                                                                           \
        center.setValue(0, 0, 0);                                                                  \
    }

ONLY_IF_INDICES_FIT(SoIndexedFaceSet, GLRender, SoGLRenderAction, IndexedFaceSetGLRender)
ONLY_IF_INDICES_FIT(SoIndexedFaceSet, generatePrimitives, SoAction, IndexedFaceSetPrimitives)
ONLY_IF_INDICES_FIT(SoIndexedLineSet, GLRender, SoGLRenderAction, IndexedLineSetGLRender)
ONLY_IF_INDICES_FIT(SoIndexedLineSet, generatePrimitives, SoAction, IndexedLineSetPrimitives)
ONLY_IF_INDICES_FIT(SoIndexedTriangleStripSet, GLRender, SoGLRenderAction,
                    IndexedTriangleStripSetGLRender)
ONLY_IF_INDICES_FIT(SoIndexedTriangleStripSet, generatePrimitives, SoAction,
                    IndexedTriangleStripSetPrimitives)
ONLY_IF_INDICES_FIT(SoFaceSet, GLRender, SoGLRenderAction, FaceSetGLRender)
ONLY_IF_INDICES_FIT(SoFaceSet, generatePrimitives, SoAction, FaceSetPrimitives)
ONLY_IF_INDICES_FIT(SoLineSet, GLRender, SoGLRenderAction, LineSetGLRender)
ONLY_IF_INDICES_FIT(SoLineSet, generatePrimitives, SoAction, LineSetPrimitives)
ONLY_IF_INDICES_FIT(SoTriangleStripSet, GLRender, SoGLRenderAction, TriangleStripSetGLRender)
ONLY_IF_INDICES_FIT(SoTriangleStripSet, generatePrimitives, SoAction, TriangleStripSetPrimitives)
ONLY_IF_INDICES_FIT(SoPointSet, GLRender, SoGLRenderAction, PointSetGLRender)
ONLY_IF_INDICES_FIT(SoPointSet, generatePrimitives, SoAction, PointSetPrimitives)
ONLY_IF_INDICES_FIT(SoQuadMesh, GLRender, SoGLRenderAction, QuadMeshGLRender)
ONLY_IF_INDICES_FIT(SoQuadMesh, generatePrimitives, SoAction, QuadMeshPrimitives)
BOX_ONLY_IF_INDICES_FIT(SoIndexedShape, IndexedShapeBBox)
BOX_ONLY_IF_INDICES_FIT(SoFaceSet, FaceSetBBox)
BOX_ONLY_IF_INDICES_FIT(SoLineSet, LineSetBBox)
BOX_ONLY_IF_INDICES_FIT(SoTriangleStripSet, TriangleStripSetBBox)
BOX_ONLY_IF_INDICES_FIT(SoPointSet, PointSetBBox)
BOX_ONLY_IF_INDICES_FIT(SoQuadMesh, QuadMeshBBox)
