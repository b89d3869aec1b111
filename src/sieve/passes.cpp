// The four steps of the sieve. Their shape is what the run's checkpoints
// measure, so each is the plain loop: no segmenting, no pre-sieving, no
// skipped candidates, primes written as they are found. The strike loops
// are unrolled four times (GCC unroll): the same strikes in the same order,
// with a quarter of the loop's own compares and jumps.
#include "oddbitmap.hpp"

#include <algorithm>

#include "../build/build.hpp"

namespace {

// From PrefetchFrom on, each strike of a prime lands on a cache line of its
// own (a step of 2i moves i / 8 bytes), and the hardware does not follow
// such a stride across page boundaries. Asking for the line PrefetchStrikes
// strikes ahead keeps that many fetches in flight; the strikes are the same.
constexpr std::uint32_t PrefetchFrom = 512;
constexpr std::uint32_t PrefetchStrikes = 64;

void WritePrime(TextChannel& primeFile, std::uint32_t prime) {
  PutInt64(primeFile, prime);
  PutLineEnd(primeFile);
  CheckIo();
}

}  // namespace

void FillOddBitmap() {
  std::uint32_t* const words = OddBitmap;
  // The whole block of the build, whatever the limit.
  for (std::uint32_t k = 0; k <= BitmapWords - 1; ++k) words[k] = 0xFFFFFFFF;
}

// 9, 15, 21, ...: the odd multiples of 3 from 3 * 3 on, with no test.
void StrikeMultiplesOf3(std::uint32_t limitCount) {
  std::uint32_t* const words = OddBitmap;
#pragma GCC unroll 4
  for (std::uint32_t c = 9; c <= limitCount; c += 6) words[c >> 6] &= Dm[(c >> 1) & 31];
}

// Every odd candidate from 5 to SieveBound is tested, multiples of 3
// included. A prime i strikes 3i, 5i, 7i, ... (step 2i: only odd multiples
// have bits), from 3i rather than i * i, so smaller multiples are struck
// again. SieveBound suffices: an odd composite c <= LimitCount has an odd
// prime factor p with p * p <= c.
std::uint32_t CrossOut(TextChannel& primeFile, std::uint32_t limitCount) {
  std::uint32_t* const words = OddBitmap;
  const std::uint32_t bound = SieveBound;
  std::uint32_t i = 5;
  for (; i <= bound; i += 2) {
    if ((words[i >> 6] & Dmx[(i >> 1) & 31]) == 0) continue;
    WritePrime(primeFile, i);
    const std::uint32_t s = 2 * i;
    if (i < PrefetchFrom) {
#pragma GCC unroll 4
      for (std::uint32_t c = s + i; c <= limitCount; c += s) words[c >> 6] &= Dm[(c >> 1) & 31];
    } else {
      // No overflow: c + ahead stays below MaxLimit + 2^23.
      const std::uint32_t ahead = PrefetchStrikes * s;
#pragma GCC unroll 4
      for (std::uint32_t c = s + i; c <= limitCount; c += s) {
        __builtin_prefetch(words + (std::min(c + ahead, limitCount) >> 6), 1);
        words[c >> 6] &= Dm[(c >> 1) & 31];
      }
    }
  }
  return i;
}

// Above SieveBound nothing is struck: every bit still set is a prime.
void ScanTail(TextChannel& primeFile, std::uint32_t firstCandidate, std::uint32_t limitCount) {
  const std::uint32_t* const words = OddBitmap;
  for (std::uint32_t i = firstCandidate; i <= limitCount; i += 2) {
    if ((words[i >> 6] & Dmx[(i >> 1) & 31]) != 0) WritePrime(primeFile, i);
  }
}
