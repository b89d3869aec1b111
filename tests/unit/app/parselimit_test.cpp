// The limit text: what ParseLimit accepts and the LimitCount that Setup
// makes of it (the low 32 bits, or 1000 for a text that is not valid).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "../../../src/app/run.hpp"
#include "../../../src/build/build.hpp"
#include "../support.hpp"

namespace {

struct LimitCase {
  std::string text;
  std::optional<std::int64_t> value;  // nullopt: not valid
  std::uint32_t limitCount;
};

const std::string FullWidth250 = "\x82\x51\x82\x54\x82\x4F";  // ２５０

const LimitCase LimitCases[] = {
    {"", std::nullopt, 1000},
    {" ", std::nullopt, 1000},
    {"    ", std::nullopt, 1000},
    {"  250", 250, 250},
    {"250 ", std::nullopt, 1000},
    {"\t250", std::nullopt, 1000},
    {"+250", 250, 250},
    {"0250", 250, 250},
    {"0", 0, 0},
    {"-0", 0, 0},
    {"0x0", 0, 0},
    {"$FF", 255, 255},
    {"$ff", 255, 255},
    {"0xff", 255, 255},
    {"0XFF", 255, 255},
    {"$", std::nullopt, 1000},
    {"0x", std::nullopt, 1000},
    {"+", std::nullopt, 1000},
    {"-", std::nullopt, 1000},
    {"- 5", std::nullopt, 1000},
    {"1e3", std::nullopt, 1000},
    {"1,000", std::nullopt, 1000},
    {"10.5", std::nullopt, 1000},
    {FullWidth250, std::nullopt, 1000},
    {"-1", -1, 4294967295u},
    {"-$10", -16, 4294967280u},
    {"4294967296", 4294967296, 0},
    {"4294967297", 4294967297, 1},
    {"-4294967295", -4294967295, 1},
    {"9999999999", 9999999999, 1410065407},
    {"9223372036854775807", INT64_MAX, 4294967295u},
    {"$7FFFFFFFFFFFFFFF", INT64_MAX, 4294967295u},
    {"9223372036854775808", std::nullopt, 1000},
    {"99999999999999999999", std::nullopt, 1000},
    {"-9223372036854775808", INT64_MIN, 0},
    {"$8000000000000000", std::nullopt, 1000},
    {"100000000", 100'000'000, 100'000'000},  // MaxLimit of the linked build
    {"100000001", 100'000'001, 100'000'001},
    // Neighbours of the rules above.
    {"-9223372036854775809", std::nullopt, 1000},
    {"-$7FFFFFFFFFFFFFFF", -INT64_MAX, 1},
    {"-$8000000000000000", std::nullopt, 1000},
    {"00000000000000000000000000250", 250, 250},
    {"$00000000000000000007FFFFFFFFFFFFFFF", INT64_MAX, 4294967295u},
    {"0x7fffffffffffffff", INT64_MAX, 4294967295u},
    {"$aBc", 0xABC, 0xABC},
    {"$G", std::nullopt, 1000},
    {"0xG", std::nullopt, 1000},
    {"$-1", std::nullopt, 1000},
    {"0$1", std::nullopt, 1000},
    {"00x1", std::nullopt, 1000},
    {"0x$1", std::nullopt, 1000},
    {"12a", std::nullopt, 1000},
    {"ff", std::nullopt, 1000},
    {"--1", std::nullopt, 1000},
    {"+-1", std::nullopt, 1000},
    {" +  1", std::nullopt, 1000},
    {"  -250", -250, 4294967046u},
    {"1 0", std::nullopt, 1000},
    {"1\r", std::nullopt, 1000},
    {std::string("1\0", 2), std::nullopt, 1000},
    {"$ 1", std::nullopt, 1000},
    {"x10", std::nullopt, 1000},
};

}  // namespace

TEST(ParseLimit, LimitTextsAndTheLimitCountSetupMakesOfThem) {
  for (const LimitCase& c : LimitCases) {
    support::ResetProgram();
    SCOPED_TRACE(::testing::PrintToString(c.text));
    const ParsedLimit parsed = ParseLimit(c.text);
    EXPECT_EQ(parsed.valid, c.value.has_value());
    if (c.value.has_value()) {
      EXPECT_EQ(parsed.value, *c.value);
    }

    fake::SetArguments({"p.txt", c.text});
    const std::optional<int> exit = support::RunToExit([] { ::Setup(); });
    EXPECT_EQ(LimitCount, c.limitCount);
    // Above MaxLimit the run is refused with exit code 1; otherwise Setup returns.
    EXPECT_EQ(exit, c.limitCount > 100'000'000 ? std::optional<int>(1) : std::nullopt);
  }
}
