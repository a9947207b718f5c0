// Fuzz target: expression rewriting and engine construction on arbitrary
// text. The text becomes the expression of a recursion calculator and of a
// recursion switch; the set-up traversal rewrites both and builds their
// engines, each engine is evaluated once, and the tear-down gives the
// registrations back.

#include "Recursion.h"

#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoCube.h>
#include <Inventor/nodes/SoGroup.h>
#include <Inventor/nodes/SoSeparator.h>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    SoDB::init();
    initRecursionClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // A field holds a C string: the text ends at the first NUL byte.
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();

    SoSeparator *root = new SoSeparator;
    root->ref();
    RecursionCalculator *calculator = new RecursionCalculator;
    calculator->expression = text.c_str();
    RecursionSwitch *choice = new RecursionSwitch;
    choice->expression = text.c_str();
    choice->addChild(new SoGroup);
    choice->addChild(new SoCube);
    root->addChild(calculator);
    root->addChild(choice);

    static RecursionInitAction setUp;
    setUp.apply(root);
    int initialCount = RecursionElement::getCount();
    (void)calculator->value.getValue();
    (void)calculator->value3.getValue();
    (void)choice->whichChild.getValue();

    RecursionDoneAction tearDown;
    tearDown.apply(root);
    root->unref();
    // Every registration the set-up made is given back.
    if (RecursionElement::getCount() != 0 || initialCount > 1)
        abort();
    return 0;
}
