// Debug mode's dump of the mask tables and test of the bit operations: a
// fixed 134-line listing that a reader compares with the expected one. It
// judges nothing itself.
#pragma once

#include <cstdint>

// The 32 bits of value as the digits 0 and 1, bit 0 first; each digit is a
// statement of its own.
void PrintBits32(std::uint32_t value);

// Works on OddBitmap[1] alone, through SetBit and ClearBit.
void RunSelfTest();
