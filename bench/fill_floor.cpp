// The floor of the fill: a block of the bitmap's size from the same heap,
// set to all ones by the plain loop. Prints the milliseconds of the fill.
//
//   pellarn_bench_fill_floor BYTES
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "../src/platform/platform.hpp"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::uint64_t bytes = std::strtoull(argv[1], nullptr, 10);
  const std::uint64_t words = bytes / 4;

  auto* block = static_cast<std::uint32_t*>(platform::Allocate(bytes));
  if (block == nullptr) return 1;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint64_t k = 0; k < words; ++k) block[k] = 0xFFFFFFFF;
  const auto end = std::chrono::steady_clock::now();

  // Reading a word back keeps the stores from being dropped as dead.
  std::printf("fill_ms %.3f check %08x\n",
              std::chrono::duration<double, std::milli>(end - start).count(),
              static_cast<unsigned>(block[words / 2]));
  platform::Release(block);
  return 0;
}
