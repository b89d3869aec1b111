// The written forms of numbers: decimal integers and fixed-point reals.
#include "textchannel.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// "00" "01" ... "99": two digits per division by 100.
constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

}  // namespace

char* FormatInt64(std::int64_t value, char* outEnd) {
  // The magnitude as unsigned, so that the smallest value needs no special case.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* out = outEnd;
  while (magnitude >= 100) {
    const auto pair = static_cast<std::uint32_t>(magnitude % 100) * 2;
    magnitude /= 100;
    out -= 2;
    std::memcpy(out, DigitPairs + pair, 2);
  }
  if (magnitude >= 10) {
    out -= 2;
    std::memcpy(out, DigitPairs + magnitude * 2, 2);
  } else {
    *--out = static_cast<char>('0' + magnitude);
  }
  if (value < 0) *--out = '-';
  return out;
}

// Fixed point: the value's 17 significant digits, rounded half up at the
// requested decimal, right-aligned in the width. For the program's one use
// (whole milliseconds / 1000, 3 decimals) this is the exact decimal value.
void PutFixed(TextChannel& channel, double value, int width, int decimals) {
  constexpr int MaxDecimals = 64;
  constexpr double MaxMagnitude = 1e36;
  char text[160];
  int length = 0;
  if (decimals < 0) decimals = 0;
  if (decimals > MaxDecimals) decimals = MaxDecimals;

  const double magnitude = std::fabs(value);
  if (!(magnitude < MaxMagnitude)) {
    // Infinite, not a number or huge: the shortest general form is enough.
    length = static_cast<int>(std::to_chars(text, text + sizeof text, value).ptr - text);
  } else {
    // significant = d.dddddddddddddddd e±XX, 17 digits.
    char scientific[32];
    const auto result = std::to_chars(scientific, scientific + sizeof scientific, magnitude,
                                      std::chars_format::scientific, 16);
    *result.ptr = '\0';
    char significant[17];
    significant[0] = scientific[0];
    std::memcpy(significant + 1, scientific + 2, 16);
    const int exponent = std::atoi(std::strchr(scientific, 'e') + 1);

    // digits[k] is the decimal digit of weight 10^(integerDigits - 1 - k).
    constexpr int IntegerRoom = 40;
    char digits[IntegerRoom + MaxDecimals + 1];
    const int integerDigits = IntegerRoom;
    std::memset(digits, '0', sizeof digits);
    const int first = integerDigits - 1 - exponent;  // index of significant[0]
    for (int k = 0; k < 17; ++k) {
      const int at = first + k;
      if (at >= 0 && at < static_cast<int>(sizeof digits)) digits[at] = significant[k];
    }
    const int kept = integerDigits + decimals;  // digits[0 .. kept-1] are written
    if (kept < static_cast<int>(sizeof digits) && digits[kept] >= '5') {
      int at = kept - 1;
      while (at >= 0 && digits[at] == '9') digits[at--] = '0';
      if (at >= 0) ++digits[at];
    }
    if (value < 0) text[length++] = '-';
    int lead = 0;
    while (lead < integerDigits - 1 && digits[lead] == '0') ++lead;
    for (int k = lead; k < integerDigits; ++k) text[length++] = digits[k];
    if (decimals > 0) {
      text[length++] = '.';
      for (int k = integerDigits; k < kept; ++k) text[length++] = digits[k];
    }
  }
  for (int pad = width - length; pad > 0; --pad) PutByte(channel, ' ');
  PutText(channel, std::string_view(text, static_cast<std::size_t>(length)));
}
