#include "fuzzcheck.h"

#include <cstdio>
#include <cstdlib>

void failFuzzCheck(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: broken guarantee: %s\n", file, line, condition);
    std::abort();
}
