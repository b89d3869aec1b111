// The constants that tell the four builds apart. Each program links exactly
// one of the pellarn-N.cpp files beside this header.
#pragma once

#include <cstdint>
#include <string_view>

extern const std::uint32_t MaxLimit;
extern const std::uint32_t BitmapWords;
extern const std::uint32_t BitmapBytes;
extern const std::string_view Subtitle;

// One bit per odd number up to MaxLimit, in 32-bit words, plus one spare word.
constexpr std::uint32_t BitmapWordsFor(std::uint32_t maxLimit) { return maxLimit / 64 + 1; }
constexpr std::uint32_t BitmapBytesFor(std::uint32_t maxLimit) { return maxLimit / 16 + 4; }

// What every build's MaxLimit must satisfy for the sieve to stay in bounds.
#define PELLARN_CHECK_BUILD(maxLimit)                                                   \
  static_assert((maxLimit) % 64 == 0,                                                   \
                "MaxLimit must be a multiple of 64, or the last odd number's word "     \
                "would lie past the bitmap");                                           \
  static_assert(BitmapBytesFor(maxLimit) == 4 * BitmapWordsFor(maxLimit),               \
                "BitmapBytes must be 4 * BitmapWords: the block is allocated by bytes " \
                "and filled by words");                                                 \
  static_assert((maxLimit) < 0x80000000u - 2 * 65536u,                                  \
                "the sieve's working values (up to MaxLimit + 2 * CeilSqrt) must stay " \
                "below 2^31")
