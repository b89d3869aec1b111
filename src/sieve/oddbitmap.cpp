// OddBitmap's storage, the mask tables and the bit-number operations.
#include "oddbitmap.hpp"

std::uint32_t* OddBitmap = nullptr;
std::uint32_t SieveBound = 0;

// Constant data, not computed per access: a strike is one AND with a table entry.
const std::uint32_t Dm[32] = {
    0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFB, 0xFFFFFFF7, 0xFFFFFFEF, 0xFFFFFFDF, 0xFFFFFFBF, 0xFFFFFF7F,
    0xFFFFFEFF, 0xFFFFFDFF, 0xFFFFFBFF, 0xFFFFF7FF, 0xFFFFEFFF, 0xFFFFDFFF, 0xFFFFBFFF, 0xFFFF7FFF,
    0xFFFEFFFF, 0xFFFDFFFF, 0xFFFBFFFF, 0xFFF7FFFF, 0xFFEFFFFF, 0xFFDFFFFF, 0xFFBFFFFF, 0xFF7FFFFF,
    0xFEFFFFFF, 0xFDFFFFFF, 0xFBFFFFFF, 0xF7FFFFFF, 0xEFFFFFFF, 0xDFFFFFFF, 0xBFFFFFFF, 0x7FFFFFFF,
};

std::uint32_t Dmx[32] = {};

void FillDmx() {
  for (std::uint32_t i = 0; i < 32; ++i) Dmx[i] = ~Dm[i];
}

void SetBit(std::uint32_t bitNumber) { OddBitmap[bitNumber >> 5] |= Dmx[bitNumber & 31]; }

void ClearBit(std::uint32_t bitNumber) { OddBitmap[bitNumber >> 5] &= Dm[bitNumber & 31]; }

// 1 + 3 + 5 + ... + (2k - 1) = k * k: subtracting successive odd numbers
// finds the root without multiplication, division or floating point.
// After k rounds r = n - k*k, d = 2k + 1, m = k + 1.
std::uint32_t CeilSqrt(std::uint32_t n) {
  std::uint32_t m = 1;
  std::uint32_t d = 1;
  std::uint32_t r = n;
  while (d < r) {
    r -= d;
    d += 2;
    ++m;
  }
  return m;
}
