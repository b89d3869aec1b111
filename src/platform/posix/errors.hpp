// Translation of errno values into the Windows system error numbers that the
// rest of the program speaks. Private to the POSIX half.
#pragma once

#include <cstdint>

namespace platform::posix {

// Some errno values mean different things depending on the call that failed.
enum class Call { Create, Open, Read, Write, Other };

std::int32_t WindowsError(int errnoValue, Call call);

}  // namespace platform::posix
