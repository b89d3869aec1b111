// Heap on Win32: the process heap, without the C runtime in between.
#include "../platform.hpp"

#include <windows.h>

namespace platform {

void* Allocate(std::size_t bytes) { return HeapAlloc(GetProcessHeap(), 0, bytes); }

void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace platform
