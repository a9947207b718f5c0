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
// - SoFloatElement::set stores the complexity and the font size: a
//   complexity far above 1 makes spheres, cones and cylinders of billions of
//   pieces, and a font size that is not finite ends the tessellation of 3D
//   text.
//
// The runtime defines these functions itself and every program linking it
// exports them (see CMakeLists.txt; ToolkitBounds::inForce checks it), so the dynamic linker binds the
// toolkit's own calls to the definitions here. Each one checks the value and
// forwards to the toolkit's function (found with dlsym(RTLD_NEXT)): too long
// a word fails the read with a read error, a message is cut short, an
// unknown type name is simply unknown, a font whose path would not fit is not
// found (the toolkit draws with its default font), larger bitmap text is
// drawn 64 pixels high, the stipple pattern index is held in 0..64, the
// complexity in 0..1, and a font size that is not finite is the default 10.

#include "ToolkitBounds.h"

#include <Inventor/SbDict.h>
#include <Inventor/SoInput.h>
#include <Inventor/SoType.h>
#include <Inventor/elements/SoComplexityElement.h>
#include <Inventor/elements/SoFloatElement.h>
#include <Inventor/elements/SoFontSizeElement.h>
#include <Inventor/elements/SoGLLazyElement.h>
#include <Inventor/errors/SoReadError.h>
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

// The last of the toolkit's stipple patterns, for full transparency.
const int maxStipple = 64;

// The longest read error message; the toolkit's buffer holds 10,000 bytes.
const int maxMessage = 4000;

// The toolkit's definition of a function defined here, or the end of the
// process if it has none: nothing can be read without it.
void *toolkitFunction(const char *mangledName) {
    void *function = dlsym(RTLD_NEXT, mangledName);
    if (function == NULL) {
        fprintf(stderr, "Tessvane: the toolkit library has no %s\n", mangledName);
        abort();
    }
    return function;
}

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

// The mangled names of the functions defined here.
const char *const replaced[] = {"_ZN7SoInput11readIntegerERi",
                                "_ZN7SoInput19readUnsignedIntegerERj",
                                "_ZN7SoInput7readHexERj",
                                "_ZN11SoReadError4postEPK7SoInputPKcz",
                                "_ZN6SoType8fromNameE6SbName",
                                "_flSearchFont",
                                "flCreateFont",
                                "_ZN15SoGLLazyElement11sendStippleEPK7SoStatei",
                                "_ZN14SoFloatElement3setEiP7SoStatef"};

} // namespace

// A replacement is in force when the first definition of its name in the
// process is not the toolkit's, which comes after the program's.
bool ToolkitBounds::inForce() {
    for (const char *name : replaced) {
        void *first = dlsym(RTLD_DEFAULT, name);
        if (first == NULL || first == dlsym(RTLD_NEXT, name))
            return false;
    }
    return true;
}

SbBool SoInput::readInteger(int32_t &l) {
    typedef SbBool Read(SoInput *, int32_t &);
    static Read *toolkitRead =
        reinterpret_cast<Read *>(toolkitFunction("_ZN7SoInput11readIntegerERi"));
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkitRead(this, l);
}

SbBool SoInput::readUnsignedInteger(uint32_t &l) {
    typedef SbBool Read(SoInput *, uint32_t &);
    static Read *toolkitRead =
        reinterpret_cast<Read *>(toolkitFunction("_ZN7SoInput19readUnsignedIntegerERj"));
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkitRead(this, l);
}

// readHex skips blanks itself before it reads the word.
SbBool SoInput::readHex(uint32_t &l) {
    typedef SbBool Read(SoInput *, uint32_t &);
    static Read *toolkitRead = reinterpret_cast<Read *>(toolkitFunction("_ZN7SoInput7readHexERj"));
    if (backBufIndex < 0 && !fromBuffer())
        skipWhiteSpace();
    if (!integerWordFits(this, backBufIndex >= 0, backBuf, fromBuffer() ? NULL : curFile->fp))
        return FALSE;
    return toolkitRead(this, l);
}

