// Defines two options that share a long name or, with DUPLICATE_SHORT_NAME,
// a short name. The second registration ends the process before main runs.

#include "option.h"

#include <cstdio>

static OptionString optFile("file", "f");
#ifdef DUPLICATE_SHORT_NAME
static OptionFlag optOther("fast", "f");
#else
static OptionFlag optOther("file", "x");
#endif

int main() {
    printf("both options registered\n");
    return 0;
}
