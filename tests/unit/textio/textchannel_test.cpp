// Writing channels: when buffered bytes reach the platform, opening and
// closing with their codes, and the bounds of the name field.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../../../src/textio/textchannel.hpp"
#include "../support.hpp"

using platform::FileKind;

namespace {

// Statements of assorted sizes: short lines, an empty line, a line longer
// than the buffer, one of exactly two buffers, and a statement without a
// line end.
std::vector<std::string> SampleStatements() {
  std::vector<std::string> statements;
  for (int k = 0; k < 40; ++k) statements.push_back("line " + std::to_string(k * 37) + "\r\n");
  statements.push_back("\r\n");
  statements.push_back(std::string(300, 'x') + "\r\n");
  statements.push_back(std::string(254, 'y') + "\r\n");
  statements.push_back("no line end");
  for (int k = 0; k < 10; ++k) statements.push_back(std::to_string(k) + "\r\n");
  return statements;
}

void WriteStatements(TextChannel& channel, const std::vector<std::string>& statements) {
  for (const std::string& statement : statements) {
    if (statement.size() >= 2 && statement.ends_with("\r\n")) {
      PutText(channel, std::string_view(statement).substr(0, statement.size() - 2));
      PutLineEnd(channel);
    } else {
      PutText(channel, statement);
      EndStatement(channel);
    }
  }
}

// What the platform must see: 128-byte blocks and the rest at the close, or,
// on a character device, each statement at its end (a statement longer than
// the buffer in 128-byte pieces first).
std::vector<std::string> ExpectedWrites(const std::vector<std::string>& statements,
                                        bool perStatement) {
  std::vector<std::string> writes;
  auto cut = [&](const std::string& bytes) {
    std::size_t at = 0;
    for (; bytes.size() - at >= 128; at += 128) writes.push_back(bytes.substr(at, 128));
    if (at < bytes.size()) writes.push_back(bytes.substr(at));
  };
  if (perStatement) {
    for (const std::string& statement : statements) cut(statement);
  } else {
    std::string all;
    for (const std::string& statement : statements) all += statement;
    cut(all);
  }
  return writes;
}

struct KindCase {
  FileKind kind;
  bool perStatement;
};

const KindCase KindCases[] = {
    {FileKind::Disk, false},
    {FileKind::Pipe, false},
    {FileKind::CharDevice, true},
};

}  // namespace

TEST(TextChannel, DiskAndPipeGetWholeBlocksOf128BytesAndACharDeviceEveryStatement) {
  const std::vector<std::string> statements = SampleStatements();
  for (const KindCase& c : KindCases) {
    support::ResetProgram();
    SCOPED_TRACE(static_cast<int>(c.kind));
    fake::CreateAs("out.txt", c.kind);
    TextChannel file;
    BindName(file, "out.txt");
    OpenForWrite(file);
    WriteStatements(file, statements);
    CloseChannel(file);
    EXPECT_EQ(PendingIoError, 0);
    EXPECT_EQ(support::Writes(fake::Files()["out.txt"]),
              ExpectedWrites(statements, c.perStatement));
    EXPECT_FALSE(fake::Files()["out.txt"].open);
  }
}

TEST(TextChannel, ConsoleOutBuffersByTheKindOfStandardOutput) {
  const std::vector<std::string> statements = SampleStatements();
  for (const KindCase& c : KindCases) {
    support::ResetProgram();
    SCOPED_TRACE(static_cast<int>(c.kind));
    fake::StandardOutput().kind = c.kind;
    WriteStatements(ConsoleOut, statements);
    CloseChannel(ConsoleOut);
    EXPECT_EQ(PendingIoError, 0);
    EXPECT_EQ(support::Writes(fake::StandardOutput()), ExpectedWrites(statements, c.perStatement));
  }
}

TEST(TextChannel, EmptyStatementOnACharDeviceWritesNothing) {
  fake::StandardOutput().kind = FileKind::CharDevice;
  PutText(ConsoleOut, "");
  EndStatement(ConsoleOut);
  EndStatement(ConsoleOut);
  EXPECT_TRUE(fake::StandardOutput().writeSizes.empty());
  EXPECT_EQ(PendingIoError, 0);
}

TEST(TextChannel, EmptyNameWritesToStandardOutputAndClosingLeavesTheStreamOpen) {
  fake::StandardOutput().kind = FileKind::CharDevice;
  PutText(ConsoleOut, "before ");
  EndStatement(ConsoleOut);
  TextChannel list;
  BindName(list, "");
  OpenForWrite(list);
  PutInt32(list, 2);
  PutLineEnd(list);
  CloseChannel(list);
  EXPECT_EQ(PendingIoError, 0);
  // ConsoleOut still writes through the same standard output.
  PutText(ConsoleOut, "after");
  EndStatement(ConsoleOut);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(support::Out(), "before 2\r\nafter");
}

