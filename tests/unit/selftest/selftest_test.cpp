// The debug-mode listing, compared with one generated here from its
// description: five sections, every digit, separator and line end a
// statement of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../../../src/app/run.hpp"
#include "../../../src/selftest/selftest.hpp"
#include "../../../src/sieve/oddbitmap.hpp"
#include "../support.hpp"

namespace {

// 32 digits; position p shows digit(p).
template <typename Digit>
void AddGroup(std::vector<std::string>& statements, Digit&& digit) {
  for (int p = 0; p < 32; ++p) statements.push_back(digit(p) ? "1" : "0");
}

void AddSeparator(std::vector<std::string>& s) { s.push_back("  "); }
void AddLineEnd(std::vector<std::string>& s) { s.push_back("\r\n"); }
void AddHeading(std::vector<std::string>& s, const std::string& text) {
  s.push_back(text + "\r\n");
}

// The statements of the listing, in order.
std::vector<std::string> ExpectedStatements() {
  std::vector<std::string> s;
  // Sections 1 and 2 are the same: a 0 at position i in ones, a 1 at
  // position i in zeros.
  const std::string headings12[] = {"Dm[i],Dmx[i] " + std::string(22, '-'),
                                    "-Clr/Set test " + std::string(25, '-')};
  for (const std::string& heading : headings12) {
    AddHeading(s, heading);
    for (int i = 0; i < 32; ++i) {
      AddGroup(s, [&](int p) { return p != i; });
      AddSeparator(s);
      AddGroup(s, [&](int p) { return p == i; });
      AddLineEnd(s);
    }
  }
  // Section 3: i + 1 zeros, then ones.
  AddHeading(s, "-Clr test" + std::string(30, '-'));
  for (int i = 0; i < 32; ++i) {
    AddGroup(s, [&](int p) { return p > i; });
    AddLineEnd(s);
  }
  // Section 4: 31 - i zeros, then ones.
  AddHeading(s, "-Set test" + std::string(30, '-'));
  for (int i = 0; i < 32; ++i) {
    AddGroup(s, [&](int p) { return p >= 31 - i; });
    AddLineEnd(s);
  }
  AddHeading(s, std::string(40, '-'));
  AddLineEnd(s);
  return s;
}

std::string ExpectedListing() {
  std::string listing;
  for (const std::string& statement : ExpectedStatements()) listing += statement;
  return listing;
}

// RunSelfTest on a bitmap of three words whose outer words must stay as they are.
void RunOnThreeWords() {
  FillDmx();
  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(3 * sizeof(std::uint32_t)));
  OddBitmap[0] = 0x12345678;
  OddBitmap[1] = 0x9ABCDEF0;
  OddBitmap[2] = 0x0F1E2D3C;
  EXPECT_EQ(support::RunToExit([] { RunSelfTest(); }), std::nullopt);
}

}  // namespace

TEST(SelfTest, ListingIsByteForByteTheExpectedOneAndTouchesOnlyWord1) {
  const std::string listing = ExpectedListing();
  ASSERT_EQ(std::count(listing.begin(), listing.end(), '\n'), 134);
  ASSERT_EQ(listing.size(), 6732u);
  RunOnThreeWords();
  CloseChannel(ConsoleOut);
  EXPECT_EQ(support::Out(), listing);
  EXPECT_EQ(OddBitmap[0], 0x12345678u);
  EXPECT_EQ(OddBitmap[1], 0xFFFFFFFFu) << "the set test leaves all ones";
  EXPECT_EQ(OddBitmap[2], 0x0F1E2D3Cu);
}

TEST(SelfTest, OnAConsoleEveryStatementIsOnePlatformWrite) {
  fake::StandardOutput().kind = platform::FileKind::CharDevice;
  RunOnThreeWords();
  ASSERT_EQ(ExpectedStatements().size(), 6342u);
  EXPECT_EQ(support::Writes(fake::StandardOutput()), ExpectedStatements());
}

TEST(SelfTest, ToAPipeTheListingGoesOutIn128ByteBlocks) {
  RunOnThreeWords();
  CloseChannel(ConsoleOut);
  const std::vector<std::uint32_t>& sizes = fake::StandardOutput().writeSizes;
  ASSERT_EQ(sizes.size(), 53u);
  for (std::size_t k = 0; k < 52; ++k) EXPECT_EQ(sizes[k], 128u);
  EXPECT_EQ(sizes[52], 6732u - 52 * 128);
}

TEST(SelfTest, DebugRunPrintsTheListingBeforeTheBannerForBothFlags) {
  for (const char* flag : {"-d", "-D"}) {
    support::ResetProgram();
    fake::SetArguments({flag, "10"});
    EXPECT_EQ(support::RunProgram(), 0);
    EXPECT_EQ(support::Out().substr(0, 6732), ExpectedListing());
    EXPECT_TRUE(support::Out().substr(6732).starts_with(
        support::ToCp932("ザンテロ・バージョン５(１億未満最適化)(10)\r\n")));
  }
}

TEST(SelfTest, FailedConsoleWriteEndsTheRunInTheMiddleOfTheListing) {
  struct Case {
    platform::FileKind kind;
    std::size_t failingWrite;
    std::size_t bytesBefore;
  };
  const std::vector<std::string> statements = ExpectedStatements();
  std::size_t first500 = 0;
  for (std::size_t k = 0; k < 500; ++k) first500 += statements[k].size();
  const Case cases[] = {{platform::FileKind::CharDevice, 500, first500},
                        {platform::FileKind::CharDevice, 0, 0},
                        {platform::FileKind::Pipe, 10, 10 * 128}};
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(c.failingWrite);
    fake::StandardOutput().kind = c.kind;
    fake::StandardOutput().failWriteAt = c.failingWrite;
    fake::StandardOutput().writeError = 232;
    fake::SetArguments({"-d", "10"});
    EXPECT_EQ(support::RunProgram(), 1);
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(),
                                            ExpectedListing().substr(0, c.bytesBefore),
                                            "EInOutError", "I/O エラー (232)."));
    EXPECT_TRUE(fake::Files().empty()) << "the run ends before the file is created";
  }
}
