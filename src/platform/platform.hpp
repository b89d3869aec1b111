// What the program needs of the operating system, and nothing more.
//
// Two halves implement it with the same file names, posix/ and win32/, and a
// third, fake/, serves the unit tests. CMake picks the half a target links.
// Every failure is reported as a Windows system error number (2 file not
// found, 3 path not found, 5 access denied, 112 disk full, 232 pipe whose
// reader has gone, ...), whatever the system underneath numbers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Handle = std::intptr_t;
constexpr Handle NoHandle = -1;

// Error numbers the layer above tests for by value.
constexpr std::int32_t ErrorFileNotFound = 2;
constexpr std::int32_t ErrorPathNotFound = 3;
constexpr std::int32_t ErrorBrokenPipe = 109;   // reading: the writer has gone
constexpr std::int32_t ErrorNameTooLong = 206;  // ERROR_FILENAME_EXCED_RANGE

// What kind of object an open handle is; Unknown when the system cannot tell.
enum class FileKind { CharDevice, Disk, Pipe, Unknown };

// Call once, first thing in main. The Win32 half ignores argc/argv and splits
// the process's one command line itself.
void Startup(int argc, char** argv);

// Standard streams. NoHandle when the process has none (closed, invalid).
Handle StandardInput();
Handle StandardOutput();

// Files. On failure NoHandle is returned and error receives the code.
Handle CreateForWrite(const char* name, std::int32_t& error);  // create or empty
Handle OpenForRead(const char* name, std::int32_t& error);     // existing only
FileKind KindOf(Handle handle);
std::int32_t Close(Handle handle);  // 0 or the code

// Writes all bytes; returns 0 or the code.
std::int32_t Write(Handle handle, const std::uint8_t* bytes, std::uint32_t count);
// One read of up to capacity bytes; returns 0 or the code. 0 bytes with
// code 0 is the end of the input.
std::int32_t Read(Handle handle, std::uint8_t* bytes, std::uint32_t capacity,
                  std::uint32_t& received);

// Heap. nullptr when the request cannot be satisfied.
void* Allocate(std::size_t bytes);
void Release(void* block);

// Local wall clock, time zone and daylight saving applied.
struct LocalClockReading {
  std::uint16_t year, month, day, hour, minute, second, millisecond;
};
LocalClockReading ReadLocalClock();

// The arguments after the program's own name, one by one.
int ArgumentCount();
std::string_view Argument(int index);  // index 0 is the first after the name

// The running program's file name without its directory, e.g. pellarn-1.exe.
std::string_view ExeFileName();
// Start of the loaded image, for code offsets in failure reports.
std::uintptr_t ImageBase();

[[noreturn]] void ExitProcess(int code);

// Splits one command line as Windows programs traditionally do: runs of
// codes 1 to 32 separate, a double quote opens a stretch that ends at the
// next one, an empty "" at an argument's start is passed over, Shift-JIS
// double-byte characters are stepped over whole. A zero byte ends the line.
// The first element is the program's own name.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace platform
