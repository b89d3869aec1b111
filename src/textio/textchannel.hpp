// The buffered text layer through which every console and file byte passes.
//
// Contract: output is made of statements, a run of Put operations on one
// channel closed by PutLineEnd or EndStatement; opens, closes, line reads and
// AtEnd are statements of their own. No operation reports failure through
// its result: a failing one stores its code in PendingIoError (the last
// failure wins) and the rest of the statement still runs. CheckIo, which
// follows every statement, ends the run with the FailureReport when a code
// is pending. Bytes are never converted: all texts are Shift-JIS as stored.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "../platform/platform.hpp"

[[noreturn]] void ReportOutOfMemory(const void* place);

// Storage for strings whose allocation failure ends the run with the
// EOutOfMemory report instead of an exception.
template <typename T>
struct RunHeapAllocator {
  using value_type = T;
  RunHeapAllocator() = default;
  template <typename U>
  RunHeapAllocator(const RunHeapAllocator<U>&) {}
  T* allocate(std::size_t count) {
    void* block = platform::Allocate(count * sizeof(T));
    if (block == nullptr) ReportOutOfMemory(__builtin_return_address(0));
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) { platform::Release(block); }
  friend bool operator==(RunHeapAllocator, RunHeapAllocator) { return true; }
};

// A string of bytes: file names, limit texts, lines read.
using Text = std::basic_string<char, std::char_traits<char>, RunHeapAllocator<char>>;

enum class ChannelMode : std::uint8_t { Closed, Reading, Writing };

constexpr std::uint32_t ChannelBufferSize = 128;
// 259 bytes of name and a terminating zero. A longer name fills the field
// without its zero, and opening it is refused with code 206 (the file name
// is too long) instead of touching the disk under a cut name.
constexpr std::uint32_t ChannelNameField = 260;

struct TextChannel {
  char name[ChannelNameField];
  ChannelMode mode;
  platform::Handle handle;
  std::uint8_t buffer[ChannelBufferSize];
  std::uint32_t position;  // next byte to fill (writing) or to take (reading)
  std::uint32_t end;       // valid bytes in the buffer (reading)
  bool flushesAtStatementEnd;
  bool releasesOnClose;
};

extern TextChannel ConsoleOut;
extern TextChannel ConsoleIn;
extern std::int32_t PendingIoError;

// The layer's own codes.
constexpr std::int32_t ErrorNotOpen = 103;  // close of a channel that is not open
constexpr std::int32_t ErrorNotOpenForRead = 104;
constexpr std::int32_t ErrorNotOpenForWrite = 105;

void BindName(TextChannel& channel, std::string_view name);
void OpenForWrite(TextChannel& channel);
void OpenForRead(TextChannel& channel);
void CloseChannel(TextChannel& channel);

void PutText(TextChannel& channel, std::string_view text);
void PutByte(TextChannel& channel, char byte);
inline void PutInt32(TextChannel& channel, std::int32_t value);
inline void PutInt64(TextChannel& channel, std::int64_t value);
void PutFixed(TextChannel& channel, double value, int width, int decimals);
inline void PutLineEnd(TextChannel& channel);
inline void EndStatement(TextChannel& channel);

Text GetLine(TextChannel& channel);
bool AtEnd(TextChannel& channel);

// The decimal form of PutInt32 and PutInt64: writes the digits (and a
// leading "-") ending just before outEnd and returns where they start.
// The caller leaves MaxInt64Digits bytes of room before outEnd, any of which
// may be overwritten.
constexpr std::uint32_t MaxInt64Digits = 20;  // "-9223372036854775808"
inline char* FormatInt64(std::int64_t value, char* outEnd);

// Every byte a Put operation places goes through here: it opens ConsoleOut
// at its first write and writes out each buffer that becomes full.
void PlaceBytes(TextChannel& channel, const char* bytes, std::uint32_t count);
// Writes out what the buffer holds with one platform write (nothing when it
// is empty); a failure stores its code and the bytes are dropped.
void WriteOutBuffer(TextChannel& channel);

// The prime list is tens of millions of statements of PutInt64 and
// PutLineEnd, so their common case (a channel open for writing whose buffer
// stays short of full) is done in line below, without a call per number or
// per byte; anything else takes PlaceBytes. Both ways place the same bytes
// and make the same platform writes.

