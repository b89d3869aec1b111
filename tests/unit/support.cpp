// Shared pieces of the unit tests.
#include "support.hpp"

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
                                              std::string_view messageUtf8, std::string* offset) {
  if (out.substr(0, before.size()) != before)
    return ::testing::AssertionFailure()
           << "output does not begin with the expected lines:\n  output:   "
           << ::testing::PrintToString(std::string(out))
           << "\n  expected: " << ::testing::PrintToString(std::string(before));
  const std::size_t at = before.size() + className.size() + ToCp932("がモジュール ").size() +
                         ExeName.size() + ToCp932(" の ").size();
  const std::string digits(out.substr(std::min(at, out.size()), 8));
  const bool hex =
      digits.size() == 8 && digits.find_first_not_of("0123456789ABCDEF") == std::string::npos;
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
