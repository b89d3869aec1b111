// The mask dump and bit-operation self-test.
#include "selftest.hpp"

#include "../sieve/oddbitmap.hpp"
#include "../textio/textchannel.hpp"

namespace {

void LineEnd() {
  PutLineEnd(ConsoleOut);
  CheckIo();
}

void Separator() {
  PutText(ConsoleOut, "  ");
  EndStatement(ConsoleOut);
  CheckIo();
}

void Heading(std::string_view text) {
  PutText(ConsoleOut, text);
  LineEnd();
}

// Bit numbers 32 to 63 are the bits of OddBitmap[1].
constexpr std::uint32_t FirstBitOfWord1 = 32;

}  // namespace

void PrintBits32(std::uint32_t value) {
  for (std::uint32_t k = 0; k < 32; ++k) {
    PutInt64(ConsoleOut, (value >> k) & 1);
    EndStatement(ConsoleOut);
    CheckIo();
  }
}

void RunSelfTest() {
  // 1. The tables themselves.
  Heading("Dm[i],Dmx[i] ----------------------");
  for (std::uint32_t i = 0; i < 32; ++i) {
    PrintBits32(Dm[i]);
    Separator();
    PrintBits32(Dmx[i]);
    LineEnd();
  }

  // 2. One bit cleared from all ones, one bit set in zeros: must equal 1.
  Heading("-Clr/Set test -------------------------");
  for (std::uint32_t i = 0; i < 32; ++i) {
    OddBitmap[1] = 0xFFFFFFFF;
    ClearBit(i + FirstBitOfWord1);
    PrintBits32(OddBitmap[1]);
    Separator();
    OddBitmap[1] = 0;
    SetBit(i + FirstBitOfWord1);
    PrintBits32(OddBitmap[1]);
    LineEnd();
  }

  // 3. Clearings accumulate from bit 0 up.
  Heading("-Clr test------------------------------");
  OddBitmap[1] = 0xFFFFFFFF;
  for (std::uint32_t i = 0; i < 32; ++i) {
    ClearBit(i + FirstBitOfWord1);
    PrintBits32(OddBitmap[1]);
    LineEnd();
  }

  // 4. Settings accumulate from bit 31 down, starting from the word the
  //    clear test left (all zeros).
  Heading("-Set test------------------------------");
  for (std::uint32_t i = 0; i < 32; ++i) {
    SetBit(63 - i);
    PrintBits32(OddBitmap[1]);
    LineEnd();
  }

  // 5. Closing line and an empty line.
  Heading("----------------------------------------");
  PutLineEnd(ConsoleOut);
  CheckIo();
}
