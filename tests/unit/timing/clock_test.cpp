// The checkpoint clock: the encoding of a reading as days since 30 December
// 1899, its reduction to the millisecond of the day, and readings that
// cannot be encoded.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "../../../src/timing/checkpoints.hpp"
#include "../support.hpp"

using namespace std::chrono;

namespace {

constexpr std::int32_t MsPerDay = 86'400'000;
constexpr sys_days DayZero = sys_days{1899y / December / 30};

struct Date {
  std::uint32_t year, month, day;
};

std::int32_t ExpectedDayNumber(const Date& d) {
  const sys_days date{year{static_cast<int>(d.year)} / month{d.month} / day{d.day}};
  return static_cast<std::int32_t>((date - DayZero).count());
}

// The milliseconds first, first + step, ... of the day d.
void ExpectMillisecondsOf(const Date& d, std::int32_t first, std::int32_t step) {
  for (std::int32_t ms = first; ms < MsPerDay; ms += step) {
    const auto hour = static_cast<std::uint32_t>(ms / 3'600'000);
    const auto minute = static_cast<std::uint32_t>(ms / 60'000 % 60);
    const auto second = static_cast<std::uint32_t>(ms / 1000 % 60);
    const auto milli = static_cast<std::uint32_t>(ms % 1000);
    const MsOfDay got =
        TimeToMs(EncodeDateTime(d.year, d.month, d.day, hour, minute, second, milli));
    if (got != ms) {
      FAIL() << d.year << "-" << d.month << "-" << d.day << " ms " << ms << " gave " << got;
    }
  }
}

// Every millisecond of the day d, the reading's fields counted up in turn.
void ExpectEveryMillisecondOf(const Date& d) {
  MsOfDay expected = 0;
  for (std::uint32_t hour = 0; hour < 24; ++hour) {
    for (std::uint32_t minute = 0; minute < 60; ++minute) {
      for (std::uint32_t second = 0; second < 60; ++second) {
        for (std::uint32_t milli = 0; milli < 1000; ++milli, ++expected) {
          const MsOfDay got =
              TimeToMs(EncodeDateTime(d.year, d.month, d.day, hour, minute, second, milli));
          if (got != expected) {
            FAIL() << d.year << "-" << d.month << "-" << d.day << " ms " << expected << " gave "
                   << got;
          }
        }
      }
    }
  }
}

}  // namespace

TEST(TimeToMs, EveryMillisecondOfTheFirstAndTheLastDayComesBackExactly) {
  ExpectEveryMillisecondOf({1899, 12, 30});
  ExpectEveryMillisecondOf({9999, 12, 31});
}

TEST(TimeToMs, SampledMillisecondsOfDaysAcrossTheWholeRangeComeBackExactly) {
  const std::int32_t edges[] = {0,          1,          2,          999,        1000,
                                59'999,     60'000,     3'599'999,  3'600'000,  43'199'999,
                                43'200'000, 43'200'001, 86'399'000, 86'399'998, 86'399'999};
  const sys_days last = sys_days{9999y / December / 31};
  int sampledDays = 0;
  for (sys_days d = DayZero; d <= last; d += days{211}) {
    const year_month_day ymd{d};
    const Date date{static_cast<std::uint32_t>(static_cast<int>(ymd.year())),
                    static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day())};
    for (std::int32_t ms : edges) {
      const auto got = TimeToMs(EncodeDateTime(date.year, date.month, date.day, ms / 3'600'000,
                                               ms / 60'000 % 60, ms / 1000 % 60, ms % 1000));
      ASSERT_EQ(got, ms) << date.year << "-" << date.month << "-" << date.day;
    }
    // A different comb of milliseconds on each sampled day.
    ExpectMillisecondsOf(date, sampledDays * 7'919 % 86'413, 86'413);
    if (HasFatalFailure()) return;
    ++sampledDays;
  }
  EXPECT_GT(sampledDays, 14'000);
}

TEST(TimeToMs, NamedReadingsGiveTheirMillisecondOfTheDay) {
  struct Case {
    platform::LocalClockReading reading;
    MsOfDay ms;
  };
  const Case cases[] = {
      {{2026, 1, 1, 0, 0, 0, 0}, 0},
      {{2026, 1, 1, 0, 0, 0, 1}, 1},
      {{2026, 1, 1, 12, 34, 56, 789}, 45'296'789},
      {{2026, 1, 1, 23, 59, 59, 999}, 86'399'999},
      {{9999, 12, 31, 23, 59, 59, 999}, 86'399'999},
      {{2000, 2, 29, 6, 7, 8, 9}, 22'028'009},
  };
  for (const Case& c : cases) {
    support::ResetProgram();
    fake::ScriptClock({c.reading});
    EXPECT_EQ(TimeToMs(CurrentLocalDateTime()), c.ms);
  }
}

TEST(DayNumber, CountsDaysFrom30December1899) {
  const Date dates[] = {{1899, 12, 30}, {1899, 12, 31}, {1900, 1, 1},  {1900, 2, 28},
                        {1900, 3, 1},   {1970, 1, 1},   {2000, 2, 29}, {2000, 3, 1},
                        {2079, 6, 6},   {2100, 3, 1},   {1, 1, 1},     {1600, 2, 29},
                        {1899, 12, 29}, {9999, 12, 31}, {2026, 12, 11}};
  for (const Date& d : dates) {
    EXPECT_EQ(DayNumber(d.year, d.month, d.day), ExpectedDayNumber(d))
        << d.year << "-" << d.month << "-" << d.day;
  }
  EXPECT_EQ(DayNumber(1899, 12, 30), 0);
  EXPECT_EQ(DayNumber(1900, 1, 1), 2);
  EXPECT_EQ(DayNumber(9999, 12, 31), 2'958'465);
}

TEST(DayNumber, AgreesWithTheCalendarOnEveryDayOfTheYears1To9999) {
  const sys_days first = sys_days{1y / January / 1};
  const sys_days last = sys_days{9999y / December / 31};
  for (sys_days d = first; d <= last; d += days{1}) {
    const year_month_day ymd{d};
    const auto y = static_cast<std::uint32_t>(static_cast<int>(ymd.year()));
    const unsigned m = static_cast<unsigned>(ymd.month());
    const unsigned day = static_cast<unsigned>(ymd.day());
    ASSERT_TRUE(IsValidDate(y, m, day)) << y << "-" << m << "-" << day;
    ASSERT_EQ(DayNumber(y, m, day), (d - DayZero).count()) << y << "-" << m << "-" << day;
  }
}

TEST(CurrentLocalDateTime, ReadingThatIsNoDateOrTimeEndsWithEConvertError) {
  const char* const date = "日付に変換できない値が渡されました.";
  const char* const time = "時刻に変換できない値が渡されました.";
  struct Case {
    platform::LocalClockReading reading;
    const char* message;
  };
  const Case cases[] = {
      {{2026, 2, 29, 12, 0, 0, 0}, date},  {{1900, 2, 29, 12, 0, 0, 0}, date},
      {{2100, 2, 29, 12, 0, 0, 0}, date},  {{2026, 4, 31, 12, 0, 0, 0}, date},
      {{2026, 1, 32, 12, 0, 0, 0}, date},  {{2026, 1, 0, 12, 0, 0, 0}, date},
      {{2026, 0, 1, 12, 0, 0, 0}, date},   {{2026, 13, 1, 12, 0, 0, 0}, date},
      {{0, 1, 1, 12, 0, 0, 0}, date},      {{10000, 1, 1, 12, 0, 0, 0}, date},
      {{2026, 13, 1, 24, 0, 0, 0}, date},  // the date is tested first
      {{2026, 1, 1, 24, 0, 0, 0}, time},   {{2026, 1, 1, 23, 60, 0, 0}, time},
      {{2026, 1, 1, 23, 59, 60, 0}, time}, {{2026, 1, 1, 23, 59, 59, 1000}, time},
  };
  for (const Case& c : cases) {
    support::ResetProgram();
    SCOPED_TRACE(c.message);
    fake::ScriptClock({c.reading});
    fake::SetArguments({"p.txt", "100"});
    EXPECT_EQ(support::RunProgram(), 1);
    // The first checkpoint is the run's first act: nothing stands before the report.
    EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), "", "EConvertError", c.message));
    EXPECT_TRUE(fake::Files().empty());
  }
}

TEST(CurrentLocalDateTime, LeapDaysAndTheEdgesOfTheRangeAreValidReadings) {
  const platform::LocalClockReading readings[] = {{2000, 2, 29, 0, 0, 0, 0},
                                                  {2024, 2, 29, 0, 0, 0, 0},
                                                  {1600, 2, 29, 0, 0, 0, 0},
                                                  {1, 1, 1, 0, 0, 0, 0},
                                                  {9999, 12, 31, 23, 59, 59, 999}};
  for (const auto& reading : readings) {
    support::ResetProgram();
    fake::ScriptClock({reading});
    EXPECT_EQ(support::RunToExit([] { CurrentLocalDateTime(); }), std::nullopt);
  }
}

TEST(CurrentLocalDateTime, InvalidReadingLaterInTheRunEndsItAfterWhatWasWritten) {
  // The third reading, EndOfInit, comes after the banner, the start line and
  // the creation of the file.
  fake::ScriptClock(
      {{2026, 3, 14, 1, 2, 3, 4}, {2026, 3, 14, 1, 2, 3, 5}, {2026, 3, 14, 25, 0, 0, 0}});
  fake::SetArguments({"p.txt", "100"});
  EXPECT_EQ(support::RunProgram(), 1);
  const std::string before =
      support::ToCp932("ザンテロ・バージョン５(１億未満最適化)(100)\r\n  開始 3723004\r\n");
  EXPECT_TRUE(support::IsBeforeThenReport(support::Out(), before, "EConvertError",
                                          "時刻に変換できない値が渡されました."));
}
