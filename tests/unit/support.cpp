// Shared pieces of the unit tests.
#include "support.hpp"

#include <unistd.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <map>

#include "../../src/app/run.hpp"
#include "../../src/sieve/oddbitmap.hpp"
#include "../../src/textio/textchannel.hpp"
#include "../../src/timing/checkpoints.hpp"

namespace support {

void ResetProgram() {
  if (OddBitmap != nullptr) platform::Release(OddBitmap);
  OddBitmap = nullptr;
  for (Text& slot : ArgSlots) Text().swap(slot);
  fake::Reset();
  fake::SetExeFileName(std::string(ExeName));
  ConsoleOut = TextChannel{};
  ConsoleIn = TextChannel{};
  PrimeFile = TextChannel{};
  PendingIoError = 0;
  LimitCount = 0;
  DebugMode = false;
  SieveBound = 0;
  for (std::uint32_t& mask : Dmx) mask = 0;
  for (MsOfDay& slot : Checkpoints) slot = 0;
}

namespace {

// Every test starts from a fresh process, as far as the program can tell.
class ResetAroundEachTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetProgram(); }
  void OnTestEnd(const ::testing::TestInfo&) override { ResetProgram(); }
};

const bool Registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAroundEachTest);
  return true;
}();

}  // namespace

std::optional<int> RunProgram() {
  return RunToExit([] { RunSequence(); });
}

std::vector<std::string> Writes(const fake::Object& object) {
  std::vector<std::string> writes;
  std::size_t at = 0;
  for (std::uint32_t size : object.writeSizes) {
    writes.push_back(object.bytes.substr(at, size));
    at += size;
  }
  return writes;
}

std::string Out() { return fake::StandardOutput().bytes; }

namespace {

#ifdef _WIN32
// No iconv on Windows: the system's own code-page tables convert, refusing
// what the target code page cannot hold.
std::string Iconv(std::string_view bytes, const char* from, const char* to) {
  auto page = [](std::string_view name) -> UINT { return name == "CP932" ? 932 : CP_UTF8; };
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int wideSize = MultiByteToWideChar(page(from), MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(page(from), MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), wideSize);
  BOOL lossy = FALSE;
  BOOL* lossyOut = page(to) == CP_UTF8 ? nullptr : &lossy;  // UTF-8 takes no such flag
  const int outSize = WideCharToMultiByte(page(to), 0, wide.data(), wideSize, nullptr, 0, nullptr, lossyOut);
  std::string result(static_cast<std::size_t>(outSize), '\0');
  WideCharToMultiByte(page(to), 0, wide.data(), wideSize, result.data(), outSize, nullptr, lossyOut);
  if (wideSize == 0 || outSize == 0 || lossy) {
    ADD_FAILURE() << "the text does not convert from " << from << " to " << to;
    return {};
  }
  return result;
}
#else
std::string Iconv(std::string_view bytes, const char* from, const char* to) {
  static std::map<std::string, std::string> cache;
  const std::string key = std::string(from) + '\0' + std::string(bytes);
  if (auto hit = cache.find(key); hit != cache.end()) return hit->second;

  char path[] = "/tmp/pellarn-iconv-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    ADD_FAILURE() << "no temporary file for iconv";
    return {};
  }
  const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fd);
  std::string result;
  int status = -1;
  if (written) {
    const std::string command = std::string("iconv -f ") + from + " -t " + to + " < " + path;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char chunk[4096];
      std::size_t got;
      while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.append(chunk, got);
      status = pclose(pipe);
    }
  }
  unlink(path);
  if (status != 0) {
    ADD_FAILURE() << "iconv -f " << from << " -t " << to << " rejected the text";
    return {};
  }
  cache.emplace(key, result);
  return result;
}
#endif

}  // namespace

std::string FromCp932(std::string_view bytes) { return Iconv(bytes, "CP932", "UTF-8"); }
std::string ToCp932(std::string_view utf8) { return Iconv(utf8, "UTF-8", "CP932"); }

std::string ReportBytes(std::string_view className, std::string_view offset,
                        std::string_view messageUtf8) {
  std::string report(className);
  report += ToCp932("がモジュール ");
  report += ExeName;
  report += ToCp932(" の ");
  report += offset;
  report += ToCp932(" で発生しました。");
  report += '\n';
  report += ToCp932(messageUtf8);
  report += "\r\n";
  return report;
}

::testing::AssertionResult IsBeforeThenReport(std::string_view out, std::string_view before,
                                              std::string_view className,
                                              std::string_view messageUtf8,
                                              std::string* offset) {
  if (out.substr(0, before.size()) != before)
    return ::testing::AssertionFailure()
           << "output does not begin with the expected lines:\n  output:   "
           << ::testing::PrintToString(std::string(out))
           << "\n  expected: " << ::testing::PrintToString(std::string(before));
  const std::size_t at = before.size() + className.size() + ToCp932("がモジュール ").size() +
                         ExeName.size() + ToCp932(" の ").size();
  const std::string digits(out.substr(std::min(at, out.size()), 8));
  const bool hex = digits.size() == 8 &&
                   digits.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  const std::string expected = ReportBytes(className, hex ? digits : "XXXXXXXX", messageUtf8);
  if (!hex || out.substr(before.size()) != expected)
    return ::testing::AssertionFailure()
           << "no failure report after the expected lines:\n  got:      "
           << ::testing::PrintToString(std::string(out.substr(before.size())))
           << "\n  expected: " << ::testing::PrintToString(expected);
  if (offset != nullptr) *offset = digits;
  return ::testing::AssertionSuccess();
}

std::string Lines(const std::vector<std::uint32_t>& numbers) {
  std::string text;
  for (std::uint32_t n : numbers) text += std::to_string(n) + "\r\n";
  return text;
}

std::vector<std::uint32_t> PrimesUpTo(std::uint32_t limit) {
  std::vector<std::uint32_t> primes;
  for (std::uint32_t n = 2; n <= limit; ++n) {
    bool prime = true;
    for (std::uint32_t p : primes) {
      if (p * p > n) break;
      if (n % p == 0) {
        prime = false;
        break;
      }
    }
    if (prime) primes.push_back(n);
  }
  return primes;
}

}  // namespace support
