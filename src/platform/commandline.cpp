// The one-line command-line splitter, shared by every half of the platform
// layer (the Win32 half feeds it GetCommandLineA; the tests feed it bytes).
#include "platform.hpp"

namespace platform {

namespace {

bool IsSeparator(unsigned char c) { return c >= 1 && c <= 32; }

// Shift-JIS lead bytes: the byte after one belongs to the same character.
bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  // A zero byte ends the line, as it ends the C string that Windows hands over.
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> words;
  std::size_t at = 0;
  const std::size_t end = line.size();
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(line[i]); };

  for (;;) {
    // Skip separators and any "" pairs standing before an argument.
    for (;;) {
      while (at < end && IsSeparator(byte(at))) ++at;
      if (at + 1 < end && line[at] == '"' && line[at + 1] == '"') {
        at += 2;
      } else {
        break;
      }
    }
    if (at == end) break;

    std::string word;
    bool quoted = false;
    while (at < end && (quoted || !IsSeparator(byte(at)))) {
      if (line[at] == '"') {
        quoted = !quoted;
        ++at;
        continue;
      }
      const std::size_t length = IsLeadByte(byte(at)) && at + 1 < end ? 2 : 1;
      word.append(line.substr(at, length));
      at += length;
    }
    // A lone quote at the very end ("x "") yields nothing: no empty argument.
    if (word.empty()) break;
    words.push_back(std::move(word));
  }
  return words;
}

}  // namespace platform
