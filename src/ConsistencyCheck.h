#ifndef TESSVANE_CONSISTENCY_CHECK_H
#define TESSVANE_CONSISTENCY_CHECK_H

// Reporting of failed consistency checks. Every check has a fixed condition
// text; a failure is written to standard error with that text, the source file
// and line holding the check, and a detail that tells the scene author what
// went wrong (the expression, the variable name).
//
//   "Tessvane: check failed: <condition> (<file>:<line>): <detail>"

#include <string>

void reportFailedCheck(const char *condition, const char *file, int line, const std::string &detail);

// A check that only a wrong call inside the program can fail: the report is
// followed by the end of the process.
void reportFatalCheck(const char *condition, const char *file, int line, const std::string &detail);

// Report the failed condition `cond` at this source line.
#define RECURSION_REPORT(cond, detail) reportFailedCheck(#cond, __FILE__, __LINE__, (detail))

// Stop the program when an internal condition does not hold.
#define RECURSION_ASSERT(cond)                                                                     \
    do {                                                                                           \
        if (!(cond))                                                                               \
            reportFatalCheck(#cond, __FILE__, __LINE__, std::string("internal error"));               \
    } while (0)

#endif
