// The fake platform for unit tests: in-memory files and standard streams,
// scripted reads and failures, a scripted clock, and an exit that throws.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../platform.hpp"

namespace fake {

// Thrown by platform::ExitProcess so that a test can watch a run end.
struct ProcessExit {
  int code;
};

struct Object {
  std::string bytes;  // what was written, or what is there to read
  platform::FileKind kind = platform::FileKind::Disk;
  std::size_t readAt = 0;
  // Sizes of successive reads (cycled); empty means up to the capacity asked.
  std::vector<std::uint32_t> readSizes;
  std::size_t readCount = 0;
  std::int32_t readError = 0;  // returned by every read once readAt reaches failReadAt
  std::size_t failReadAt = SIZE_MAX;
  std::int32_t writeError = 0;  // returned by a write that would pass writeCapacity
  std::size_t writeCapacity = SIZE_MAX;
  std::int32_t closeError = 0;
  std::vector<std::uint32_t> writeSizes;  // the size of every platform write
  // This one write attempt (counted from 0, failed ones included) fails with
  // writeError; the writes after it succeed again.
  std::size_t failWriteAt = SIZE_MAX;
  std::size_t writeAttempts = 0;
  bool open = false;
};

// Forgets every object, handle, argument, clock reading and failure.
void Reset();

Object& StandardInput();   // kind and content of standard input
Object& StandardOutput();  // what reached standard output
void CloseStandardInput();
void CloseStandardOutput();

// Files by name: put one there to be read, or look at one written.
std::map<std::string, Object>& Files();
// The code that creating or opening this name fails with.
void FailOpen(const std::string& name, std::int32_t code);
// The code that only opening this name for reading fails with (a file that
// has gone after it was written).
void FailOpenForRead(const std::string& name, std::int32_t code);
// The kind a file created under this name reports (e.g. a device).
void CreateAs(const std::string& name, platform::FileKind kind);

void SetArguments(std::vector<std::string> arguments);
void SetExeFileName(std::string name);

// Successive ReadLocalClock results; the last one repeats.
void ScriptClock(std::vector<platform::LocalClockReading> readings);
// Allocations of at least this many bytes fail.
void FailAllocationsFrom(std::size_t bytes);

// The image base that report offsets are taken against.
constexpr std::uintptr_t FakeImageBase = 0;

}  // namespace fake
