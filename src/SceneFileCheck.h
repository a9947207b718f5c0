#ifndef TESSVANE_SCENE_FILE_CHECK_H
#define TESSVANE_SCENE_FILE_CHECK_H

#include <Inventor/SbBasic.h>

// What the toolkit's file reader cannot take, found before it reads a file.
// The reader copies the first line into a 256-byte buffer on the stack and
// words into 32-byte ones without checking their length; it reads a folder
// or a device without end; and it reads, prepares and draws nested nodes
// recursively; a NUL byte in an ASCII file throws it off course. So a file
// must be a regular file; its first line may have at most maxHeaderLine
// characters; an ASCII file may hold no NUL byte; and in it, outside comments
// and quoted strings, a word (a run of characters between blanks, closing
// braces and brackets, and commas) may have at most maxWord characters and
// braces may nest at most maxNesting deep. A quoted text begins only where a
// word could, and a comment anywhere but right after a digit: there the
// reader takes "#" and "\"" into the number. A file may not end in USE (the
// reader would go on with a node it never set), and a file in the old V1.0
// format may not USE nodes at all: the toolkit's upgrade of such a file frees
// nodes still in use when a read fails.
class SceneFileCheck {
public:
    enum { maxHeaderLine = 255, maxWord = 31, maxNesting = 1000 };

    // Returns FALSE after a report on standard error naming the file. A file
    // that does not exist or cannot be opened passes, for the toolkit to report.
    static SbBool check(const char *path);
};

#endif
