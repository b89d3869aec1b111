// The failure report: its two lines, the message table, what stands before
// it, the exit code, exhausted memory, and the end of the process.
#include <gtest/gtest.h>

#include <string>

#include "../../../src/app/run.hpp"
#include "../../../src/textio/textchannel.hpp"
#include "../support.hpp"

using support::ToCp932;

namespace {

// The console lines of a run up to the creation of its prime file.
std::string BannerAndStart(std::uint32_t limit) {
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  return ToCp932("ザンテロ・バージョン５(１億未満最適化)(") + std::to_string(limit) + ")\r\n" +
         ToCp932("  開始 ") + "3723004\r\n";
}

}  // namespace

TEST(FailureReport, MessageIsChosenByTheCodeAlone) {
  struct Case {
    std::int32_t code;
    const char* message;
  };
  const Case cases[] = {
      {2, "ファイルが見つかりません."},
      {3, "不正なファイル名です."},
      {4, "オープンしたファイルが多すぎます."},
      {5, "ファイルへのアクセスが拒否されました."},
      {100, "ファイルの末尾以降を読み込みました."},
      {101, "ディスクがいっぱいです."},
      {106, "入力値が数値ではありません."},
      {105, "I/O エラー (105)."},
      {103, "I/O エラー (103)."},
      {112, "I/O エラー (112)."},
      {206, "I/O エラー (206)."},
      {232, "I/O エラー (232)."},
      {1, "I/O エラー (1)."},
      {99999, "I/O エラー (99999)."},
      {-7, "I/O エラー (-7)."},
  };
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(c.code);
    const std::string before = BannerAndStart(10);
    fake::SetArguments({"p.txt", "10"});
    fake::FailOpen("p.txt", c.code);
    EXPECT_EQ(support::RunProgram(), 1);
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), before, "EInOutError", c.message));
    EXPECT_EQ(fake::Files().count("p.txt"), 0u);
  }
}

TEST(FailureReport, BufferedConsoleBytesGoOutFirstThenTheReportInOneWrite) {
  const std::string before = BannerAndStart(10);
  fake::SetArguments({"missing/p.txt", "10"});
  fake::FailOpen("missing/p.txt", 3);
  EXPECT_EQ(support::RunProgram(), 1);
  const std::vector<std::string> writes = support::Writes(fake::StandardOutput());
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], before);
  EXPECT_TRUE(support::IsBeforeThenReport(writes[1], "", "EInOutError", "不正なファイル名です."));
  // Two lines: the first ends with LF alone, the second with CR LF.
  EXPECT_EQ(writes[1].find("\r\n"), writes[1].size() - 2);
  EXPECT_NE(writes[1][writes[1].find('\n') - 1], '\r');
}

TEST(FailureReport, OffsetIsTheSameForOneCheckIoAndDiffersBetweenTwo) {
  auto offsetOfFailedCreation = [] {
    support::ResetProgram();
    const std::string before = BannerAndStart(10);
    fake::SetArguments({"p.txt", "10"});
    fake::FailOpen("p.txt", 5);
    std::string offset;
    EXPECT_EQ(support::RunProgram(), 1);
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), before, "EInOutError",
                                            "ファイルへのアクセスが拒否されました.", &offset));
    return offset;
  };
  auto offsetOfFailedBanner = [] {
    support::ResetProgram();
    fake::SetArguments({"p.txt", "10"});
    fake::StandardOutput().kind = platform::FileKind::CharDevice;
    fake::StandardOutput().failWriteAt = 0;
    fake::StandardOutput().writeError = 5;
    std::string offset;
    EXPECT_EQ(support::RunProgram(), 1);
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), "", "EInOutError",
                                            "ファイルへのアクセスが拒否されました.", &offset));
    return offset;
  };
  const std::string creation = offsetOfFailedCreation();
  EXPECT_EQ(offsetOfFailedCreation(), creation);
  EXPECT_NE(offsetOfFailedBanner(), creation);
}