TEST(TextChannel, CreatingAnExistingFileEmptiesIt) {
  fake::Files()["old.txt"].bytes = "a much longer old content\r\n";
  TextChannel file;
  BindName(file, "old.txt");
  OpenForWrite(file);
  PutText(file, "new");
  CloseChannel(file);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(fake::Files()["old.txt"].bytes, "new");
}

TEST(TextChannel, ReopeningAnOpenChannelClosesItFirstWritingOutItsBuffer) {
  TextChannel file;
  BindName(file, "f.txt");
  OpenForWrite(file);
  PutText(file, "first line");
  PutLineEnd(file);  // a disk file: still in the buffer
  EXPECT_TRUE(fake::Files()["f.txt"].bytes.empty());
  OpenForRead(file);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(std::string(GetLine(file)), "first line");
  EXPECT_TRUE(AtEnd(file));
}

TEST(TextChannel, FailedCreationLeavesTheChannelClosedWithThePlatformCode) {
  for (std::int32_t code : {3, 5, 4}) {
    support::ResetProgram();
    fake::FailOpen("no/such/dir.txt", code);
    TextChannel file;
    BindName(file, "no/such/dir.txt");
    OpenForWrite(file);
    EXPECT_EQ(PendingIoError, code);
    EXPECT_EQ(file.mode, ChannelMode::Closed);
    PendingIoError = 0;
    PutText(file, "x");
    EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
  }
}

TEST(TextChannel, ObjectOfUnknownKindIsReleasedAndGives105) {
  fake::CreateAs("strange", FileKind::Unknown);
  TextChannel file;
  BindName(file, "strange");
  OpenForWrite(file);
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
  EXPECT_EQ(file.mode, ChannelMode::Closed);
  EXPECT_FALSE(fake::Files()["strange"].open);
}

TEST(TextChannel, ConsoleOutThatCannotOpenGives105PlacesNothingAndRetriesAtTheNextWrite) {
  fake::StandardOutput().kind = FileKind::Unknown;
  PutText(ConsoleOut, "lost");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
  PendingIoError = 0;
  fake::StandardOutput().kind = FileKind::CharDevice;
  PutText(ConsoleOut, "shown");
  EndStatement(ConsoleOut);
  EXPECT_EQ(PendingIoError, 0);
  EXPECT_EQ(support::Out(), "shown");
}

TEST(TextChannel, ConsoleOutOnAClosedStandardOutputGives105WhateverCameBefore) {
  fake::CloseStandardOutput();
  PendingIoError = 3;
  PutText(ConsoleOut, "x");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
  EXPECT_EQ(ConsoleOut.mode, ChannelMode::Closed);
}

TEST(TextChannel, ConsoleOutOpeningItselfKeepsAnEarlierCode) {
  PendingIoError = 5;
  PutText(ConsoleOut, "x");
  EXPECT_EQ(PendingIoError, 5);
}

TEST(TextChannel, ConsoleInThatCannotOpenGives104AndReadsAsTheEnd) {
  fake::CloseStandardInput();
  EXPECT_EQ(std::string(GetLine(ConsoleIn)), "");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForRead);
  PendingIoError = 0;
  EXPECT_TRUE(AtEnd(ConsoleIn));
  EXPECT_EQ(PendingIoError, ErrorNotOpenForRead);
}

TEST(TextChannel, ReadingOrWritingAChannelInTheWrongModeStoresItsCode) {
  fake::Files()["r.txt"].bytes = "text\r\n";
  TextChannel unopened;
  BindName(unopened, "r.txt");
  EXPECT_TRUE(AtEnd(unopened));
  EXPECT_EQ(PendingIoError, ErrorNotOpenForRead);
  PendingIoError = 0;
  PutByte(unopened, 'x');
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);

  PendingIoError = 0;
  TextChannel reading;
  BindName(reading, "r.txt");
  OpenForRead(reading);
  PutText(reading, "x");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
  EXPECT_EQ(fake::Files()["r.txt"].bytes, "text\r\n");

  PendingIoError = 0;
  TextChannel writing;
  BindName(writing, "w.txt");
  OpenForWrite(writing);
  EXPECT_EQ(std::string(GetLine(writing)), "");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForRead);
}

