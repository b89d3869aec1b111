// The constants of the four builds. Each build's source is compiled here in
// a namespace of its own, so all four can be checked in one test binary
// beside the one build it links (pellarn-1).
#include <gtest/gtest.h>

#include "../../../src/build/build.hpp"
#include "../../../src/sieve/oddbitmap.hpp"
#include "../support.hpp"

namespace build1 {
#include "../../../src/build/pellarn-1.cpp"
}
namespace build5 {
#include "../../../src/build/pellarn-5.cpp"
}
namespace build10 {
#include "../../../src/build/pellarn-10.cpp"
}
namespace build15 {
#include "../../../src/build/pellarn-15.cpp"
}

namespace {

struct BuildCase {
  const char* name;
  std::uint32_t maxLimit, bitmapWords, bitmapBytes;
  std::string_view subtitle;
  const char* subtitleUtf8;
  std::uint32_t sieveBoundAtMaxLimit;
};

const BuildCase Builds[] = {
    {"pellarn-1", build1::MaxLimit, build1::BitmapWords, build1::BitmapBytes, build1::Subtitle,
     "(１億未満最適化)", 10'000},
    {"pellarn-5", build5::MaxLimit, build5::BitmapWords, build5::BitmapBytes, build5::Subtitle,
     "(５億未満最適化)", 22'361},
    {"pellarn-10", build10::MaxLimit, build10::BitmapWords, build10::BitmapBytes, build10::Subtitle,
     "(１０億未満最適化)", 31'623},
    {"pellarn-15", build15::MaxLimit, build15::BitmapWords, build15::BitmapBytes, build15::Subtitle,
     "(１５億未満最適化)", 38'730},
};

}  // namespace

TEST(Builds, ConstantsAndSubtitleOfEachBuild) {
  const std::uint32_t expected[][3] = {{100'000'000, 1'562'501, 6'250'004},
                                       {500'000'000, 7'812'501, 31'250'004},
                                       {1'000'000'000, 15'625'001, 62'500'004},
                                       {1'500'000'000, 23'437'501, 93'750'004}};
  for (std::size_t k = 0; k < std::size(Builds); ++k) {
    const BuildCase& b = Builds[k];
    SCOPED_TRACE(b.name);
    EXPECT_EQ(b.maxLimit, expected[k][0]);
    EXPECT_EQ(b.bitmapWords, expected[k][1]);
    EXPECT_EQ(b.bitmapBytes, expected[k][2]);
    EXPECT_EQ(support::FromCp932(b.subtitle), b.subtitleUtf8);
    EXPECT_EQ(CeilSqrt(b.maxLimit), b.sieveBoundAtMaxLimit);
    // The largest odd number a pass can address lies in the last word but one.
    EXPECT_EQ((b.maxLimit - 1) >> 6, b.bitmapWords - 2);
  }
}

TEST(Builds, UnitTestsLinkTheConstantsOfPellarn1) {
  EXPECT_EQ(MaxLimit, build1::MaxLimit);
  EXPECT_EQ(BitmapWords, build1::BitmapWords);
  EXPECT_EQ(BitmapBytes, build1::BitmapBytes);
  EXPECT_EQ(Subtitle, build1::Subtitle);
}
