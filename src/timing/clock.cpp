// The checkpoint clock: local date and time encoded as days since
// 30 December 1899, and reduced to the milliseconds of the day.
#include "checkpoints.hpp"

#include "../platform/platform.hpp"
#include "../textio/textchannel.hpp"

MsOfDay Checkpoints[CheckpointCount] = {};

namespace {

constexpr std::int64_t MsPerDay = 86'400'000;

bool IsLeapYear(std::uint32_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

}  // namespace

bool IsValidDate(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
  constexpr std::uint8_t DaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const std::uint32_t last = DaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
  return day <= last;
}

bool IsValidTime(std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                 std::uint32_t millisecond) {
  return hour <= 23 && minute <= 59 && second <= 59 && millisecond <= 999;
}

// Days of the proleptic Gregorian calendar, counted in eras of 400 years
// from 1 March of year 0, then shifted so that 30 December 1899 is day 0.
std::int32_t DayNumber(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
  const std::int32_t y = static_cast<std::int32_t>(year) - (month <= 2 ? 1 : 0);
  const std::int32_t era = y / 400;  // year >= 1, so y >= 0
  const std::int32_t yearOfEra = y - era * 400;
  const std::int32_t m = static_cast<std::int32_t>(month);
  const std::int32_t dayOfYear =
      (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + static_cast<std::int32_t>(day) - 1;
  const std::int32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  constexpr std::int32_t DaysTo18991230 = 693'899;  // from 0000-03-01
  return era * 146'097 + dayOfEra - DaysTo18991230;
}

LocalDateTime EncodeDateTime(std::uint32_t year, std::uint32_t month, std::uint32_t day,
                             std::uint32_t hour, std::uint32_t minute, std::uint32_t second,
                             std::uint32_t millisecond) {
  const double fraction =
      static_cast<double>(hour * 3'600'000 + minute * 60'000 + second * 1'000 + millisecond) /
      static_cast<double>(MsPerDay);
  return static_cast<double>(DayNumber(year, month, day)) + fraction;
}

LocalDateTime CurrentLocalDateTime() {
  const platform::LocalClockReading now = platform::ReadLocalClock();
  if (!IsValidDate(now.year, now.month, now.day))
    FailureReport(texts::EConvertError, texts::InvalidDate, __builtin_return_address(0));
  if (!IsValidTime(now.hour, now.minute, now.second, now.millisecond))
    FailureReport(texts::EConvertError, texts::InvalidTime, __builtin_return_address(0));
  return EncodeDateTime(now.year, now.month, now.day, now.hour, now.minute, now.second,
                        now.millisecond);
}

namespace {

// Half away from zero, as llround, without the maths library: the program
// then loads no libm, whose pages would count in its resident memory. The
// fraction x - whole of a double is exact.
std::int64_t RoundToWhole(double x) {
  const auto whole = static_cast<std::int64_t>(x);
  const double fraction = x - static_cast<double>(whole);
  if (fraction >= 0.5) return whole + 1;
  if (fraction <= -0.5) return whole - 1;
  return whole;
}

}  // namespace

// Rounds, not truncates: the float holds the day's fraction only to within
// a small part of a millisecond, on either side of the true value.
MsOfDay TimeToMs(LocalDateTime value) {
  const std::int64_t sinceDayZero = RoundToWhole(value * static_cast<double>(MsPerDay));
  const auto t = static_cast<std::int32_t>(sinceDayZero % MsPerDay);
  const std::int32_t minutesOfDay = t / 60'000;
  const std::int32_t msOfMinute = t % 60'000;
  const std::int32_t hours = minutesOfDay / 60;
  const std::int32_t minutes = minutesOfDay % 60;
  const std::int32_t seconds = msOfMinute / 1'000;
  const std::int32_t milliseconds = msOfMinute % 1'000;
  return ((hours * 60 + minutes) * 60 + seconds) * 1'000 + milliseconds;
}

void TakeCheckpoint(CheckpointSlot slot) { Checkpoints[slot] = TimeToMs(CurrentLocalDateTime()); }
