// GetLine, AtEnd and CountLines over arbitrary bytes, delivered by the fake
// platform in pieces of arbitrary size, against a model of the line rules:
// the text ends at the first 0x1A (or where a read fails), it holds one line
// per LF plus one for any bytes after the last LF, and a line's bytes are
// its bytes between the LFs without any CR.
//
// Input layout:
//   byte 0   bits 0-3: how many read sizes follow (0: every read gets what it asks)
//            bits 4-5: 0 AtEnd and GetLine alternating, 1 CountLines, 2 and 3 GetLine alone
//            bit 6: a read fails at an offset; bit 7: with 109 (the writer has
//            gone, which is the end of the input) instead of 5
//   then     one byte per read size (1 + b % 128)
//   then     with bit 6: the offset, two bytes little-endian
//   the rest the file's bytes
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../../src/platform/fake/fake.hpp"
#include "../../src/textio/textchannel.hpp"
#include "../../src/timing/checkpoints.hpp"
#include "check.hpp"

namespace {

constexpr char FileName[] = "primes.txt";

struct Model {
  std::vector<std::string> lines;
  // A failing read ends the run: the lines that ended with an LF are the
  // last to pass their CheckIo.
  bool fails = false;
  std::size_t linesBeforeFailure = 0;
};

Model LinesOf(std::string_view content, bool readFails, bool failureIsEnd, std::size_t failAt) {
  Model model;
  std::string_view text = content;
  if (readFails && failAt < text.size()) text = text.substr(0, failAt);
  const std::size_t ctrlZ = text.find('\x1A');
  if (ctrlZ != std::string_view::npos) text = text.substr(0, ctrlZ);
  // The failing read is made only when every byte before it is consumed,
  // which a 0x1A never is.
  model.fails =
      readFails && !failureIsEnd && failAt <= content.size() && ctrlZ == std::string_view::npos;

  std::string line;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      model.lines.push_back(line);
      line.clear();
      start = i + 1;
    } else if (text[i] != '\r') {
      line.push_back(text[i]);
    }
  }
  model.linesBeforeFailure = model.lines.size();
  if (start < text.size()) model.lines.push_back(line);
  return model;
}

void ResetChannels() {
  fake::Reset();
  PendingIoError = 0;
  BindName(ConsoleOut, "");
  BindName(ConsoleIn, "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  std::size_t at = 1;
  std::vector<std::uint32_t> readSizes;
  for (unsigned k = 0; k < (flags & 15u) && at < size; ++k)
    readSizes.push_back(1 + data[at++] % 128);
  enum Reader { Alternating, Counting, GetLineAlone };
  const Reader reader = std::min(static_cast<Reader>((flags >> 4) & 3), GetLineAlone);
  const bool readFails = (flags & 0x40) != 0;
  const bool failureIsEnd = (flags & 0x80) != 0;
  std::size_t failAt = SIZE_MAX;
  if (readFails) {
    if (size - at < 2) return 0;
    failAt = data[at] | std::size_t{data[at + 1]} << 8;
    at += 2;
  }
  const std::string_view content(reinterpret_cast<const char*>(data + at), size - at);
  const Model model = LinesOf(content, readFails, failureIsEnd, failAt);

  ResetChannels();
  fake::Object& file = fake::Files()[FileName];
  file.bytes = std::string(content);
  file.readSizes = readSizes;
  if (readFails) {
    file.failReadAt = failAt;
    file.readError = failureIsEnd ? platform::ErrorBrokenPipe : 5;
  }

  std::vector<std::string> got;
  std::uint32_t counted = 0;
  bool exited = false;
  try {
    if (reader == Counting) {
      counted = CountLines(FileName);
    } else {
      TextChannel channel;
      BindName(channel, FileName);
      OpenForRead(channel);
      CheckIo();
      for (std::size_t calls = 0; calls < model.lines.size() + 2; ++calls) {
        if (reader == Alternating) {
          const bool atEnd = AtEnd(channel);
          CheckIo();
          // AtEnd consumes nothing: asking twice gives the same answer.
          FUZZ_CHECK(AtEnd(channel) == atEnd);
          CheckIo();
          FUZZ_CHECK(atEnd == (got.size() == model.lines.size()));
          if (atEnd) break;
        }
        const Text line = GetLine(channel);
        CheckIo();
        got.emplace_back(line.data(), line.size());
      }
    }
  } catch (const fake::ProcessExit& exit) {
    exited = true;
    FUZZ_CHECK(exit.code == 1);
    FUZZ_CHECK(fake::StandardOutput().bytes.starts_with("EInOutError"));
  }

  FUZZ_CHECK(exited == model.fails);
  if (reader == Counting) {
    if (!model.fails) FUZZ_CHECK(counted == model.lines.size());
    return 0;
  }
  std::vector<std::string> expected = model.lines;
  if (model.fails) {
    expected.resize(model.linesBeforeFailure);
  } else if (reader == GetLineAlone) {
    // GetLine alone goes on giving the empty string at the end of the input.
    expected.resize(model.lines.size() + 2);
  }
  FUZZ_CHECK(got == expected);
  return 0;
}
