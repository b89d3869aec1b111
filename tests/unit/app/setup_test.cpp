// Setup: arguments or prompts, the refusal above MaxLimit, and the choice of
// debug mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../src/app/run.hpp"
#include "../../../src/build/build.hpp"
#include "../../../src/sieve/oddbitmap.hpp"
#include "../support.hpp"

using support::ToCp932;

namespace {

// The console texts of Setup, as the program writes them.
std::string TitleLine() { return ToCp932("ザンテロ・バージョン５\r\n"); }
std::string UsageLine() { return "usage: <Exec-filename> [OutPutFileName] LimitCount\r\n"; }
std::string FilePrompt() { return ToCp932("出力ファイル名を入れてください："); }
std::string LimitPrompt() { return ToCp932("限界値を入れてください："); }
std::string Refusal() { return ToCp932("素数上限値が大きすぎるので中止します !\r\n"); }

// Setup on its own; the self-test in debug mode needs word 1 of the bitmap.
std::optional<int> RunSetup() {
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(2 * sizeof(std::uint32_t)));
  return support::RunToExit([] { ::Setup(); });
}

// What reached the console, with ConsoleOut's buffer written out.
std::string ConsoleText() {
  if (ConsoleOut.mode == ChannelMode::Writing) CloseChannel(ConsoleOut);
  return support::Out();
}

}  // namespace

TEST(Setup, WithoutArgumentsWritesTitleUsageAndPromptsAndReadsTwoLines) {
  fake::StandardInput().bytes = "out.txt\n250\r\nthird line\r\n";
  fake::StandardInput().readSizes = {1};
  EXPECT_EQ(RunSetup(), std::nullopt);
  EXPECT_EQ(std::string(ArgSlots[0]), "out.txt");
  EXPECT_EQ(std::string(ArgSlots[1]), "250");
  EXPECT_EQ(LimitCount, 250u);
  EXPECT_FALSE(DebugMode);
  EXPECT_EQ(fake::StandardInput().readAt, std::string("out.txt\n250\r\n").size());
  EXPECT_EQ(ConsoleText(), TitleLine() + UsageLine() + FilePrompt() + LimitPrompt());
}

TEST(Setup, OnAConsoleEachPromptIsShownBeforeTheAnswerIsRead) {
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  fake::StandardInput().bytes = "out.txt\r\n10\r\n";
  EXPECT_EQ(RunSetup(), std::nullopt);
  const std::vector<std::string> expected = {TitleLine(), UsageLine(), FilePrompt(), LimitPrompt()};
  EXPECT_EQ(support::Writes(fake::StandardOutput()), expected);
}

TEST(Setup, AnswersAreTakenWholeAndTheEndOfInputGivesEmptyAnswers) {
  struct Case {
    std::string input;
    std::string name, limitText;
    std::uint32_t limitCount;
    bool debug;
  };
  const Case cases[] = {
      {"", "", "", 1000, false},
      {"name.txt\r\n", "name.txt", "", 1000, false},
      {" spaced name \n100 \n", " spaced name ", "100 ", 1000, false},
      {"p.txt\x1A"
       "100\r\n",
       "p.txt", "", 1000, false},
      {"a\rb\r\n12\r", "ab", "12", 12, false},
      {"\r\n$40\r\n", "", "$40", 64, false},
      {"-d\n10\n", "$sosuu$.txt", "10", 10, true},
      {"-D\r\n", "$sosuu$.txt", "", 1000, true},
      {"-d \r\n", "-d ", "", 1000, false},
  };
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(::testing::PrintToString(c.input));
    fake::StandardInput().bytes = c.input;
    EXPECT_EQ(RunSetup(), std::nullopt);
    EXPECT_EQ(std::string(ArgSlots[0]), c.name);
    EXPECT_EQ(std::string(ArgSlots[1]), c.limitText);
    EXPECT_EQ(LimitCount, c.limitCount);
    EXPECT_EQ(DebugMode, c.debug);
    EXPECT_EQ(PendingIoError, 0);
  }
}

TEST(Setup, ArgumentsTakeThePlaceOfThePromptsAndOnlyTheFirstTwoCount) {
  struct Case {
    std::vector<std::string> arguments;
    std::string name;
    std::uint32_t limitCount;
    bool debug;
  };
  const Case cases[] = {
      {{"p.txt"}, "p.txt", 1000, false},
      {{"p.txt", "250"}, "p.txt", 250, false},
      {{"p.txt", "250", "77", "x"}, "p.txt", 250, false},
      {{"p.txt", "-d"}, "p.txt", 1000, false},
      {{"-d", "50"}, "$sosuu$.txt", 50, true},
      {{"-D"}, "$sosuu$.txt", 1000, true},
      {{"-d "}, "-d ", 1000, false},
      {{" -d"}, " -d", 1000, false},
      {{"-debug"}, "-debug", 1000, false},
      {{"/d"}, "/d", 1000, false},
      {{"d"}, "d", 1000, false},
      {{"-dd"}, "-dd", 1000, false},
      {{"-"}, "-", 1000, false},
      {{"$sosuu$.txt"}, "$sosuu$.txt", 1000, false},
      {{"", "10"}, "", 10, false},  // an empty argument counts and names standard output
  };
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(::testing::PrintToString(c.arguments));
    fake::SetArguments(c.arguments);
    fake::StandardInput().bytes = "never read\r\n";
    EXPECT_EQ(RunSetup(), std::nullopt);
    EXPECT_EQ(std::string(ArgSlots[0]), c.name);
    EXPECT_EQ(LimitCount, c.limitCount);
    EXPECT_EQ(DebugMode, c.debug);
    EXPECT_EQ(fake::StandardInput().readAt, 0u);
    if (!c.debug) {
      EXPECT_EQ(ConsoleText(), "") << "no title, usage or prompt with arguments";
    }
  }
}

