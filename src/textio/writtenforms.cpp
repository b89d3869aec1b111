// The written form of reals; the integer forms are in line in textchannel.hpp.
#include "textchannel.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// A double's exact value m * 2^e written as n / 2^k, k = max(0, -e): n is a
// whole number of at most 53 + 1074 bits, kept in 32-bit limbs, lowest first.
// Working on it exactly needs nothing of a formatting or maths library.
struct ExactFraction {
  static constexpr int Limbs = 36;
  std::uint32_t n[Limbs] = {};
  int k = 0;

  bool Bit(int at) const { return (n[at / 32] >> (at % 32)) & 1; }
  bool IsZero() const {
    for (std::uint32_t limb : n)
      if (limb != 0) return false;
    return true;
  }
  // n := n * 10; the part at and above bit k is the next decimal digit of
  // the fraction, which is taken off and returned.
  int NextFractionDigit() {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : n) {
      const std::uint64_t product = std::uint64_t{limb} * 10 + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    int digit = 0;
    for (int bit = 3; bit >= 0; --bit) digit = digit * 2 + (Bit(k + bit) ? 1 : 0);
    // Clear everything from bit k on.
    n[k / 32] &= k % 32 == 0 ? 0 : (std::uint32_t{1} << (k % 32)) - 1;
    for (int limb = k / 32 + 1; limb < Limbs; ++limb) n[limb] = 0;
    return digit;
  }
};

// The 17 significant decimal digits of a finite magnitude, rounded half to
// even from its exact value, and the decimal exponent of the first: the
// d.dddddddddddddddd e±XX of a scientific form with 16 decimals.
int SeventeenDigits(double magnitude, char significant[17]) {
  std::memset(significant, '0', 17);
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const int biased = static_cast<int>(bits >> 52 & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased != 0) m |= std::uint64_t{1} << 52;
  if (m == 0) return 0;
  const int e = (biased != 0 ? biased : 1) - 1075;

  ExactFraction value;
  value.k = e < 0 ? -e : 0;
  const int shift = e > 0 ? e : 0;
  for (int bit = 0; bit < 53; ++bit)
    if ((m >> bit) & 1) value.n[(bit + shift) / 32] |= std::uint32_t{1} << ((bit + shift) % 32);

  // The integer part, n shr k, in decimal by repeated division by 10.
  std::uint32_t whole[ExactFraction::Limbs] = {};
  for (int bit = value.k; bit < 32 * ExactFraction::Limbs; ++bit)
    if (value.Bit(bit)) whole[(bit - value.k) / 32] |= std::uint32_t{1} << ((bit - value.k) % 32);
  char integerDigits[400];
  int integerCount = 0;
  for (;;) {
    bool zero = true;
    std::uint64_t rest = 0;
    for (int limb = ExactFraction::Limbs - 1; limb >= 0; --limb) {
      const std::uint64_t part = rest << 32 | whole[limb];
      whole[limb] = static_cast<std::uint32_t>(part / 10);
      rest = part % 10;
      if (whole[limb] != 0) zero = false;
    }
    if (rest == 0 && zero && integerCount > 0) break;
    integerDigits[integerCount++] = static_cast<char>('0' + rest);
    if (zero) break;
  }
  // The fraction alone from here on.
  for (int bit = value.k; bit < 32 * ExactFraction::Limbs; ++bit)
    value.n[bit / 32] &= ~(std::uint32_t{1} << (bit % 32));

  // 18 significant digits (the 18th decides the rounding) and whether any
  // other digit after them is not zero.
  char digits[18];
  int count = 0;
  int exponent = -1;
  bool sticky = false;
  if (!(integerCount == 1 && integerDigits[0] == '0')) {
    exponent = integerCount - 1;
    for (int at = integerCount - 1; at >= 0; --at) {
      if (count < 18) {
        digits[count++] = integerDigits[at];
      } else if (integerDigits[at] != '0') {
        sticky = true;
      }
    }
  } else {
    while (!value.IsZero()) {
      const int digit = value.NextFractionDigit();
      if (digit != 0) {
        digits[count++] = static_cast<char>('0' + digit);
        break;
      }
      --exponent;
    }
  }
  while (count < 18 && !value.IsZero())
    digits[count++] = static_cast<char>('0' + value.NextFractionDigit());
  while (count < 18) digits[count++] = '0';
  sticky = sticky || !value.IsZero();

  std::memcpy(significant, digits, 17);
  const int guard = digits[17] - '0';
  const bool odd = (significant[16] - '0') % 2 != 0;
  if (guard > 5 || (guard == 5 && (sticky || odd))) {
    int at = 16;
    while (at >= 0 && significant[at] == '9') significant[at--] = '0';
    if (at >= 0) {
      ++significant[at];
    } else {
      significant[0] = '1';
      ++exponent;
    }
  }
  return exponent;
}

}  // namespace

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
  const bool negative = std::signbit(value);
  if (!(magnitude < MaxMagnitude)) {
    // Not a number, infinite or huge: a short general form is enough, the
    // 17 digits in scientific form without their trailing zeros.
    if (negative) text[length++] = '-';
    if (magnitude != magnitude || magnitude > std::numeric_limits<double>::max()) {
      const char* const word = magnitude != magnitude ? "nan" : "inf";
      std::memcpy(text + length, word, 3);
      length += 3;
    } else {
      char significant[17];
      const int exponent = SeventeenDigits(magnitude, significant);
      int last = 16;
      while (last > 0 && significant[last] == '0') --last;
      text[length++] = significant[0];
      if (last > 0) {
        text[length++] = '.';
        std::memcpy(text + length, significant + 1, static_cast<std::size_t>(last));
        length += last;
      }
      text[length++] = 'e';
      text[length++] = '+';
      char exponentText[MaxInt64Digits];
      const char* const start = FormatInt64(exponent, exponentText + sizeof exponentText);
      const auto exponentLength = static_cast<int>(exponentText + sizeof exponentText - start);
      std::memcpy(text + length, start, static_cast<std::size_t>(exponentLength));
      length += exponentLength;
    }
  } else {
    // significant = d.dddddddddddddddd e±XX, 17 digits.
    char significant[17];
    const int exponent = SeventeenDigits(magnitude, significant);

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
