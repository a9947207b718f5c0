#ifndef TESSVANE_RECURSION_H
#define TESSVANE_RECURSION_H

// The recursion runtime's entry points for an application: register the
// runtime's classes once, then load scenes. A loaded root is released by
// applying RecursionDoneAction to it and then unref'ing it.

#include "RecursionSeparator.h"
#include "RecursionElement.h"
#include "RecursionSwitch.h"
#include "RecursionTranslation.h"
#include "RecursionScale.h"
#include "RecursionRotationXYZ.h"
#include "RecursionCalculator.h"
#include "RecursionCoordinate3.h"
#include "RecursionRandom.h"
#include "RecursionFile.h"
#include "SceneFileCheck.h"
#include "RecursionInitAction.h"
#include "RecursionDoneAction.h"
#include "RecursionExpandAction.h"

class SoSeparator;

// Makes every runtime class known to the toolkit, in a fixed order: the node
// classes and the element before the two traversal actions whose method tables
// name them. Call once, after the toolkit has been initialised.
void initRecursionClasses();

// Reads a scene file, references its root and prepares it with the set-up
// traversal. Returns NULL, after a report on standard error, when the file
// cannot be opened or read, or when it holds a reference cycle that passes
// through no recursion separator (such a scene cannot be traversed), or fails
// SceneFileCheck.
SoSeparator *loadRecursionFile(const char *fileName);

// Releases a root returned by loadRecursionFile: the tear-down traversal
// breaks its cycles, then the reference is dropped.
void releaseRecursionScene(SoSeparator *root);

#endif
