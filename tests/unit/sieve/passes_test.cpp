// The sieve passes and the prime list file they write, checked against
// trial division.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../../src/app/run.hpp"
#include "../../../src/build/build.hpp"
#include "../../../src/sieve/oddbitmap.hpp"
#include "../support.hpp"

using support::Lines;
using support::PrimesUpTo;

namespace {

// "2" and "3" whatever the limit, then the primes from 5 up to it.
std::string ExpectedList(std::uint32_t limit) {
  std::vector<std::uint32_t> numbers = {2, 3};
  for (std::uint32_t p : PrimesUpTo(limit))
    if (p >= 5) numbers.push_back(p);
  return Lines(numbers);
}

std::string RunAndReadList(std::uint32_t limit) {
  support::ResetProgram();
  fake::SetArguments({"primes.txt", std::to_string(limit)});
  EXPECT_EQ(support::RunProgram(), 0) << "limit " << limit;
  return fake::Files()["primes.txt"].bytes;
}

}  // namespace

TEST(PrimeList, EveryLimitUpTo130AndAt1000HoldsTwoThreeAndThePrimesUpToIt) {
  std::vector<std::uint32_t> limits;
  for (std::uint32_t limit = 0; limit <= 130; ++limit) limits.push_back(limit);
  limits.push_back(1000);
  for (std::uint32_t limit : limits) {
    ASSERT_EQ(RunAndReadList(limit), ExpectedList(limit)) << "limit " << limit;
  }
}

TEST(PrimeList, SizesOfTheFileForPowersOfTen) {
  struct Case {
    std::uint32_t limit, lines, last, bytes;
  };
  const Case cases[] = {{4, 2, 3, 6},
                        {100, 25, 97, 96},
                        {1000, 168, 997, 811},
                        {10'000, 1229, 9973, 7177},
                        {100'000, 9592, 99991, 65'718},
                        {1'000'000, 78'498, 999'983, 616'966}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    const std::string list = RunAndReadList(c.limit);
    EXPECT_EQ(list.size(), c.bytes);
    EXPECT_EQ(static_cast<std::uint32_t>(std::count(list.begin(), list.end(), '\n')), c.lines);
    EXPECT_TRUE(list.ends_with("\r\n" + std::to_string(c.last) + "\r\n"));
    EXPECT_EQ(list, ExpectedList(c.limit));
  }
}

TEST(PrimeList, DiskFileReceivesWritesOf128BytesAndOneShorterAtTheClose) {
  const std::string list = RunAndReadList(100'000);
  const std::vector<std::uint32_t>& sizes = fake::Files()["primes.txt"].writeSizes;
  ASSERT_EQ(sizes.size(), (list.size() + 127) / 128);
  for (std::size_t k = 0; k + 1 < sizes.size(); ++k) ASSERT_EQ(sizes[k], 128u) << "write " << k;
  EXPECT_EQ(sizes.back(), list.size() % 128);
}

TEST(PrimeList, CharDeviceGetsEveryLineAsAWriteOfItsOwn) {
  fake::CreateAs("device", platform::FileKind::CharDevice);
  fake::SetArguments({"device", "100"});
  ASSERT_EQ(support::RunProgram(), 0);
  std::vector<std::string> expected = {"2\r\n", "3\r\n"};
  for (std::uint32_t p : PrimesUpTo(100))
    if (p >= 5) expected.push_back(std::to_string(p) + "\r\n");
  EXPECT_EQ(support::Writes(fake::Files()["device"]), expected);
}

TEST(PrimeList, FailedWriteKeepsTheBlocksWrittenBeforeAndEndsWithTheReport) {
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  fake::Files()["primes.txt"].failWriteAt = 3;
  fake::Files()["primes.txt"].writeError = 112;
  fake::SetArguments({"primes.txt", "10000"});
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_EQ(fake::Files()["primes.txt"].bytes, ExpectedList(10000).substr(0, 3 * 128));
  const std::string before =
      support::ToCp932("ザンテロ・バージョン５(１億未満最適化)(10000)\r\n  開始 3723004\r\n");
  EXPECT_TRUE(
      support::IsBeforeThenReport(support::Out(), before, "EInOutError", "I/O エラー (112)."));
}

// Which pass writes which prime, and where the tail scan takes over.
TEST(SievePasses, CrossingOutWritesUpToSieveBoundAndTheTailScanTheRest) {
  struct Case {
    std::uint32_t limit, sieveBound;
    std::vector<std::uint32_t> crossedOut;
    std::uint32_t tailStart;
  };
  const Case cases[] = {
      {0, 1, {}, 5},
      {1, 1, {}, 5},
      {2, 2, {}, 5},
      {4, 2, {}, 5},
      {5, 3, {}, 5},
      {9, 3, {}, 5},
      {10, 4, {}, 5},
      {16, 4, {}, 5},
      {17, 5, {5}, 7},
      {25, 5, {5}, 7},
      {26, 6, {5}, 7},
      {37, 7, {5, 7}, 9},
      {49, 7, {5, 7}, 9},
      {65, 9, {5, 7}, 11},
      {100, 10, {5, 7}, 11},
      {121, 11, {5, 7, 11}, 13},
      {1000, 32, {5, 7, 11, 13, 17, 19, 23, 29, 31}, 33},
  };
  FillDmx();
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(BitmapBytes));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    fake::Files().clear();
    SieveBound = CeilSqrt(c.limit);
    EXPECT_EQ(SieveBound, c.sieveBound);
    TextChannel file;
    BindName(file, "passes.txt");
    OpenForWrite(file);
    FillOddBitmap();
    StrikeMultiplesOf3(c.limit);
    const std::uint32_t stoppedAt = CrossOut(file, c.limit);
    CloseChannel(file);
    EXPECT_EQ(fake::Files()["passes.txt"].bytes, Lines(c.crossedOut));
    EXPECT_EQ(stoppedAt, c.tailStart);

    BindName(file, "tail.txt");
    OpenForWrite(file);
    ScanTail(file, stoppedAt, c.limit);
    CloseChannel(file);
    std::vector<std::uint32_t> rest;
    for (std::uint32_t p : PrimesUpTo(c.limit))
      if (p >= c.tailStart) rest.push_back(p);
    EXPECT_EQ(fake::Files()["tail.txt"].bytes, Lines(rest));
    EXPECT_EQ(PendingIoError, 0);
  }
}
