// The sieve: one bit per odd number in OddBitmap, the mask tables, and the
// four steps that fill it, strike it and write the primes.
//
// The odd number n is bit (n shr 1) AND 31 of OddBitmap[n shr 6]; a set bit
// marks a prime candidate. All arithmetic is unsigned 32-bit.
#pragma once

#include <cstdint>

#include "../textio/textchannel.hpp"

// BitmapWords words, owned by the run sequence.
extern std::uint32_t* OddBitmap;
// Dm[i] = NOT (1 shl i), for clearing.
extern const std::uint32_t Dm[32];
// Dmx[i] = 1 shl i once FillDmx has run, for testing and setting.
extern std::uint32_t Dmx[32];
// CeilSqrt(LimitCount), the last candidate of the crossing-out pass.
extern std::uint32_t SieveBound;

// Dmx[i] := NOT Dm[i], for i from 0 to 31.
void FillDmx();

// Bit number b is bit b AND 31 of OddBitmap[b shr 5], the bit of 2b + 1.
void SetBit(std::uint32_t bitNumber);
void ClearBit(std::uint32_t bitNumber);

// The smallest m >= 1 with m * m >= n.
std::uint32_t CeilSqrt(std::uint32_t n);

// The four steps, in the order the run calls them. The passes write each
// prime to primeFile as they find it, one statement per prime.
void FillOddBitmap();
void StrikeMultiplesOf3(std::uint32_t limitCount);
// Returns the candidate at which it stopped, where the tail scan goes on.
std::uint32_t CrossOut(TextChannel& primeFile, std::uint32_t limitCount);
void ScanTail(TextChannel& primeFile, std::uint32_t firstCandidate, std::uint32_t limitCount);