TEST(TextChannel, ClosingAChannelThatIsNotOpenGives103ExceptForConsoleIn) {
  TextChannel never;
  BindName(never, "n.txt");
  CloseChannel(never);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);

  PendingIoError = 0;
  TextChannel twice;
  BindName(twice, "t.txt");
  OpenForWrite(twice);
  CloseChannel(twice);
  EXPECT_EQ(PendingIoError, 0);
  CloseChannel(twice);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);

  PendingIoError = 0;
  CloseChannel(ConsoleOut);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);

  PendingIoError = 0;
  CloseChannel(ConsoleIn);
  EXPECT_EQ(PendingIoError, 0);
}

TEST(TextChannel, FailedWriteOutAtCloseKeepsTheChannelOpenForWriting) {
  fake::Object& file = fake::Files()["full.txt"];
  file.failWriteAt = 0;
  file.writeError = 112;
  TextChannel channel;
  BindName(channel, "full.txt");
  OpenForWrite(channel);
  PutText(channel, "pending");
  CloseChannel(channel);
  EXPECT_EQ(PendingIoError, 112);
  EXPECT_EQ(channel.mode, ChannelMode::Writing);
  EXPECT_TRUE(fake::Files()["full.txt"].open);
}

TEST(TextChannel, FailedReleaseStoresThePlatformCodeAndClosesTheChannel) {
  fake::Files()["c.txt"].closeError = 5;
  TextChannel channel;
  BindName(channel, "c.txt");
  OpenForWrite(channel);
  PutText(channel, "abc");
  CloseChannel(channel);
  EXPECT_EQ(PendingIoError, 5);
  EXPECT_EQ(channel.mode, ChannelMode::Closed);
  EXPECT_EQ(fake::Files()["c.txt"].bytes, "abc");
}

TEST(TextChannel, FailedWriteDropsTheBlockAndTheRestOfThatOperationButNotTheNextOne) {
  fake::Object& file = fake::Files()["d.txt"];
  file.failWriteAt = 1;
  file.writeError = 112;
  TextChannel channel;
  BindName(channel, "d.txt");
  OpenForWrite(channel);
  PutText(channel, std::string(128, 'a') + std::string(128, 'b') + std::string(44, 'c'));
  EXPECT_EQ(PendingIoError, 112);
  PutText(channel, "tail");  // the statement goes on after a failure
  PutLineEnd(channel);
  CloseChannel(channel);
  EXPECT_EQ(PendingIoError, 112);
  EXPECT_EQ(fake::Files()["d.txt"].bytes, std::string(128, 'a') + "tail\r\n");
}

TEST(TextChannel, LastFailureOfAStatementWins) {
  TextChannel channel;
  BindName(channel, "x.txt");
  CloseChannel(channel);
  EXPECT_EQ(PendingIoError, ErrorNotOpen);
  PutText(channel, "x");
  EXPECT_EQ(PendingIoError, ErrorNotOpenForWrite);
}

// The name field holds 259 bytes and a zero. A longer name is refused with
// 206 rather than cut, and nothing lands beyond the field.
TEST(TextChannel, NamesOf260BytesOrMoreAreRefusedWith206AndStayInsideTheField) {
  struct Guarded {
    TextChannel channel;
    char guard[2048];
  };
  for (std::size_t length : {259u, 260u, 261u, 1000u, 2000u}) {
    support::ResetProgram();
    SCOPED_TRACE(length);
    const std::string name(length, 'n');
    auto guarded = std::make_unique<Guarded>();
    std::memset(guarded->guard, 0x5A, sizeof guarded->guard);
    BindName(guarded->channel, name);
    EXPECT_EQ(guarded->channel.mode, ChannelMode::Closed);
    EXPECT_EQ(guarded->channel.position, 0u);
    EXPECT_EQ(guarded->channel.end, 0u);
    for (std::uint8_t byte : guarded->channel.buffer) ASSERT_EQ(byte, 0);
    for (char byte : guarded->guard) ASSERT_EQ(byte, 0x5A);

    OpenForWrite(guarded->channel);
    if (length < ChannelNameField) {
      EXPECT_EQ(PendingIoError, 0);
      PutText(guarded->channel, "ok");
      CloseChannel(guarded->channel);
      EXPECT_EQ(fake::Files()[name].bytes, "ok");
    } else {
      EXPECT_EQ(PendingIoError, platform::ErrorNameTooLong);
      EXPECT_EQ(guarded->channel.mode, ChannelMode::Closed);
      EXPECT_TRUE(fake::Files().empty()) << "nothing may be created under a cut name";
      PendingIoError = 0;
      OpenForRead(guarded->channel);
      EXPECT_EQ(PendingIoError, platform::ErrorNameTooLong);
    }
  }
}
