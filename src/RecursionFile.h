#ifndef TESSVANE_RECURSION_FILE_H
#define TESSVANE_RECURSION_FILE_H

#include <Inventor/nodes/SoFile.h>
#include <Inventor/nodes/SoSubNode.h>

// The node read for every "File" in a scene once initRecursionClasses has run
// (it overrides the toolkit's type). It reads as the toolkit's File does, but
// files included by files may nest only maxNesting deep (a file that includes
// itself, directly or through others, would otherwise be read until the stack
// overflows), and the named file must pass SceneFileCheck, its braces nesting
// no deeper than allowed counting those of the files including it. Either
// failure is reported and fails the read of the scene. It is written as a
// plain File.
class RecursionFile : public SoFile {
    SO_NODE_HEADER(RecursionFile);

public:
    enum { maxNesting = 32 };

    static void initClass();
    RecursionFile();

    virtual const char *getFileFormatName() const;

protected:
    virtual SbBool readInstance(SoInput *in, unsigned short flags);

private:
    virtual ~RecursionFile();

    static int nesting;           // File nodes now being read, one inside the other
    static long enclosingNesting; // how deep the files now being read nest braces
};

#endif
