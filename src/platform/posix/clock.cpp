// Local wall clock on POSIX: the real-time clock broken down in the local
// time zone (TZ and daylight saving applied by the C library).
#include "../platform.hpp"

#include <ctime>

namespace platform {

LocalClockReading ReadLocalClock() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  return LocalClockReading{
      static_cast<std::uint16_t>(local.tm_year + 1900),
      static_cast<std::uint16_t>(local.tm_mon + 1), static_cast<std::uint16_t>(local.tm_mday),
      static_cast<std::uint16_t>(local.tm_hour), static_cast<std::uint16_t>(local.tm_min),
      // A leap second (tm_sec 60) is handed on as it is: the clock
      // conversion above refuses it as no valid time.
      static_cast<std::uint16_t>(local.tm_sec),
      static_cast<std::uint16_t>(now.tv_nsec / 1'000'000)};
}

}  // namespace platform
