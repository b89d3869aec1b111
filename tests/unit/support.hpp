// Shared pieces of the unit tests: a clean program and fake platform for
// every test, whole runs driven to their exit code, and Shift-JIS through
// iconv so that expectations can be written in UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../../src/platform/fake/fake.hpp"

namespace support {

// The program's file name as the fake platform gives it after a reset.
constexpr std::string_view ExeName = "pellarn-1.exe";

// Forgets the fake platform's state and puts every global of the program
// back to its state at process start (closed channels, no pending code,
// empty slots, zeroed Dmx and checkpoints, no bitmap). Runs by itself
// before and after every test; it releases OddBitmap, so a test that sets
// OddBitmap takes the block from platform::Allocate.
void ResetProgram();

// Runs a call that ends the process (RunSequence, Setup, a report) until the
// fake exit: its exit code, or nullopt when it returned without ending.
template <typename Call>
std::optional<int> RunToExit(Call&& call) {
  try {
    call();
  } catch (const fake::ProcessExit& exit) {
    return exit.code;
  }
  return std::nullopt;
}
// The whole run.
std::optional<int> RunProgram();

// The bytes an object received, split at its platform writes.
std::vector<std::string> Writes(const fake::Object& object);
// What standard output received.
std::string Out();

// Shift-JIS to UTF-8 and back, through iconv; a text that iconv rejects
// fails the test.
// Converts between code pages by name ("CP932", "UTF-8"); a text that does
// not convert fails the test. codepage_posix.cpp or codepage_win32.cpp.
std::string Iconv(std::string_view bytes, const char* from, const char* to);
std::string FromCp932(std::string_view bytes);
std::string ToCp932(std::string_view utf8);

// The two-line failure report: class name, the exe name, the eight-digit
// code offset, the message (UTF-8, with its final ".").
std::string ReportBytes(std::string_view className, std::string_view offset,
                        std::string_view messageUtf8);

// Whether `out` is `before` followed by one failure report of that class and
// message and nothing else; the report's offset goes to *offset.
::testing::AssertionResult IsBeforeThenReport(std::string_view out, std::string_view before,
                                              std::string_view className,
                                              std::string_view messageUtf8,
                                              std::string* offset = nullptr);

// Prime list file content: one number per line with CR LF.
std::string Lines(const std::vector<std::uint32_t>& numbers);
// The primes up to limit by trial division, for comparison with the sieve.
std::vector<std::uint32_t> PrimesUpTo(std::uint32_t limit);

}  // namespace support