TEST(FailureReport, FinalPeriodIsAddedOnlyToAMessageWithoutOne) {
  struct Case {
    const char* message;
    const char* shown;
  };
  const Case cases[] = {{"abc", "abc."}, {"abc.", "abc."}, {"", ""}, {"a.b", "a.b."}};
  for (const Case& c : cases) {
    support::ResetProgram();
    EXPECT_EQ(support::RunToExit([&] { FailureReport("EClassName", c.message, nullptr); }), 1);
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), "", "EClassName", c.shown));
  }
}

TEST(FailureReport, ShowsTheExeNameThePlatformGives) {
  fake::SetExeFileName("other name.exe");
  // A null place against the fake's image base 0 gives the offset 00000000.
  static_assert(fake::FakeImageBase == 0);
  EXPECT_EQ(support::RunToExit([] { ReportIoFailure(2, nullptr); }), 1);
  const std::string expected = "EInOutError" + ToCp932("がモジュール ") + "other name.exe" +
                               ToCp932(" の ") + "00000000" + ToCp932(" で発生しました。") + "\n" +
                               ToCp932("ファイルが見つかりません.") + "\r\n";
  EXPECT_EQ(support::Out(), expected);
}

TEST(FailureReport, CheckIoEndsTheRunOnlyWhenACodeIsPending) {
  PendingIoError = 0;
  EXPECT_EQ(support::RunToExit([] { CheckIo(); }), std::nullopt);
  PendingIoError = 232;
  EXPECT_EQ(support::RunToExit([] { CheckIo(); }), 1);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), "", "EInOutError", "I/O エラー (232)."));
}

TEST(FailureReport, ExhaustedStringStorageEndsWithEOutOfMemory) {
  fake::StandardInput().bytes = std::string(500, 'n') + "\r\n";
  PutText(ConsoleOut, "prompt");
  EndStatement(ConsoleOut);
  fake::FailAllocationsFrom(64);
  EXPECT_EQ(support::RunToExit([] { GetLine(ConsoleIn); }), 1);
  EXPECT_TRUE(
      support::IsBeforeThenReport(support::Out(), "prompt", "EOutOfMemory", "メモリが足りません."));
}

TEST(FailureReport, ClosedStandardOutputEndsTheRunWithExitCode1) {
  fake::SetArguments({"p.txt", "10"});
  fake::CloseStandardOutput();
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_EQ(fake::Files().count("p.txt"), 0u);
}

TEST(EndProcess, ClosesTheConsoleWritingOutWhatItHolds) {
  for (int code : {0, 1}) {
    support::ResetProgram();
    PutText(ConsoleOut, "held in the buffer");
    EndStatement(ConsoleOut);
    EXPECT_TRUE(support::Out().empty());
    EXPECT_EQ(support::RunToExit([&] { EndProcess(code); }), code);
    EXPECT_EQ(support::Out(), "held in the buffer");
  }
}

// Mended: a normal end whose last console bytes cannot be written would
// otherwise claim success while its output is lost.
TEST(EndProcess, NormalEndWhoseFinalConsoleWriteFailsEndsWithExitCode1) {
  PutText(ConsoleOut, "the report");
  PutLineEnd(ConsoleOut);
  fake::StandardOutput().failWriteAt = 0;
  fake::StandardOutput().writeError = 232;
  EXPECT_EQ(support::RunToExit([] { EndProcess(0); }), 1);
  EXPECT_TRUE(support::Out().empty()) << "a failure at the very end is not reported";
}

TEST(EndProcess, WholeRunWhoseLastConsoleBlockIsLostEndsWithExitCode1) {
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  fake::SetArguments({"p.txt", "1000"});
  ASSERT_EQ(support::RunProgram(), 0);
  const std::string complete = support::Out();
  const std::size_t blocks = complete.size() / 128;
  ASSERT_NE(complete.size() % 128, 0u);

  support::ResetProgram();
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  fake::SetArguments({"p.txt", "1000"});
  fake::StandardOutput().failWriteAt = blocks;
  fake::StandardOutput().writeError = 232;
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_EQ(support::Out(), complete.substr(0, blocks * 128));
  EXPECT_EQ(fake::Files()["p.txt"].bytes.size(), 811u);
}
