// The bitmap's primitives: CeilSqrt, the mask tables, the bit-number
// operations and the odd-number addressing the passes use.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "../../../src/build/build.hpp"
#include "../../../src/sieve/oddbitmap.hpp"
#include "../support.hpp"

namespace {

// The smallest m >= 1 with m * m >= n, in 64-bit arithmetic.
std::uint32_t SmallestRootAtLeast(std::uint64_t n) {
  std::uint64_t m = 1;
  while (m * m < n) ++m;
  return static_cast<std::uint32_t>(m);
}

// A block of the build's full size, as the run allocates it.
std::uint32_t* AllocateBitmap() {
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(BitmapBytes));
  return OddBitmap;
}

bool BitOfOdd(std::uint32_t n) {
  // Each word covers 64 consecutive integers; its bit j is 64k + 2j + 1.
  return (OddBitmap[n / 64] >> ((n % 64) / 2)) & 1;
}

}  // namespace

TEST(CeilSqrt, SmallestRootWhoseSquareReachesN) {
  struct Case {
    std::uint32_t n, root;
  };
  const Case cases[] = {{0, 1},
                        {1, 1},
                        {2, 2},
                        {3, 2},
                        {4, 2},
                        {5, 3},
                        {9, 3},
                        {10, 4},
                        {16, 4},
                        {17, 5},
                        {25, 5},
                        {26, 6},
                        {36, 6},
                        {100, 10},
                        {1000, 32},
                        {1'000'000, 1000},
                        {100'000'000, 10'000},
                        {500'000'000, 22'361},
                        {1'000'000'000, 31'623},
                        {1'500'000'000, 38'730},
                        {4'294'836'225u, 65'535},
                        {4'294'836'226u, 65'536},
                        {4'294'967'295u, 65'536}};
  for (const Case& c : cases) EXPECT_EQ(CeilSqrt(c.n), c.root) << "n = " << c.n;
}

TEST(CeilSqrt, AgreesWithAPlainSearchOnEveryLimitUpTo100000AndAroundSquares) {
  std::uint32_t root = 1;
  for (std::uint32_t n = 0; n <= 100'000; ++n) {
    while (static_cast<std::uint64_t>(root) * root < n) ++root;
    ASSERT_EQ(CeilSqrt(n), root) << "n = " << n;
  }
  for (std::uint64_t k = 317; k <= 65'535; k += 1009) {
    for (std::uint64_t n : {k * k - 1, k * k, k * k + 1}) {
      ASSERT_EQ(CeilSqrt(static_cast<std::uint32_t>(n)), SmallestRootAtLeast(n)) << "n = " << n;
    }
  }
}

TEST(MaskTables, DmClearsOneBitAndDmxIsItsComplementOnceFilled) {
  FillDmx();
  for (int i = 0; i < 32; ++i) {
    SCOPED_TRACE(i);
    const std::uint32_t bit = std::uint32_t{1} << i;
    EXPECT_EQ(Dm[i], ~bit);
    EXPECT_EQ(Dmx[i], bit);
    EXPECT_EQ(Dm[i] | Dmx[i], 0xFFFFFFFFu);
    EXPECT_EQ(Dm[i] & Dmx[i], 0u);
  }
  EXPECT_EQ(Dm[0], 0xFFFFFFFEu);
  EXPECT_EQ(Dm[31], 0x7FFFFFFFu);
  EXPECT_EQ(Dmx[31], 0x80000000u);
}

TEST(BitNumbers, SetBitAndClearBitTouchOnlyTheirBit) {
  FillDmx();
  const std::uint32_t patterns[] = {0x00000000, 0xFFFFFFFF, 0xA5A5A5A5, 0x0F0F00FF};
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(4 * sizeof(std::uint32_t)));
  for (std::uint32_t pattern : patterns) {
    for (std::uint32_t b = 0; b < 128; ++b) {
      for (bool set : {true, false}) {
        for (int k = 0; k < 4; ++k) OddBitmap[k] = pattern ^ (0x01010101u * k);
        std::uint32_t expected[4];
        for (int k = 0; k < 4; ++k) expected[k] = OddBitmap[k];
        const std::uint32_t bit = std::uint32_t{1} << (b % 32);
        expected[b / 32] = set ? expected[b / 32] | bit : expected[b / 32] & ~bit;
        if (set) {
          SetBit(b);
        } else {
          ClearBit(b);
        }
        for (int k = 0; k < 4; ++k)
          ASSERT_EQ(OddBitmap[k], expected[k]) << (set ? "SetBit(" : "ClearBit(") << b << ")";
      }
    }
  }
}

TEST(BitNumbers, Bit32IsTheOddNumber65AndBit63The127) {
  FillDmx();
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(4 * sizeof(std::uint32_t)));
  OddBitmap[0] = OddBitmap[1] = OddBitmap[2] = 0;
  SetBit(32);
  EXPECT_TRUE(BitOfOdd(65));
  EXPECT_EQ(OddBitmap[1], 1u);
  OddBitmap[1] = 0xFFFFFFFF;
  ClearBit(63);
  EXPECT_FALSE(BitOfOdd(127));
  EXPECT_EQ(OddBitmap[1], 0x7FFFFFFFu);
  EXPECT_EQ(OddBitmap[0], 0u);
  EXPECT_EQ(OddBitmap[2], 0u);
}

TEST(Fill, SetsEveryWordOfTheBuildsBlock) {
  std::uint32_t* words = AllocateBitmap();
  for (std::uint32_t k = 0; k < BitmapWords; ++k) words[k] = k;
  FillOddBitmap();
  for (std::uint32_t k = 0; k < BitmapWords; ++k) ASSERT_EQ(words[k], 0xFFFFFFFFu) << "word " << k;
}

// The pass of its own for 3: it strikes 9, 15, 21, ... up to the limit, the
// limit itself included, and leaves 3 and every other odd number alone.
TEST(MultiplesOf3Pass, StrikesExactlyTheOddMultiplesFrom9UpToTheLimit) {
  FillDmx();
  AllocateBitmap();
  for (std::uint32_t limit : {0u, 8u, 9u, 14u, 15u, 16u, 1000u, 1001u}) {
    FillOddBitmap();
    StrikeMultiplesOf3(limit);
    for (std::uint32_t n = 1; n <= 1100; n += 2) {
      const bool struck = n >= 9 && n % 3 == 0 && n <= limit;
      ASSERT_EQ(BitOfOdd(n), !struck) << "limit " << limit << ", n " << n;
    }
  }
}

TEST(MultiplesOf3Pass, ReachesTheLastOddNumberOfTheBuild) {
  FillDmx();
  AllocateBitmap();
  FillOddBitmap();
  StrikeMultiplesOf3(MaxLimit);
  // MaxLimit - 1, the largest odd number of the build, is bit 31 of the last word but one.
  std::uint32_t expected = 0;
  for (std::uint32_t j = 0; j < 32; ++j) {
    const std::uint32_t n = 64 * (BitmapWords - 2) + 2 * j + 1;
    if (n % 3 != 0) expected |= std::uint32_t{1} << j;
  }
  EXPECT_EQ(MaxLimit - 1, 64 * (BitmapWords - 2) + 63);
  EXPECT_EQ(OddBitmap[BitmapWords - 2], expected);
  EXPECT_EQ(OddBitmap[BitmapWords - 1], 0xFFFFFFFFu) << "the spare word is never addressed";
}