namespace textio_detail {
// "00" "01" ... "99": two digits per division by 100.
inline constexpr char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline constexpr std::uint32_t PowersOf10[10] = {1,      10,      100,      1000,      10000,
                                                 100000, 1000000, 10000000, 100000000, 1000000000};

// The number of decimal digits, without a loop: a number of b bits has
// floor(b * log10(2)) or one more digits (1233 / 4096 is just above log10(2)).
inline std::uint32_t CountDigits(std::uint32_t value) {
  const std::uint32_t nonZero = value | 1;
  const std::uint32_t guess = static_cast<std::uint32_t>(std::bit_width(nonZero)) * 1233 >> 12;
  return guess + (nonZero >= PowersOf10[guess] ? 1 : 0);
}

// The eight decimal digits of value < 10^8, leading zeros included, as eight
// ASCII bytes in memory order: two lanes of four digits, then four of two,
// then eight of one, each split by one multiplication and a shift (exact for
// every such value).
inline std::uint64_t EightDigits(std::uint32_t value) {
  static_assert(std::endian::native == std::endian::little, "the lanes are laid out little-endian");
  const std::uint32_t high = value / 10000;
  std::uint64_t x = high | std::uint64_t{value - high * 10000} << 32;
  const std::uint64_t hundreds = (x * 10486 >> 20) & 0x0000007F0000007F;
  x = hundreds | (x - hundreds * 100) << 16;
  const std::uint64_t tens = (x * 103 >> 10) & 0x000F000F000F000F;
  x = tens | (x - tens * 10) << 8;
  return x | 0x3030303030303030;
}

// Writes the digits of value, digits = CountDigits(value) of them, from out
// on. Up to eight digits are one 8-byte store, so out needs 8 bytes of room
// whatever the count; the bytes after the digits are left undefined.
inline void WriteDigits(std::uint32_t value, std::uint32_t digits, char* out) {
  if (digits <= 8) {
    const std::uint64_t text = EightDigits(value) >> (8 * (8 - digits));
    std::memcpy(out, &text, 8);
    return;
  }
  const std::uint32_t head = value / 100000000;
  if (digits == 10)
    std::memcpy(out, DigitPairs + 2 * head, 2);
  else
    *out = static_cast<char>('0' + head);
  const std::uint64_t text = EightDigits(value - head * 100000000);
  std::memcpy(out + digits - 8, &text, 8);
}

// 32-bit arithmetic for what fits in 32 bits: every number of the prime list.
// A number of up to eight digits is stored as eight with its leading zeros,
// which fall in the room the caller leaves before outEnd.
inline char* FormatUint32(std::uint32_t value, char* outEnd) {
  const std::uint32_t digits = CountDigits(value);
  char* const out = outEnd - digits;
  if (digits > 8) {
    WriteDigits(value, digits, out);
  } else {
    const std::uint64_t text = EightDigits(value);
    std::memcpy(outEnd - 8, &text, 8);
  }
  return out;
}
}  // namespace textio_detail

inline char* FormatInt64(std::int64_t value, char* outEnd) {
  // The magnitude as unsigned, so that the smallest value needs no special case.
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* out = outEnd;
  while (magnitude > 0xFFFFFFFF) {
    const auto pair = static_cast<std::uint32_t>(magnitude % 100) * 2;
    magnitude /= 100;
    out -= 2;
    std::memcpy(out, textio_detail::DigitPairs + pair, 2);
  }
  out = textio_detail::FormatUint32(static_cast<std::uint32_t>(magnitude), out);
  if (value < 0) *--out = '-';
  return out;
}

inline void PutInt64(TextChannel& channel, std::int64_t value) {
  // A value of 32 bits whose digits leave the buffer not yet full, and room
  // for the 8-byte store, is written straight into it, with no copy through
  // a local array.
  if (channel.mode == ChannelMode::Writing && value >= 0 && value <= 0xFFFFFFFF) [[likely]] {
    const auto magnitude = static_cast<std::uint32_t>(value);
    const std::uint32_t count = textio_detail::CountDigits(magnitude);
    const std::uint32_t position = channel.position;
    if (position + count < ChannelBufferSize && position <= ChannelBufferSize - 8) [[likely]] {
      textio_detail::WriteDigits(magnitude, count,
                                 reinterpret_cast<char*>(channel.buffer + position));
      channel.position = position + count;
      return;
    }
  }
  char text[MaxInt64Digits];
  char* const end = text + sizeof text;
  const char* const start = FormatInt64(value, end);
  PlaceBytes(channel, start, static_cast<std::uint32_t>(end - start));
}

