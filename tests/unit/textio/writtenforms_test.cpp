// The written forms: decimal integers and the fixed-point elapsed seconds.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "../../../src/textio/textchannel.hpp"
#include "../support.hpp"

namespace {

// Collects what a Put operation writes, through a channel on a disk file.
template <typename Put>
std::string Written(Put&& put) {
  support::ResetProgram();
  TextChannel file;
  BindName(file, "forms.txt");
  OpenForWrite(file);
  put(file);
  CloseChannel(file);
  EXPECT_EQ(PendingIoError, 0);
  return fake::Files()["forms.txt"].bytes;
}

// Powers of ten and their neighbours, both signs, and the extremes.
std::vector<std::int64_t> IntegerSamples() {
  std::vector<std::int64_t> values = {std::numeric_limits<std::int64_t>::min(),
                                      std::numeric_limits<std::int64_t>::max(),
                                      std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max(),
                                      4294967295,
                                      4294967296};
  // 10^18 is the last power that fits: the loop stops before multiplying past it.
  for (std::int64_t power = 1;; power *= 10) {
    for (std::int64_t v : {power - 1, power, power + 1, 5 * power}) {
      values.push_back(v);
      values.push_back(-v);
    }
    if (power == 1'000'000'000'000'000'000) break;
  }
  return values;
}

}  // namespace

TEST(PutInt, Int32AndInt64WriteBareDecimalDigits) {
  struct Case {
    std::int64_t value;
    const char* text;
  };
  const Case cases32[] = {{0, "0"},
                          {7, "7"},
                          {-1, "-1"},
                          {10, "10"},
                          {-86399510, "-86399510"},
                          {INT32_MIN, "-2147483648"},
                          {INT32_MAX, "2147483647"}};
  for (const Case& c : cases32) {
    EXPECT_EQ(Written([&](TextChannel& f) { PutInt32(f, static_cast<std::int32_t>(c.value)); }),
              c.text);
  }
  const Case cases64[] = {{4294967295, "4294967295"},
                          {0, "0"},
                          {INT64_MIN, "-9223372036854775808"},
                          {INT64_MAX, "9223372036854775807"}};
  for (const Case& c : cases64) {
    EXPECT_EQ(Written([&](TextChannel& f) { PutInt64(f, c.value); }), c.text);
  }
}

TEST(PutInt, AgreesWithTheStandardLibraryAcrossTheRange) {
  std::string expected;
  std::string expected32;
  const std::vector<std::int64_t> values = IntegerSamples();
  for (std::int64_t v : values) {
    expected += std::to_string(v) + ",";
    if (v >= INT32_MIN && v <= INT32_MAX) expected32 += std::to_string(v) + ",";
  }
  EXPECT_EQ(Written([&](TextChannel& f) {
              for (std::int64_t v : values) {
                PutInt64(f, v);
                PutByte(f, ',');
              }
            }),
            expected);
  EXPECT_EQ(Written([&](TextChannel& f) {
              for (std::int64_t v : values) {
                if (v < INT32_MIN || v > INT32_MAX) continue;
                PutInt32(f, static_cast<std::int32_t>(v));
                PutByte(f, ',');
              }
            }),
            expected32);
}

// Numbers of every length at every place in the buffer: the digits are
// stored eight at a time, so the last bytes before a full buffer and a
// number split across two blocks are where a fault would show.
TEST(PutInt, EveryLengthAtEveryBufferPositionGivesTheDigitsAndWholeBlocks) {
  std::vector<std::uint32_t> values = {0, 4294967295};
  for (std::uint32_t power = 10; power <= 1'000'000'000; power *= 10) {
    values.push_back(power - 1);
    values.push_back(power);
    if (power == 1'000'000'000) break;
  }
  for (std::uint32_t lead = 0; lead < ChannelBufferSize; ++lead) {
    std::string expected(lead, '.');
    for (std::uint32_t v : values) expected += std::to_string(v) + "\r\n";
    const std::string written = Written([&](TextChannel& f) {
      PutText(f, std::string(lead, '.'));
      for (std::uint32_t v : values) {
        PutInt64(f, v);
        PutLineEnd(f);
      }
    });
    ASSERT_EQ(written, expected) << "after " << lead << " bytes";
    const std::vector<std::uint32_t>& sizes = fake::Files()["forms.txt"].writeSizes;
    for (std::size_t k = 0; k + 1 < sizes.size(); ++k) ASSERT_EQ(sizes[k], ChannelBufferSize);
  }
}

// Every 32-bit value in steps of a prime near 10,000, against the standard
// library (the formatter was checked for all 2^32 values when written).
TEST(PutInt, AgreesWithTheStandardLibraryAcrossAllOf32Bits) {
  std::string expected;
  std::vector<std::uint32_t> values;
  for (std::uint64_t v = 0; v <= 0xFFFFFFFF; v += 9973)
    values.push_back(static_cast<std::uint32_t>(v));
  for (std::uint32_t v : values) expected += std::to_string(v) + "\r\n";
  EXPECT_EQ(Written([&](TextChannel& f) {
              for (std::uint32_t v : values) {
                PutInt64(f, v);
                PutLineEnd(f);
              }
            }),
            expected);
}

TEST(PutFixed, WidthTenThreeDecimalsRightAlignedAndRounded) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.0, "     0.000"},
      {1.234, "     1.234"},     // 1234 ms
      {-86398.5, "-86398.500"},  // across midnight: fills the width exactly
      {-86399.999, "-86399.999"},
      {86399.999, " 86399.999"},
      {-123456.789, "-123456.789"},  // 11 characters: written whole, no blank
      {1e9, "1000000000.000"},
      {0.5, "     0.500"},
      {-0.001, "    -0.001"},
      {-0.0001, "    -0.000"},  // negative: the sign stays when every digit is 0
      {0.0004, "     0.000"},
      {0.0005, "     0.001"},
      {0.99951, "     1.000"},   // the carry reaches the integer digit
      {999.9996, "  1000.000"},  // and adds one
      {-9.9996, "   -10.000"},
      {12.3454, "    12.345"},
      {12.3456, "    12.346"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Written([&](TextChannel& f) { PutFixed(f, c.value, 10, 3); }), c.text)
        << "value " << c.value;
  }
}

// The program's one use: a whole number of milliseconds over 1000, any
// difference of two times of day. The text is the exact decimal value.
TEST(PutFixed, EveryDifferenceOfTwoTimesOfDayIsWrittenExactly) {
  std::vector<std::int32_t> samples;
  for (std::int32_t ms = -3000; ms <= 3000; ++ms) samples.push_back(ms);
  for (std::int32_t ms = -86399999; ms <= 86399999; ms += 9973) samples.push_back(ms);
  for (std::int32_t ms : {-86399999, 86399999, -86398500, -86398000, 45296789})
    samples.push_back(ms);

  std::string expected;
  for (std::int32_t ms : samples) {
    const std::int64_t magnitude = ms < 0 ? -static_cast<std::int64_t>(ms) : ms;
    std::string fraction = std::to_string(magnitude % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    std::string text(ms < 0 ? "-" : "");
    text += std::to_string(magnitude / 1000) + "." + fraction;
    text.insert(0, text.size() < 10 ? 10 - text.size() : 0, ' ');
    expected += text + "|";
  }
  EXPECT_EQ(Written([&](TextChannel& f) {
              for (std::int32_t ms : samples) {
                PutFixed(f, ms / 1000.0, 10, 3);
                PutByte(f, '|');
              }
            }),
            expected);
}
