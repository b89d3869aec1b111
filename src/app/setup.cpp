// Setup: the program's whole input, from the command line or the prompts.
#include "run.hpp"

#include "../build/build.hpp"
#include "../platform/platform.hpp"
#include "../selftest/selftest.hpp"
#include "../sieve/oddbitmap.hpp"

Text ArgSlots[2];
std::uint32_t LimitCount = 0;
bool DebugMode = false;

namespace {

void WriteLine(std::string_view text) {
  PutText(ConsoleOut, text);
  PutLineEnd(ConsoleOut);
  CheckIo();
}

// A prompt stays on the answer's line; on a console it shows before the wait.
Text Ask(std::string_view prompt) {
  PutText(ConsoleOut, prompt);
  EndStatement(ConsoleOut);
  CheckIo();
  Text answer = GetLine(ConsoleIn);
  CheckIo();
  return answer;
}

}  // namespace

void Setup() {
  // 1. The test masks, whatever the arguments are.
  FillDmx();

  // 2./3. Two answers take the place of two arguments.
  const int count = platform::ArgumentCount();
  if (count == 0) {
    WriteLine(texts::Title);
    WriteLine(texts::Usage);
    ArgSlots[0] = Ask(texts::FileNamePrompt);
    ArgSlots[1] = Ask(texts::LimitPrompt);
  } else {
    ArgSlots[0] = platform::Argument(0);
    if (count >= 2) ArgSlots[1] = platform::Argument(1);
  }

  // 4. The low 32 bits of a valid number; silently the default otherwise.
  const ParsedLimit parsed = ParseLimit(ArgSlots[1]);
  LimitCount = parsed.valid ? static_cast<std::uint32_t>(parsed.value) : DefaultLimit;

  // 5. Refused before any file is created or emptied.
  if (LimitCount > MaxLimit) {
    WriteLine(texts::LimitTooLarge);
    EndProcess(1);
  }

  // 6. Exactly "-d" or "-D", nothing longer or padded.
  DebugMode = ArgSlots[0] == "-d" || ArgSlots[0] == "-D";
  if (DebugMode) ArgSlots[0] = texts::DebugFileName;

  // 7.
  if (DebugMode) RunSelfTest();
}
