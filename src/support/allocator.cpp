// The general allocator's entry points under the names the game object module links against.
#include <cstdlib>

extern "C" {
__attribute__((visibility("default"))) void *dlmalloc(size_t n) { return std::malloc(n); }
__attribute__((visibility("default"))) void dlfree(void *p) { std::free(p); }
__attribute__((visibility("default"))) void *dlrealloc(void *p, size_t n) { return std::realloc(p, n); }
}
