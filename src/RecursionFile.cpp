#include "RecursionFile.h"

#include "ConsistencyCheck.h"
#include "SceneFileCheck.h"

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/errors/SoReadError.h>
#include <Inventor/misc/SoChildList.h>
#include <string>

SO_NODE_SOURCE(RecursionFile);

int RecursionFile::nesting = 0;
long RecursionFile::enclosingNesting = 0;

void RecursionFile::initClass() {
    SO_NODE_INIT_CLASS(RecursionFile, SoFile, "File");
    SoType::overrideType(SoFile::getClassTypeId(), createInstance);
}

RecursionFile::RecursionFile() {
    SO_NODE_CONSTRUCTOR(RecursionFile);
    isBuiltIn = TRUE; // written without a field description, as File
}

RecursionFile::~RecursionFile() {}

const char *RecursionFile::getFileFormatName() const {
    return "File";
}

// Reads the node as the toolkit's File does (the name, then every node of the
// named file as a child), with checks first: the nesting of File nodes, and
// SceneFileCheck on the named file.
SbBool RecursionFile::readInstance(SoInput *in, unsigned short flags) {
    if (!(nesting < maxNesting)) {
        const char *including = in->getCurFileName();
        RECURSION_REPORT(nesting < maxNesting,
                         std::string("File nodes nest more than ") + std::to_string(maxNesting) +
                             " deep at a File node in \"" + (including ? including : "") +
                             "\"; a file that includes itself cannot be read");
        return FALSE;
    }
    // The name field must not notify while it is read: the toolkit would read
    // the file at once, unchecked.
    SbBool notifying = name.isNotifyEnabled();
    name.enableNotify(FALSE);
    SbBool ok = SoNode::readInstance(in, flags);
    name.enableNotify(notifying);
    if (!ok)
        return FALSE;
    if (name.isDefault()) {
        SoReadError::post(in, "\"name\" field of SoFile node was never set");
        return FALSE;
    }
    SoInput included;
    const char *fileName = name.getValue().getString();
    if (!included.openFile(fileName, TRUE)) {
        SoReadError::post(in, "Can't open included file \"%s\" in File node", fileName);
        return FALSE;
    }
    // The nodes of the named file nest below those of every file including
    // it; for the outermost one, its deepest nesting stands for the File
    // node's depth.
    if (nesting == 0)
        enclosingNesting = SceneFileCheck::getNesting(in->getCurFileName());
    if (!SceneFileCheck::check(included.getCurFileName(), enclosingNesting))
        return FALSE;
    long includedNesting = SceneFileCheck::getNesting(included.getCurFileName());
    SoChildList *children = getChildren();
    children->truncate(0);
    nesting++;
    enclosingNesting += includedNesting;
    SoNode *child = NULL;
    while ((ok = SoDB::read(&included, child)) && child != NULL)
        children->append(child);
    enclosingNesting -= includedNesting;
    nesting--;
    included.closeFile();
    if (!ok) // the toolkit drops a node whose read failed without freeing it
        children->truncate(0);
    return ok;
}
