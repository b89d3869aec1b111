// Local wall clock on Win32: GetLocalTime, time zone and daylight saving
// applied by the system.
#include "../platform.hpp"

#include <windows.h>

namespace platform {

LocalClockReading ReadLocalClock() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LocalClockReading{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                           now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace platform
