// The run report: the checkpoint lines, and in debug mode the line count of
// the written file, counted by reading it back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../src/app/run.hpp"
#include "../../../src/timing/checkpoints.hpp"
#include "../support.hpp"

namespace {

const std::vector<std::uint32_t> NoPattern = {};

std::string Label(std::string name) {
  name.resize(13, ' ');
  return name + "= ";
}

// The end of a complete debug run: after the elapsed line and its empty line.
std::string ReportTail(std::uint32_t lines, MsOfDay everyCheckpoint) {
  const std::string at = std::to_string(everyCheckpoint);
  std::string tail = "Line Count   = " + std::to_string(lines) + " lines\r\n\r\n";
  tail += "StartOfProg  = " + at + " ms\r\n";
  for (const char* name :
       {"EndOfMalloc", "EndOfInit", "EndOf3", "EndOfSearch", "EndOfSave", "EndOfProg"})
    tail += Label(name) + at + " ms   (0 ms)\r\n";
  return tail;
}

}  // namespace

TEST(CountLines, CountsLinesAsReadingBackByAtEndAndGetLineFindsThem) {
  struct Case {
    std::string content;
    std::uint32_t lines;
  };
  const Case cases[] = {
      {"", 0},
      {"2\r\n3\r\n", 2},
      {"2\r\n3", 2},  // a last line without a line end counts
      {"a\nb\nc\n", 3},
      {"a\nb\nc", 3},
      {"a\rb\rc\r", 1},  // CR alone ends no line
      {"2\r\n\x1A"
       "3\r\n",
       1},
      {"2\r\n3\x1A"
       "5\r\n",
       2},
      {"\x1A", 0},
      {"\n", 1},
      {"\r\n\r\n\r\n", 3},
      {std::string(1000, 'x'), 1},
      {std::string(300, '\n'), 300},
  };
  for (const Case& c : cases) {
    for (const auto& pattern :
         {NoPattern, std::vector<std::uint32_t>{1}, std::vector<std::uint32_t>{3}}) {
      support::ResetProgram();
      SCOPED_TRACE(::testing::PrintToString(c.content));
      fake::Files()["count.txt"].bytes = c.content;
      fake::Files()["count.txt"].readSizes = pattern;
      std::uint32_t counted = 0;
      EXPECT_EQ(support::RunToExit([&] { counted = CountLines("count.txt"); }), std::nullopt);
      EXPECT_EQ(counted, c.lines);
    }
  }
}

TEST(PrintReport, SevenLinesWithTheDifferenceToTheSlotBefore) {
  const MsOfDay values[] = {86'399'000, 86'399'001, 86'399'500, 86'399'990, 480, 480, 1'000};
  for (int k = 0; k < CheckpointCount; ++k) Checkpoints[k] = values[k];
  EXPECT_EQ(support::RunToExit([] { PrintReport(false, "unused"); }), std::nullopt);
  CloseChannel(ConsoleOut);
  EXPECT_EQ(support::Out(),
            "\r\n"
            "StartOfProg  = 86399000 ms\r\n"
            "EndOfMalloc  = 86399001 ms   (1 ms)\r\n"
            "EndOfInit    = 86399500 ms   (499 ms)\r\n"
            "EndOf3       = 86399990 ms   (490 ms)\r\n"
            "EndOfSearch  = 480 ms   (-86399510 ms)\r\n"
            "EndOfSave    = 480 ms   (0 ms)\r\n"
            "EndOfProg    = 1000 ms   (520 ms)\r\n");
  EXPECT_TRUE(fake::Files().empty()) << "no file is read outside debug mode";
}

TEST(PrintReport, OnAConsoleEachHalfOfALaterLineIsShownAtOnce) {
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  for (int k = 0; k < CheckpointCount; ++k) Checkpoints[k] = 1000 * k;
  PrintReport(false, "");
  std::vector<std::string> expected = {"\r\n", "StartOfProg  = 0 ms\r\n"};
  const char* names[] = {"EndOfMalloc", "EndOfInit", "EndOf3",
                         "EndOfSearch", "EndOfSave", "EndOfProg"};
  for (int k = 1; k < CheckpointCount; ++k) {
    expected.push_back(Label(names[k - 1]) + std::to_string(1000 * k) + " ms");
    expected.push_back("   (1000 ms)\r\n");
  }
  EXPECT_EQ(support::Writes(fake::StandardOutput()), expected);
}

TEST(PrintReport, DebugRunCountsTheWrittenFileBeforeTheReport) {
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  fake::SetArguments({"-d", "1000"});
  EXPECT_EQ(support::RunProgram(), 0);
  const std::string out = support::Out();
  const std::string elapsed = support::ToCp932("実行時間は     0.000 秒でした。\r\n\r\n");
  const std::size_t at = out.find(elapsed);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(out.substr(at + elapsed.size()), ReportTail(168, 3'723'004));
}

TEST(PrintReport, FileThatCannotBeReadBackEndsTheRunAfterTheEndLines) {
  struct Case {
    std::int32_t openCode;  // 0: the open succeeds and a read fails
    const char* message;
  };
  const Case cases[] = {{2, "ファイルが見つかりません."},
                        {5, "ファイルへのアクセスが拒否されました."},
                        {0, "I/O エラー (23)."}};
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(c.message);
    fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
    fake::SetArguments({"-D", "1000"});
    if (c.openCode != 0) {
      fake::FailOpenForRead("$sosuu$.txt", c.openCode);
    } else {
      fake::Files()["$sosuu$.txt"].failReadAt = 500;
      fake::Files()["$sosuu$.txt"].readError = 23;
    }
    EXPECT_EQ(support::RunProgram(), 1);
    const std::string out = support::Out();
    const std::string endLines =
        support::ToCp932("  終了 3723004\r\n実行時間は     0.000 秒でした。\r\n\r\n");
    const std::size_t at = out.find(endLines);
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(support::IsBeforeThenReport(out, out.substr(0, at + endLines.size()), "EInOutError",
                                            c.message));
    EXPECT_EQ(fake::Files()["$sosuu$.txt"].bytes.size(), 811u);
  }
}