inline void PutInt32(TextChannel& channel, std::int32_t value) { PutInt64(channel, value); }

inline void EndStatement(TextChannel& channel) {
  if (channel.mode == ChannelMode::Writing && channel.flushesAtStatementEnd)
    WriteOutBuffer(channel);
}

inline void PutLineEnd(TextChannel& channel) {
  if (channel.mode == ChannelMode::Writing && channel.position < ChannelBufferSize - 2) [[likely]] {
    channel.buffer[channel.position] = '\r';
    channel.buffer[channel.position + 1] = '\n';
    channel.position += 2;
  } else {
    PlaceBytes(channel, "\r\n", 2);
  }
  EndStatement(channel);
}

// Failure handling. CheckIo sits in line after every statement; the report
// it calls records the place of that CheckIo as the failure's code offset.
[[noreturn]] void ReportIoFailure(std::int32_t code, const void* place);
// The report's general form, for other failures that end the run (the clock's
// EConvertError): class name and message as Shift-JIS bytes.
[[noreturn]] void FailureReport(std::string_view className, std::string_view message,
                                const void* place);

// Out of line so that their return address is the place of the failure
// (for FailPendingIo, the place of the CheckIo).
[[noreturn, gnu::noinline]] void FailPendingIo();
[[noreturn, gnu::noinline]] void FailOutOfMemory();

// Always in line, also unoptimised: every CheckIo must be a place of its own.
[[gnu::always_inline]] inline void CheckIo() {
  if (PendingIoError != 0) [[unlikely]]
    FailPendingIo();
}

// Ends the process: closes ConsoleIn, then ConsoleOut (writing out what it
// holds), then exits. A normal end (code 0) whose final write-out of
// ConsoleOut fails ends with 1 instead, so a lost report never passes as a
// success.
[[noreturn]] void EndProcess(int exitCode);

// The failure report's texts (Shift-JIS).
namespace texts {
constexpr std::string_view EInOutError = "EInOutError";
constexpr std::string_view EOutOfMemory = "EOutOfMemory";
constexpr std::string_view ReportAtModule =
    "\x82\xAA\x83\x82\x83\x57\x83\x85\x81\x5B\x83\x8B ";  // "がモジュール "
constexpr std::string_view ReportOf = " \x82\xCC ";       // " の "
constexpr std::string_view ReportOccurred =
    " \x82\xC5\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42";  // " で発生しました。"
constexpr std::string_view FileNotFound =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  // ファイルが見つかりません
constexpr std::string_view InvalidFileName =
    "\x95\x73\x90\xB3\x82\xC8\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xC5\x82\xB7";  // 不正なファイル名です
constexpr std::string_view TooManyOpenFiles =
    "\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xB5\x82\xBD\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7";  // オープンしたファイルが多すぎます
constexpr std::string_view AccessDenied =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xD6\x82\xCC\x83\x41\x83\x4E\x83\x5A\x83\x58\x82\xAA\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";  // ファイルへのアクセスが拒否されました
constexpr std::string_view ReadBeyondEnd =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x96\x96\x94\xF6\x88\xC8\x8D\x7E\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xDC\x82\xB5\x82\xBD";  // ファイルの末尾以降を読み込みました
constexpr std::string_view DiskFull =
    "\x83\x66\x83\x42\x83\x58\x83\x4E\x82\xAA\x82\xA2\x82\xC1\x82\xCF\x82\xA2\x82\xC5\x82\xB7";  // ディスクがいっぱいです
constexpr std::string_view NotANumber =
    "\x93\xFC\x97\xCD\x92\x6C\x82\xAA\x90\x94\x92\x6C\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  // 入力値が数値ではありません
constexpr std::string_view IoErrorOpen =
    "I/O \x83\x47\x83\x89\x81\x5B (";  // "I/O エラー (" then the code and ")"
constexpr std::string_view OutOfMemory =
    "\x83\x81\x83\x82\x83\x8A\x82\xAA\x91\xAB\x82\xE8\x82\xDC\x82\xB9\x82\xF1";  // メモリが足りません
}  // namespace texts
