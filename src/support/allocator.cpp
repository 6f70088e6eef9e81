// The general allocator's entry points under the names the game object module links against.
#include <cstdlib>

#include "support/export.h"

extern "C" {
QM_EXPORT void *dlmalloc(size_t n) { return std::malloc(n); }
QM_EXPORT void dlfree(void *p) { std::free(p); }
QM_EXPORT void *dlrealloc(void *p, size_t n) { return std::realloc(p, n); }
}
