// The crossing-out pass as the plain loop: the same fill, multiples of 3 and
// strikes as the program, on a block from std::malloc, with no writing.
// Prints the milliseconds of the crossing-out pass alone, which stands
// beside the program's EndOfSearch - EndOf3.
//
//   pellarn_bench_plain_crossout LIMIT
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

std::uint32_t Dm[32];
std::uint32_t Dmx[32];

std::uint32_t CeilSqrt(std::uint32_t n) {
  std::uint32_t m = 1, d = 1, r = n;
  while (d < r) {
    r -= d;
    d += 2;
    ++m;
  }
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const auto limit = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
  for (std::uint32_t i = 0; i < 32; ++i) {
    Dmx[i] = std::uint32_t{1} << i;
    Dm[i] = ~Dmx[i];
  }
  const std::uint32_t wordCount = limit / 64 + 1;
  auto* words = static_cast<std::uint32_t*>(std::malloc(std::size_t{wordCount} * 4));
  if (words == nullptr) return 1;

  for (std::uint32_t k = 0; k < wordCount; ++k) words[k] = 0xFFFFFFFF;
  for (std::uint32_t c = 9; c <= limit; c += 6) words[c >> 6] &= Dm[(c >> 1) & 31];

  const std::uint32_t bound = CeilSqrt(limit);
  std::uint32_t primes = 0;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint32_t i = 5; i <= bound; i += 2) {
    if ((words[i >> 6] & Dmx[(i >> 1) & 31]) == 0) continue;
    ++primes;
    const std::uint32_t s = 2 * i;
    for (std::uint32_t c = s + i; c <= limit; c += s) words[c >> 6] &= Dm[(c >> 1) & 31];
  }
  const auto end = std::chrono::steady_clock::now();

  std::printf("crossout_ms %.3f primes %u\n",
              std::chrono::duration<double, std::milli>(end - start).count(),
              static_cast<unsigned>(primes));
  std::free(words);
  return 0;
}
