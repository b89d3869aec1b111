// The run sequence: the console lines of a complete run, their statements,
// a run across midnight, and a bitmap that cannot be allocated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../src/app/run.hpp"
#include "../../../src/build/build.hpp"
#include "../support.hpp"

using support::ToCp932;

namespace {

struct Clock {
  std::uint16_t hour, minute, second, millisecond;
  std::int32_t Ms() const { return ((hour * 60 + minute) * 60 + second) * 1000 + millisecond; }
};

void ScriptCheckpoints(const std::vector<Clock>& times) {
  std::vector<platform::LocalClockReading> readings;
  for (const Clock& t : times)
    readings.push_back({2026, 5, 17, t.hour, t.minute, t.second, t.millisecond});
  fake::ScriptClock(readings);
}

std::string Label(std::string name) {
  name.resize(13, ' ');
  return name + "= ";
}

// The statements of a complete run after Setup, from the banner to the last
// report line, built from the seven clock readings.
std::vector<std::string> ExpectedStatements(std::uint32_t limit, const std::vector<Clock>& times,
                                            const std::string& elapsed) {
  const char* names[] = {"StartOfProg", "EndOfMalloc", "EndOfInit", "EndOf3",
                         "EndOfSearch", "EndOfSave",   "EndOfProg"};
  std::vector<std::string> s = {
      ToCp932("ザンテロ・バージョン５(１億未満最適化)(") + std::to_string(limit) + ")\r\n",
      ToCp932("  開始 ") + std::to_string(times[0].Ms()) + "\r\n",
      ToCp932("  終了 ") + std::to_string(times[6].Ms()) + "\r\n",
      ToCp932("実行時間は"),
      elapsed,
      ToCp932(" 秒でした。\r\n"),
      "\r\n",
      "\r\n",
      Label(names[0]) + std::to_string(times[0].Ms()) + " ms\r\n",
  };
  for (int k = 1; k < 7; ++k) {
    s.push_back(Label(names[k]) + std::to_string(times[k].Ms()) + " ms");
    s.push_back("   (" + std::to_string(times[k].Ms() - times[k - 1].Ms()) + " ms)\r\n");
  }
  return s;
}

std::string Joined(const std::vector<std::string>& statements) {
  std::string all;
  for (const std::string& s : statements) all += s;
  return all;
}

const std::vector<Clock> OrdinaryRun = {{12, 34, 56, 789}, {12, 34, 56, 790}, {12, 35, 1, 250},
                                        {12, 35, 1, 406},  {12, 35, 2, 62},   {12, 35, 7, 375},
                                        {12, 35, 7, 375}};

}  // namespace

TEST(RunSequence, CompleteRunWritesTheBannerStartEndElapsedAndReportLines) {
  ScriptCheckpoints(OrdinaryRun);
  fake::SetArguments({"p.txt", "1000"});
  EXPECT_EQ(support::RunProgram(), 0);
  EXPECT_EQ(support::Out(), Joined(ExpectedStatements(1000, OrdinaryRun, "    10.586")));
  EXPECT_EQ(fake::Files()["p.txt"].bytes.size(), 811u);
}

TEST(RunSequence, OnAConsoleEveryStatementIsAWriteOfItsOwn) {
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  ScriptCheckpoints(OrdinaryRun);
  fake::SetArguments({"p.txt", "1000"});
  EXPECT_EQ(support::RunProgram(), 0);
  EXPECT_EQ(support::Writes(fake::StandardOutput()),
            ExpectedStatements(1000, OrdinaryRun, "    10.586"));
}

TEST(RunSequence, RunAcrossMidnightShowsNegativeElapsedSecondsAndDifference) {
  const std::vector<Clock> times = {{23, 59, 59, 500}, {23, 59, 59, 501}, {23, 59, 59, 900},
                                    {23, 59, 59, 990}, {0, 0, 0, 480},    {0, 0, 0, 990},
                                    {0, 0, 1, 0}};
  ScriptCheckpoints(times);
  fake::SetArguments({"p.txt", "100"});
  EXPECT_EQ(support::RunProgram(), 0);
  const std::string out = support::Out();
  EXPECT_EQ(out, Joined(ExpectedStatements(100, times, "-86398.500")));
  EXPECT_NE(out.find("EndOfSearch  = 480 ms   (-86399510 ms)\r\n"), std::string::npos);
}

TEST(RunSequence, BannerShowsTheLimitInUnsignedDecimalForEveryAcceptedValue) {
  for (std::uint32_t limit : {0u, 1u, 2u, 17u}) {
    support::ResetProgram();
    fake::SetArguments({"p.txt", std::to_string(limit)});
    EXPECT_EQ(support::RunProgram(), 0);
    EXPECT_TRUE(support::Out().starts_with(ToCp932("ザンテロ・バージョン５(１億未満最適化)(") +
                                           std::to_string(limit) + ")\r\n"));
  }
}

TEST(RunSequence, BitmapThatCannotBeAllocatedEndsWithEOutOfMemoryBeforeAnything) {
  fake::SetArguments({"p.txt", "100"});
  fake::FailAllocationsFrom(BitmapBytes);
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_TRUE(
      support::IsBeforeThenReport(support::Out(), "", "EOutOfMemory", "メモリが足りません."));
  EXPECT_TRUE(fake::Files().empty());
}

TEST(RunSequence, AllocatesTheBitmapWithOneRequestOfBitmapBytes) {
  // Every request of BitmapBytes + 1 or more fails, and the run still completes.
  fake::SetArguments({"p.txt", "0"});
  fake::FailAllocationsFrom(BitmapBytes + std::size_t{1});
  EXPECT_EQ(support::RunProgram(), 0);
  EXPECT_EQ(fake::Files()["p.txt"].bytes, "2\r\n3\r\n");
}

TEST(RunSequence, FailedConsoleStatementEndsTheRunAtOnce) {
  // Writes on a console: banner, start line, then the end line fails.
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  fake::StandardOutput().failWriteAt = 2;
  fake::StandardOutput().writeError = 232;
  ScriptCheckpoints(OrdinaryRun);
  fake::SetArguments({"p.txt", "100"});
  EXPECT_EQ(support::RunProgram(), 1);
  const std::vector<std::string> statements = ExpectedStatements(100, OrdinaryRun, "");
  EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), statements[0] + statements[1],
                                          "EInOutError", "I/O エラー (232)."));
  EXPECT_EQ(fake::Files()["p.txt"].bytes.size(), 96u) << "the list was complete before";
}
