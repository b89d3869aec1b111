// The run report: the seven checkpoints with the milliseconds since the one
// before, and in debug mode the line count of the file just written.
#include "checkpoints.hpp"

#include "../textio/textchannel.hpp"

namespace {

// Each label is the checkpoint's name padded to 13 characters, then "= ".
constexpr std::string_view CheckpointLabels[CheckpointCount] = {
    "StartOfProg  = ", "EndOfMalloc  = ", "EndOfInit    = ", "EndOf3       = ",
    "EndOfSearch  = ", "EndOfSave    = ", "EndOfProg    = ",
};

}  // namespace

std::uint32_t CountLines(std::string_view fileName) {
  TextChannel file;
  BindName(file, fileName);
  OpenForRead(file);
  CheckIo();
  std::uint32_t count = 0;
  for (;;) {
    const bool atEnd = AtEnd(file);
    CheckIo();
    if (atEnd) break;
    GetLine(file);
    CheckIo();
    ++count;
  }
  // The channel is left open: the run ends right after the report, and the
  // end of the process releases the file.
  return count;
}

void PrintReport(bool debugMode, std::string_view primeFileName) {
  if (debugMode) {
    const std::uint32_t lines = CountLines(primeFileName);
    PutText(ConsoleOut, "Line Count   = ");
    PutInt64(ConsoleOut, lines);
    PutText(ConsoleOut, " lines");
    PutLineEnd(ConsoleOut);
    CheckIo();
  }
  PutLineEnd(ConsoleOut);
  CheckIo();

  PutText(ConsoleOut, CheckpointLabels[StartOfProg]);
  PutInt32(ConsoleOut, Checkpoints[StartOfProg]);
  PutText(ConsoleOut, " ms");
  PutLineEnd(ConsoleOut);
  CheckIo();

  // Each later line in two statements: on a console its first half shows at once.
  for (int slot = EndOfMalloc; slot < CheckpointCount; ++slot) {
    PutText(ConsoleOut, CheckpointLabels[slot]);
    PutInt32(ConsoleOut, Checkpoints[slot]);
    PutText(ConsoleOut, " ms");
    EndStatement(ConsoleOut);
    CheckIo();
    PutText(ConsoleOut, "   (");
    PutInt32(ConsoleOut, Checkpoints[slot] - Checkpoints[slot - 1]);
    PutText(ConsoleOut, " ms)");
    PutLineEnd(ConsoleOut);
    CheckIo();
  }
}
