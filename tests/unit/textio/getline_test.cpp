// Reading channels: GetLine and AtEnd with LF, CR LF, lone CR, Ctrl-Z,
// long lines, input that arrives in small pieces, and failed reads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../src/textio/textchannel.hpp"
#include "../support.hpp"

namespace {

// Every line, by alternating AtEnd and GetLine as a reader of a file does.
std::vector<std::string> ReadAllLines(TextChannel& channel) {
  std::vector<std::string> lines;
  for (int guard = 0; guard < 10000; ++guard) {
    if (AtEnd(channel)) return lines;
    lines.emplace_back(GetLine(channel));
  }
  ADD_FAILURE() << "AtEnd never answered true";
  return lines;
}

struct LineCase {
  std::string input;
  std::vector<std::string> lines;
};

const std::string Long300(300, 'L');
const std::string Long127(127, 'k');

const LineCase LineCases[] = {
    {"", {}},
    {"a", {"a"}},
    {"a\n", {"a"}},
    {"a\r\n", {"a"}},
    {"a\nb\n", {"a", "b"}},
    {"a\r\nb\r\n", {"a", "b"}},
    {"a\r\nb", {"a", "b"}},
    {"\n", {""}},
    {"\r\n\r\n", {"", ""}},
    {"\n\n\nx", {"", "", "", "x"}},
    // A CR before anything but LF is dropped and the line runs on.
    {"a\rb\r\n", {"ab"}},
    {"a\rb\rc\r", {"abc"}},
    {"\r", {""}},
    {"ab\r", {"ab"}},
    {"a\r\r\nb", {"a", "b"}},
    {"a\r\rb\n", {"ab"}},
    // Ctrl-Z ends the input wherever it stands.
    {"\x1A", {}},
    {"\x1A"
     "after\r\n",
     {}},
    {"2\r\n\x1A"
     "3\r\n",
     {"2"}},
    {"2\r\n3\x1A"
     "5\r\n",
     {"2", "3"}},
    {"ab\r\x1A\n", {"ab"}},
    // No length limit, and line ends across the 128-byte refills.
    {Long300 + "\r\n" + "next", {Long300, "next"}},
    {Long127 + "\r\n" + Long127 + "\n", {Long127, Long127}},
    {std::string(128, 'm') + "\r\n", {std::string(128, 'm')}},
    // Bytes stay as they are: Shift-JIS, high bytes, zero bytes.
    {std::string("\x83\x65\x83\x58\x83\x67\0z\r\n", 10),
     {std::string("\x83\x65\x83\x58\x83\x67\0z", 8)}},
};

// Reads delivered whole, byte by byte, or in small or odd pieces.
const std::vector<std::uint32_t> ReadPatterns[] = {{}, {1}, {2}, {3}, {1, 5, 2}, {127}};

}  // namespace

TEST(GetLine, FileYieldsEveryLineOnceWhateverTheReadSizes) {
  for (const LineCase& c : LineCases) {
    for (const auto& pattern : ReadPatterns) {
      support::ResetProgram();
      SCOPED_TRACE(::testing::PrintToString(c.input) + " in reads of " +
                   ::testing::PrintToString(pattern));
      fake::Object& file = fake::Files()["in.txt"];
      file.bytes = c.input;
      file.readSizes = pattern;
      TextChannel channel;
      BindName(channel, "in.txt");
      OpenForRead(channel);
      EXPECT_EQ(ReadAllLines(channel), c.lines);
      EXPECT_EQ(PendingIoError, 0);
    }
  }
}

TEST(GetLine, ConsoleInReadsStandardInputByTheSameRules) {
  fake::StandardInput().bytes = "first\r\nsecond\rhalf\nthird";
  fake::StandardInput().readSizes = {1};
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "first");
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "secondhalf");
  EXPECT_FALSE(AtEnd(ConsoleIn));
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "third");
  EXPECT_TRUE(AtEnd(ConsoleIn));
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  EXPECT_EQ(PendingIoError, 0);
}

TEST(GetLine, ConsumesExactlyOneLineAndItsLineEnd) {
  fake::StandardInput().bytes = "one\r\ntwo\nthree\r\n";
  fake::StandardInput().readSizes = {1};
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "one");
  EXPECT_EQ(fake::StandardInput().readAt, 5u);
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "two");
  EXPECT_EQ(fake::StandardInput().readAt, 9u);
}

TEST(GetLine, CtrlZIsNeverConsumedAndNothingAfterItIsRead) {
  fake::StandardInput().bytes =
      "name\x1A"
      "100\r\nmore\r\n";
  fake::StandardInput().readSizes = {1};
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "name");
  const std::size_t readAt = fake::StandardInput().readAt;
  EXPECT_EQ(readAt, 5u);  // the 0x1A itself is in the buffer, and no byte after it
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(AtEnd(ConsoleIn));
    EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  }
  EXPECT_EQ(fake::StandardInput().readAt, readAt);
  EXPECT_EQ(PendingIoError, 0);
}

TEST(GetLine, AtEndConsumesNothing) {
  fake::StandardInput().bytes = "x\n";
  for (int k = 0; k < 3; ++k) EXPECT_FALSE(AtEnd(ConsoleIn));
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "x");
  EXPECT_TRUE(AtEnd(ConsoleIn));
}

TEST(GetLine, FailedReadStoresItsCodeAndEndsTheInput) {
  for (std::int32_t code : {5, 23, 6}) {
    support::ResetProgram();
    fake::Object& file = fake::Files()["bad.txt"];
    file.bytes = "abcdef\r\nghi\r\n";
    file.failReadAt = 3;
    file.readError = code;
    TextChannel channel;
    BindName(channel, "bad.txt");
    OpenForRead(channel);
    EXPECT_EQ(std::string(GetLine(channel)), "abc");
    EXPECT_EQ(PendingIoError, code);
    PendingIoError = 0;
    EXPECT_TRUE(AtEnd(channel));
    EXPECT_EQ(PendingIoError, code);
  }
}

TEST(GetLine, BrokenPipeIsTheEndOfTheInputAndNoFailure) {
  fake::StandardInput().bytes = "abcdef\r\n";
  fake::StandardInput().failReadAt = 3;
  fake::StandardInput().readError = platform::ErrorBrokenPipe;
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "abc");
  EXPECT_TRUE(AtEnd(ConsoleIn));
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  EXPECT_EQ(PendingIoError, 0);
}

TEST(GetLine, EmptyInputGivesTheEmptyStringWithoutFailure) {
  EXPECT_TRUE(AtEnd(ConsoleIn));
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  EXPECT_EQ(PendingIoError, 0);
}

TEST(GetLine, MissingFileFailsWithCode2) {
  TextChannel channel;
  BindName(channel, "gone.txt");
  OpenForRead(channel);
  EXPECT_EQ(PendingIoError, platform::ErrorFileNotFound);
  EXPECT_EQ(channel.mode, ChannelMode::Closed);
}
