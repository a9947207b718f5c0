#ifndef TESSVANE_SCENE_FILE_CHECK_H
#define TESSVANE_SCENE_FILE_CHECK_H

#include <Inventor/SbBasic.h>

// What the toolkit's file reader cannot take, found before it reads a file.
// The reader copies the first line into a 256-byte buffer on the stack; it
// reads a folder or a device without end; it reads, prepares and draws nested
// nodes recursively; a NUL byte in an ASCII file throws it off course; and it
// trusts every length and count in a file in the binary format. So a file
// must be a regular file; its first line may have at most maxHeaderLine
// characters; an ASCII file may hold no NUL byte, and outside comments and
// quoted strings its braces may nest at most maxNesting deep, counting the
// nesting of the files that include it; and a binary file is read once in a
// separate process first, and refused if that read ends the process. A
// quoted text begins only where a word could, and a comment anywhere but
// right after a digit: there the reader takes "#" and "\"" into the number.
// A file may not end in USE (the reader would go on with a node it never
// set), and a file in the old V1.0 format may not USE nodes at all: the
// toolkit's upgrade of such a file frees nodes still in use when a read
// fails. (Over-long words are bounded where the reader copies them: see
// ToolkitBounds.cpp.)
class SceneFileCheck {
public:
    enum { maxHeaderLine = 255, maxNesting = 1000 };

    // Returns FALSE after a report on standard error naming the file. A file
    // that does not exist or cannot be opened passes, for the toolkit to
    // report. enclosing is how deep the files including this one nest.
    static SbBool check(const char *path, long enclosing = 0);

    // How deep braces nest in the file at path, as its last check found; 0
    // for a file not checked, or one in the binary format.
    static long getNesting(const char *path);
};

#endif
