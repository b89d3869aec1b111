// The run sequence: every step of a run in its order, with the checkpoints
// placed directly between the phases they measure.
#include "run.hpp"

#include "../build/build.hpp"
#include "../platform/platform.hpp"
#include "../sieve/oddbitmap.hpp"
#include "../timing/checkpoints.hpp"

TextChannel PrimeFile{};

void RunSequence() {
  TakeCheckpoint(StartOfProg);

  OddBitmap = static_cast<std::uint32_t*>(platform::Allocate(BitmapBytes));
  if (OddBitmap == nullptr) FailOutOfMemory();
  TakeCheckpoint(EndOfMalloc);

  Setup();

  // The banner: Title, Subtitle and (LimitCount), without blanks.
  PutText(ConsoleOut, texts::Title);
  PutText(ConsoleOut, Subtitle);
  PutByte(ConsoleOut, '(');
  PutInt64(ConsoleOut, LimitCount);
  PutByte(ConsoleOut, ')');
  PutLineEnd(ConsoleOut);
  CheckIo();

  PutText(ConsoleOut, texts::Start);
  PutInt32(ConsoleOut, Checkpoints[StartOfProg]);
  PutLineEnd(ConsoleOut);
  CheckIo();

  SieveBound = CeilSqrt(LimitCount);

  // Created only now, after Setup accepted the limit. 2 and 3 are written
  // whatever the limit is; the bitmap never holds them.
  BindName(PrimeFile, ArgSlots[0]);
  OpenForWrite(PrimeFile);
  CheckIo();
  PutInt32(PrimeFile, 2);
  PutLineEnd(PrimeFile);
  CheckIo();
  PutInt32(PrimeFile, 3);
  PutLineEnd(PrimeFile);
  CheckIo();

  FillOddBitmap();
  TakeCheckpoint(EndOfInit);

  StrikeMultiplesOf3(LimitCount);
  TakeCheckpoint(EndOf3);

  const std::uint32_t stoppedAt = CrossOut(PrimeFile, LimitCount);
  TakeCheckpoint(EndOfSearch);

  ScanTail(PrimeFile, stoppedAt, LimitCount);
  CloseChannel(PrimeFile);
  CheckIo();
  TakeCheckpoint(EndOfSave);

  platform::Release(OddBitmap);
  OddBitmap = nullptr;
  TakeCheckpoint(EndOfProg);

  PutText(ConsoleOut, texts::End);
  PutInt32(ConsoleOut, Checkpoints[EndOfProg]);
  PutLineEnd(ConsoleOut);
  CheckIo();

  // Seconds as the signed difference of two times of day, negative across midnight.
  PutText(ConsoleOut, texts::ElapsedBefore);
  EndStatement(ConsoleOut);
  CheckIo();
  PutFixed(ConsoleOut, (Checkpoints[EndOfProg] - Checkpoints[StartOfProg]) / 1000.0, 10, 3);
  EndStatement(ConsoleOut);
  CheckIo();
  PutText(ConsoleOut, texts::ElapsedAfter);
  PutLineEnd(ConsoleOut);
  CheckIo();

  PutLineEnd(ConsoleOut);
  CheckIo();

  PrintReport(DebugMode, ArgSlots[0]);
  EndProcess(0);
}
