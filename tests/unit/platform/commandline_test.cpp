// The one-line command-line splitter: separators, quotes, Shift-JIS
// characters and the end of the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../../src/platform/platform.hpp"

using Words = std::vector<std::string>;

TEST(SplitCommandLine, QuotesEmptyPairsAndTheEndOfTheLine) {
  struct Case {
    std::string line;
    Words words;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"prog", {"prog"}},
      {"prog a b", {"prog", "a", "b"}},
      {"  prog   a  ", {"prog", "a"}},
      {"prog \"a b\" c", {"prog", "a b", "c"}},
      {"\"C:\\Program Files\\pellarn-1.exe\" x", {"C:\\Program Files\\pellarn-1.exe", "x"}},
      {"prog \"a\tb\"", {"prog", "a\tb"}},
      {"prog \"unterminated stretch", {"prog", "unterminated stretch"}},
      {"prog a\"b c\"d e", {"prog", "ab cd", "e"}},  // quotes mid-word
      {"prog a\"\"b", {"prog", "ab"}},
      {"prog a\"\" b", {"prog", "a", "b"}},
      {"prog \"\"", {"prog"}},  // an empty pair alone makes no argument
      {"prog \"\" a", {"prog", "a"}},
      {"prog \"\" \"\" a", {"prog", "a"}},
      {"prog \"\"a", {"prog", "a"}},  // passed over at the start of an argument
      {"prog \"\"\"a b\"", {"prog", "a b"}},
      {"prog \" \" x", {"prog", " ", "x"}},
      {"prog a \"", {"prog", "a"}},
      {"prog \"a\"\"b\"", {"prog", "ab"}},
      {"prog out.txt 1000 extra", {"prog", "out.txt", "1000", "extra"}},
      {"prog -d", {"prog", "-d"}},
      {"prog \"-d \"", {"prog", "-d "}},
      {"prog a\\\"b", {"prog", "a\\b"}},  // no backslash escapes: the quote still opens a stretch
      // A zero byte ends the line, as it ends the C string.
      {std::string("prog a\0b c", 10), {"prog", "a"}},
      {std::string("prog \"a\0b\"", 10), {"prog", "a"}},
      {std::string("\0prog", 5), {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SplitCommandLine(c.line), c.words) << ::testing::PrintToString(c.line);
  }
}

TEST(SplitCommandLine, EveryCodeFrom1To32Separates) {
  for (int code = 1; code <= 32; ++code) {
    const std::string sep(1, static_cast<char>(code));
    const std::string line = sep + "prog" + sep + "a" + sep + sep + "b" + sep;
    EXPECT_EQ(platform::SplitCommandLine(line), (Words{"prog", "a", "b"})) << "code " << code;
  }
  for (int code : {33, 127, 0x80, 0xA0, 0xFF}) {
    const std::string line = "prog a" + std::string(1, static_cast<char>(code)) + "b";
    EXPECT_EQ(platform::SplitCommandLine(line).size(), 2u) << "code " << code;
  }
}

// A Shift-JIS lead byte takes the next byte with it, whatever that is: a
// blank or a quote after it does not separate or open a stretch.
TEST(SplitCommandLine, ShiftJisCharactersAreSteppedOverWhole) {
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    const bool isLead = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    const std::string b(1, static_cast<char>(lead));
    SCOPED_TRACE(lead);
    EXPECT_EQ(platform::SplitCommandLine("p " + b + " x"),
              (isLead ? Words{"p", b + " x"} : Words{"p", b, "x"}));
    EXPECT_EQ(platform::SplitCommandLine("p " + b + "\"x y"),
              (isLead ? Words{"p", b + "\"x", "y"} : Words{"p", b + "x y"}));
    // A lead byte as the very last byte stays in the argument, and nothing
    // is read past the line.
    EXPECT_EQ(platform::SplitCommandLine("p a" + b), (Words{"p", "a" + b}));
    EXPECT_EQ(platform::SplitCommandLine("p \"" + b), (Words{"p", b}));
  }
  // 表 is 0x95 0x5C and ソ is 0x83 0x5C: the trail byte is the backslash.
  EXPECT_EQ(platform::SplitCommandLine("p \x95\x5C\x83\x5C.txt 10"),
            (Words{"p", "\x95\x5C\x83\x5C.txt", "10"}));
  EXPECT_EQ(platform::SplitCommandLine("p \"\x8F\x6F\x97\xCD \x8C\xC0\""),
            (Words{"p", "\x8F\x6F\x97\xCD \x8C\xC0"}));
}