void SoReadError::post(const SoInput *in, const char *formatString, ...) {
    typedef void Post(const SoInput *, const char *, ...);
    static Post *toolkitPost =
        reinterpret_cast<Post *>(toolkitFunction("_ZN11SoReadError4postEPK7SoInputPKcz"));
    char message[maxMessage + 4];
    va_list args;
    va_start(args, formatString);
    int length = vsnprintf(message, maxMessage + 1, formatString, args);
    va_end(args);
    if (length > maxMessage)
        strcpy(message + maxMessage, "...");
    toolkitPost(in, "%s", message);
}

// Only names of registered types (given with or without the "So" prefix, as
// the toolkit accepts them) reach the toolkit's lookup; any other name is an
// unknown type without a search for a shared object.
SoType SoType::fromName(SbName name) {
    typedef SoType FromName(SbName);
    static FromName *toolkitFromName =
        reinterpret_cast<FromName *>(toolkitFunction("_ZN6SoType8fromNameE6SbName"));
    const char *text = name.getString();
    void *type;
    if (nameDict == NULL || nameDict->find(reinterpret_cast<unsigned long>(text), type) ||
        (strncmp(text, "So", 2) == 0 && strlen(text) > 2 &&
         nameDict->find(reinterpret_cast<unsigned long>(SbName(text + 2).getString()), type)))
        return toolkitFromName(name);
    return badType();
}

// ---- While drawing ----------------------------------------------------------

// The toolkit's font library finds a font file; NULL when there is none.
extern "C" char *_flSearchFont(const char *name) {
    typedef char *SearchFont(const char *);
    static SearchFont *toolkitSearchFont =
        reinterpret_cast<SearchFont *>(toolkitFunction("_flSearchFont"));
    const char *folder = getenv("FL_FONT_PATH");
    if (folder == NULL || *folder == '\0')
        folder = "/usr/share/inventor/fonts";
    if (strlen(folder) + 1 + strlen(name) >= maxFontPath)
        return NULL;
    return toolkitSearchFont(name);
}

// The toolkit's font library makes a font drawn through the 2x2 matrix; for
// bitmap text, that is the font size in pixels on the diagonal. Returns 0 when
// it cannot.
extern "C" int flCreateFont(const char *name, float matrix[2][2], int charNameCount,
                            char **charNameVector) {
    typedef int CreateFont(const char *, float[2][2], int, char **);
    static CreateFont *toolkitCreateFont =
        reinterpret_cast<CreateFont *>(toolkitFunction("flCreateFont"));
    float largest = 0;
    for (int i = 0; i < 4; i++) {
        float entry = std::fabs(matrix[i / 2][i % 2]);
        if (!std::isfinite(entry))
            return 0;
        largest = std::fmax(largest, entry);
    }
    if (largest <= maxBitmapFontSize)
        return toolkitCreateFont(name, matrix, charNameCount, charNameVector);
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
    return toolkitCreateFont(name, scaled, charNameCount, charNameVector);
}

void SoGLLazyElement::sendStipple(const SoState *state, int transpIndex) {
    typedef void SendStipple(SoGLLazyElement *, const SoState *, int);
    static SendStipple *toolkitSendStipple = reinterpret_cast<SendStipple *>(
        toolkitFunction("_ZN15SoGLLazyElement11sendStippleEPK7SoStatei"));
    toolkitSendStipple(this, state,
                       transpIndex < 0            ? 0
                       : transpIndex > maxStipple ? maxStipple
                                                  : transpIndex);
}

void SoFloatElement::set(int stackIndex, SoState *state, float value) {
    typedef void Set(int, SoState *, float);
    static Set *toolkitSet =
        reinterpret_cast<Set *>(toolkitFunction("_ZN14SoFloatElement3setEiP7SoStatef"));
    if (stackIndex == SoComplexityElement::getClassStackIndex())
        value = std::isnan(value) ? SoComplexityElement::getDefault()
                                  : std::fmin(std::fmax(value, 0), 1);
    else if (stackIndex == SoFontSizeElement::getClassStackIndex() && !std::isfinite(value))
        value = SoFontSizeElement::getDefault();
    toolkitSet(stackIndex, state, value);
}