TEST(Setup, FillsDmxFirstWhateverFollows) {
  fake::SetArguments({"p.txt", "-1"});
  EXPECT_EQ(RunSetup(), 1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(Dmx[i], std::uint32_t{1} << i);
}

TEST(Setup, AcceptsMaxLimitItself) {
  fake::SetArguments({"p.txt", std::to_string(MaxLimit)});
  EXPECT_EQ(RunSetup(), std::nullopt);
  EXPECT_EQ(LimitCount, MaxLimit);
}

TEST(Setup, RefusesALimitAboveMaxLimitWithItsLineAndExitCode1BeforeAnyFile) {
  fake::Files()["p.txt"].bytes = "an older file\r\n";
  fake::SetArguments({"p.txt", std::to_string(MaxLimit + 1u)});
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_EQ(support::Out(), Refusal());
  EXPECT_EQ(fake::Files().size(), 1u);
  EXPECT_EQ(fake::Files()["p.txt"].bytes, "an older file\r\n");
  EXPECT_FALSE(fake::Files()["p.txt"].open);
}

TEST(Setup, RefusalAfterThePromptsFollowsThem) {
  fake::StandardInput().bytes = "p.txt\r\n-1\r\n";
  EXPECT_EQ(support::RunProgram(), 1);
  EXPECT_EQ(support::Out(), TitleLine() + UsageLine() + FilePrompt() + LimitPrompt() + Refusal());
  EXPECT_TRUE(fake::Files().empty());
}

TEST(Setup, DebugModeWithATooLargeLimitPrintsOnlyTheRefusal) {
  for (const char* flag : {"-d", "-D"}) {
    support::ResetProgram();
    fake::SetArguments({flag, "9999999999"});
    EXPECT_EQ(support::RunProgram(), 1);
    EXPECT_EQ(support::Out(), Refusal());
    EXPECT_TRUE(fake::Files().empty());
  }
}

TEST(Setup, PlainNamesCloseToTheDebugFlagNameTheFileItself) {
  for (const char* name : {"-d ", "-debug", "/d"}) {
    support::ResetProgram();
    SCOPED_TRACE(name);
    fake::SetArguments({name, "100"});
    EXPECT_EQ(support::RunProgram(), 0);
    EXPECT_EQ(fake::Files()[name].bytes, support::Lines(support::PrimesUpTo(100)));
    EXPECT_EQ(fake::Files().count("$sosuu$.txt"), 0u);
  }
}

TEST(Setup, DebugFlagWritesTheListToTheFixedName) {
  for (const char* flag : {"-d", "-D"}) {
    support::ResetProgram();
    fake::SetArguments({flag, "100"});
    EXPECT_EQ(support::RunProgram(), 0);
    EXPECT_EQ(fake::Files()["$sosuu$.txt"].bytes, support::Lines(support::PrimesUpTo(100)));
    EXPECT_EQ(fake::Files().size(), 1u);
  }
}

// With stdin at its end both answers are empty: the list goes to standard
// output, between the start line and the end line.
TEST(Setup, EmptyAnswerSendsThePrimesToStandardOutput) {
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  EXPECT_EQ(support::RunProgram(), 0);
  const std::string start = ToCp932("  開始 ") + "3723004\r\n";
  const std::string end = ToCp932("  終了 ") + "3723004\r\n";
  const std::string out = support::Out();
  const std::string before = TitleLine() + UsageLine() + FilePrompt() + LimitPrompt() +
                             ToCp932("ザンテロ・バージョン５(１億未満最適化)(1000)\r\n") + start;
  ASSERT_TRUE(out.starts_with(before));
  const std::size_t list = before.size();
  ASSERT_EQ(out.find(end, list), list + 811);
  EXPECT_EQ(out.substr(list, 811), support::Lines(support::PrimesUpTo(1000)));
  EXPECT_TRUE(fake::Files().empty());
}

TEST(Setup, FileNameTooLongForTheNameFieldEndsTheRunWithCode206) {
  fake::ScriptClock({{2026, 3, 14, 1, 2, 3, 4}});
  fake::SetArguments({std::string(300, 'n'), "10"});
  EXPECT_EQ(support::RunProgram(), 1);
  const std::string before =
      ToCp932("ザンテロ・バージョン５(１億未満最適化)(10)\r\n  開始 3723004\r\n");
  EXPECT_TRUE(
      support::IsBeforeThenReport(support::Out(), before, "EInOutError", "I/O エラー (206)."));
  EXPECT_TRUE(fake::Files().empty());
}
