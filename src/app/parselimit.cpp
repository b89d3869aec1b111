// The limit text's rules.
#include "run.hpp"

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

ParsedLimit ParseLimit(std::string_view text) {
  constexpr ParsedLimit Invalid{false, 0};
  std::size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;

  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';

  bool hexadecimal = false;
  if (at < text.size() && text[at] == '$') {
    hexadecimal = true;
    ++at;
  } else if (at + 1 < text.size() && text[at] == '0' &&
             (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    hexadecimal = true;
    at += 2;
  }

  // The magnitude may reach 2^63 (decimal, negative) and never more, so it
  // is gathered unsigned and checked before every step.
  constexpr std::uint64_t MaxPositive = 0x7FFF'FFFF'FFFF'FFFF;
  const std::uint64_t bound = hexadecimal || !negative ? MaxPositive : MaxPositive + 1;
  const std::uint64_t base = hexadecimal ? 16 : 10;
  std::uint64_t magnitude = 0;
  std::size_t digits = 0;
  for (; at < text.size(); ++at, ++digits) {
    const int digit = hexadecimal ? HexDigitValue(text[at])
                                  : (text[at] >= '0' && text[at] <= '9' ? text[at] - '0' : -1);
    if (digit < 0) return Invalid;  // anything after the digits spoils the text
    if (magnitude > (bound - static_cast<std::uint64_t>(digit)) / base) return Invalid;
    magnitude = magnitude * base + static_cast<std::uint64_t>(digit);
  }
  if (digits == 0) return Invalid;
  // Two's complement: 0 - 2^63 as unsigned is 2^63, the smallest int64.
  const std::uint64_t bits = negative ? 0 - magnitude : magnitude;
  return ParsedLimit{true, static_cast<std::int64_t>(bits)};
}
