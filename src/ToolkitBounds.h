#ifndef TESSVANE_TOOLKIT_BOUNDS_H
#define TESSVANE_TOOLKIT_BOUNDS_H

// Checks on values from scene files that the toolkit would use unchecked
// (see ToolkitBounds.cpp): the runtime replaces some of the toolkit's
// functions, and a program linking the runtime exports the replacements so
// that the toolkit's own calls reach them.
class ToolkitBounds {
public:
    // TRUE when every replacement is the definition the toolkit's calls
    // reach: FALSE for a program that does not export them.
    static bool inForce();
};

#endif
