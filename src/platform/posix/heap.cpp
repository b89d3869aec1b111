// Heap on POSIX: the C library's allocator.
#include "../platform.hpp"

#include <cstdlib>

namespace platform {

void* Allocate(std::size_t bytes) { return std::malloc(bytes); }
void Release(void* block) { std::free(block); }

}  // namespace platform
