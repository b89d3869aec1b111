// ParseLimit against a model of the limit-text rules that works on the digit
// string (leading zeros dropped, length and text compared with the bound)
// instead of checking for overflow while it accumulates.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "../../src/app/run.hpp"
#include "check.hpp"

namespace {

int DigitValue(char c, bool hexadecimal) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hexadecimal) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

ParsedLimit Model(std::string_view text) {
  constexpr ParsedLimit Invalid{false, 0};
  std::size_t at = text.find_first_not_of(' ');
  if (at == std::string_view::npos) return Invalid;  // empty or blanks only
  text.remove_prefix(at);

  bool negative = false;
  if (text.starts_with('-') || text.starts_with('+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  bool hexadecimal = false;
  if (text.starts_with('$')) {
    hexadecimal = true;
    text.remove_prefix(1);
  } else if (text.starts_with("0x") || text.starts_with("0X")) {
    hexadecimal = true;
    text.remove_prefix(2);
  }
  if (text.empty()) return Invalid;

  std::string significant;  // upper-case digits without leading zeros
  for (char c : text) {
    if (DigitValue(c, hexadecimal) < 0) return Invalid;
    if (significant.empty() && c == '0') continue;
    significant.push_back(c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  // Hexadecimal magnitudes stop at 2^63 - 1 whatever the sign; decimal
  // values reach -2^63.
  const std::string_view bound = hexadecimal ? "7FFFFFFFFFFFFFFF"
                                 : negative  ? "9223372036854775808"
                                             : "9223372036854775807";
  if (significant.size() > bound.size() ||
      (significant.size() == bound.size() && significant > bound))
    return Invalid;

  __int128 value = 0;
  for (char c : significant) value = value * (hexadecimal ? 16 : 10) + DigitValue(c, true);
  if (negative) value = -value;
  return ParsedLimit{true, static_cast<std::int64_t>(value)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParsedLimit got = ParseLimit(text);
  const ParsedLimit expected = Model(text);
  FUZZ_CHECK(got.valid == expected.valid);
  if (expected.valid) FUZZ_CHECK(got.value == expected.value);
  return 0;
}
