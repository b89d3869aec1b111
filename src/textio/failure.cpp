// CheckIo's slow path and the two-line failure report that ends a run.
#include "textchannel.hpp"

#include <algorithm>
#include <cstring>

namespace {

std::string_view IoFailureMessage(std::int32_t code) {
  switch (code) {
    case 2: return texts::FileNotFound;
    case 3: return texts::InvalidFileName;
    case 4: return texts::TooManyOpenFiles;
    case 5: return texts::AccessDenied;
    case 100: return texts::ReadBeyondEnd;
    case 101: return texts::DiskFull;
    case 106: return texts::NotANumber;
    default: return {};  // the general "I/O エラー (n)" form
  }
}

// Collects the report in storage of its own: it must work when the heap is gone.
struct ReportText {
  char bytes[1024];
  std::size_t length = 0;

  void Add(std::string_view piece) {
    const std::size_t part = std::min(piece.size(), sizeof bytes - length);
    std::memcpy(bytes + length, piece.data(), part);
    length += part;
  }
};

}  // namespace

void FailureReport(std::string_view className, std::string_view message, const void* place) {
  // What the program printed before the failure stands before the report.
  // A failure of this write-out has nowhere left to be reported either.
  if (ConsoleOut.mode == ChannelMode::Writing) WriteOutBuffer(ConsoleOut);

  const auto offset =
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(place) - platform::ImageBase());
  char hex[8];
  for (int k = 7, shift = 0; k >= 0; --k, shift += 4)
    hex[k] = "0123456789ABCDEF"[(offset >> shift) & 15];

  ReportText report;
  report.Add(className);
  report.Add(texts::ReportAtModule);
  report.Add(platform::ExeFileName());
  report.Add(texts::ReportOf);
  report.Add(std::string_view(hex, 8));
  report.Add(texts::ReportOccurred);
  report.Add("\n");
  report.Add(message);
  if (!message.empty() && message.back() != '.') report.Add(".");
  report.Add("\r\n");

  // Straight to standard output, past ConsoleOut's buffer; a failure here
  // has nowhere left to be reported.
  const platform::Handle out = platform::StandardOutput();
  if (out != platform::NoHandle)
    platform::Write(out, reinterpret_cast<const std::uint8_t*>(report.bytes),
                    static_cast<std::uint32_t>(report.length));
  PendingIoError = 0;
  EndProcess(1);
}

void ReportIoFailure(std::int32_t code, const void* place) {
  std::string_view message = IoFailureMessage(code);
  ReportText general;
  if (message.empty()) {
    char digits[MaxInt64Digits];
    char* const end = digits + sizeof digits;
    const char* start = FormatInt64(code, end);
    general.Add(texts::IoErrorOpen);
    general.Add(std::string_view(start, static_cast<std::size_t>(end - start)));
    general.Add(")");
    message = std::string_view(general.bytes, general.length);
  }
  FailureReport(texts::EInOutError, message, place);
}

void ReportOutOfMemory(const void* place) {
  FailureReport(texts::EOutOfMemory, texts::OutOfMemory, place);
}

void FailPendingIo() {
  const std::int32_t code = PendingIoError;
  PendingIoError = 0;
  ReportIoFailure(code, __builtin_return_address(0));
}

void FailOutOfMemory() { ReportOutOfMemory(__builtin_return_address(0)); }
