#include "ConsistencyCheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Only the file's own name is worth showing; the build directory is noise.
static const char *baseName(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void reportFailedCheck(const char *condition, const char *file, int line, const std::string &detail) {
    fprintf(stderr, "Tessvane: check failed: %s (%s:%d): %s\n", condition, baseName(file), line,
            detail.c_str());
    fflush(stderr);
}

void reportFatalCheck(const char *condition, const char *file, int line, const std::string &detail) {
    reportFailedCheck(condition, file, line, detail);
    abort();
}
