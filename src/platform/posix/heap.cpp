// Heap on POSIX: the C library's allocator. A block of huge-page size or
// more (the sieve's bitmap) starts on a huge-page boundary and asks for
// huge pages: the crossing-out pass strikes across the whole block, and in
// 4 KiB pages nearly every strike of a large prime lands on a page whose
// translation is no longer cached.
#include "../platform.hpp"

#include <sys/mman.h>
#include <cstdlib>

namespace platform {

namespace {
constexpr std::size_t HugePageSize = std::size_t{2} << 20;
}  // namespace

void* Allocate(std::size_t bytes) {
  if (bytes < HugePageSize) return std::malloc(bytes);
  void* block = nullptr;
  if (posix_memalign(&block, HugePageSize, bytes) != 0) return nullptr;
  // Advice only: without huge pages the block works the same in small ones.
  // The advice ends with the block, so its last partial huge page stays in
  // small pages and nothing beyond the block becomes resident.
  madvise(block, bytes, MADV_HUGEPAGE);
  return block;
}

void Release(void* block) { std::free(block); }

}  // namespace platform
