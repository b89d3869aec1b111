// The one-line command-line splitter over arbitrary bytes: it must not
// crash, must never yield an empty argument, and what it yields must split
// the same way again once written back as a command line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../../src/platform/platform.hpp"
#include "check.hpp"

namespace {

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The bytes of an argument character by character: which bytes are the
// second half of a double-byte character, and whether the last character is
// a lead byte left alone.
struct Characters {
  std::vector<bool> trail;
  bool endsInLoneLead = false;
};

Characters Walk(std::string_view arg) {
  Characters walk;
  walk.trail.assign(arg.size(), false);
  for (std::size_t i = 0; i < arg.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(arg[i]))) {
      if (i + 1 == arg.size()) {
        walk.endsInLoneLead = true;
      } else {
        walk.trail[++i] = true;
      }
    }
  }
  return walk;
}

// Runs of separators between plain words: the whole rule when the line has
// no quote and no double-byte character.
std::vector<std::string> PlainSplit(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line) {
    if (IsSeparator(static_cast<unsigned char>(c))) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string_view line = input.substr(0, input.find('\0'));
  const std::vector<std::string> args = platform::SplitCommandLine(input);

  bool quotes = line.find('"') != std::string_view::npos;
  bool doubleBytes = false;
  for (char c : line) doubleBytes = doubleBytes || IsLeadByte(static_cast<unsigned char>(c));

  std::size_t total = 0;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    FUZZ_CHECK(!arg.empty());
    FUZZ_CHECK(arg.find('\0') == std::string::npos);
    total += arg.size();
    const Characters walk = Walk(arg);
    // Only the line's very last byte can be a lead byte without its partner.
    if (walk.endsInLoneLead) FUZZ_CHECK(k + 1 == args.size() && line.ends_with(arg.back()));
    for (std::size_t i = 0; i < arg.size(); ++i) {
      const auto c = static_cast<unsigned char>(arg[i]);
      // A quote never belongs to an argument, except as a second half.
      if (c == '"') FUZZ_CHECK(walk.trail[i]);
      // Without quotes a separator can only be a second half.
      if (!quotes && IsSeparator(c)) FUZZ_CHECK(walk.trail[i]);
    }
  }
  FUZZ_CHECK(total <= line.size());
  if (!quotes && !doubleBytes) FUZZ_CHECK(args == PlainSplit(line));

  // Written back with quotes around every argument that holds a separator,
  // the arguments split the same way. A closing quote after a lone lead byte
  // would be taken as its second half: the end of the line closes that one.
  std::string rebuilt;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    bool needsQuotes = false;
    for (char c : arg) needsQuotes = needsQuotes || IsSeparator(static_cast<unsigned char>(c));
    const bool last = k + 1 == args.size();
    if (k > 0) rebuilt.push_back(' ');
    if (needsQuotes) rebuilt.push_back('"');
    rebuilt += arg;
    if (needsQuotes && !(last && Walk(arg).endsInLoneLead)) rebuilt.push_back('"');
  }
  FUZZ_CHECK(platform::SplitCommandLine(rebuilt) == args);
  return 0;
}
