// The checkpoint clock and the run report.
//
// A checkpoint is the local time of day in milliseconds: the run has no
// monotonic timer, and every duration it shows is the plain signed
// difference of two times of day (negative across midnight).
#pragma once

#include <cstdint>
#include <string_view>

using MsOfDay = std::int32_t;
// Days since 30 December 1899, the fraction being the elapsed part of the day.
using LocalDateTime = double;

enum CheckpointSlot : int {
  StartOfProg,
  EndOfMalloc,
  EndOfInit,
  EndOf3,
  EndOfSearch,
  EndOfSave,
  EndOfProg,
  CheckpointCount
};

extern MsOfDay Checkpoints[CheckpointCount];

// Reads the local clock; a reading that is no valid date or time ends the
// run with the EConvertError report.
LocalDateTime CurrentLocalDateTime();
MsOfDay TimeToMs(LocalDateTime value);
void TakeCheckpoint(CheckpointSlot slot);

// The encoding, for tests and for CurrentLocalDateTime: the day number of a
// valid date, and whether a date or time is valid.
bool IsValidDate(std::uint32_t year, std::uint32_t month, std::uint32_t day);
bool IsValidTime(std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                 std::uint32_t millisecond);
std::int32_t DayNumber(std::uint32_t year, std::uint32_t month, std::uint32_t day);
LocalDateTime EncodeDateTime(std::uint32_t year, std::uint32_t month, std::uint32_t day,
                             std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                             std::uint32_t millisecond);

// The seven checkpoint lines, in debug mode preceded by the line count of
// the file just written (counted before any line of the report is written).
void PrintReport(bool debugMode, std::string_view primeFileName);
std::uint32_t CountLines(std::string_view fileName);

namespace texts {
constexpr std::string_view EConvertError = "EConvertError";
constexpr std::string_view InvalidDate =
    "\x93\xFA\x95\x74\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x92\x6C\x82\xAA\x93\x6E\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";  // 日付に変換できない値が渡されました
constexpr std::string_view InvalidTime =
    "\x8E\x9E\x8D\x8F\x82\xC9\x95\xCF\x8A\xB7\x82\xC5\x82\xAB\x82\xC8\x82\xA2\x92\x6C\x82\xAA\x93\x6E\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";  // 時刻に変換できない値が渡されました
}  // namespace texts
