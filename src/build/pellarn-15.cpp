// The constants of pellarn-15.
#include "build.hpp"

constexpr std::uint32_t MaxLimitOfThisBuild = 1'500'000'000;
PELLARN_CHECK_BUILD(MaxLimitOfThisBuild);

const std::uint32_t MaxLimit = MaxLimitOfThisBuild;
const std::uint32_t BitmapWords = BitmapWordsFor(MaxLimitOfThisBuild);
const std::uint32_t BitmapBytes = BitmapBytesFor(MaxLimitOfThisBuild);
const std::string_view Subtitle =
    "(\x82\x50\x82\x54\x89\xAD\x96\xA2\x96\x9E\x8D\xC5\x93\x4B\x89\xBB)";  // (１５億未満最適化)
