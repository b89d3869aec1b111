// The run sequence and Setup: the order of the whole run, its console
// lines, the arguments and prompts.
#pragma once

#include <cstdint>
#include <string_view>

#include "../textio/textchannel.hpp"

constexpr std::uint32_t DefaultLimit = 1000;

extern Text ArgSlots[2];  // [0] OutPutFileName, [1] the limit text
extern std::uint32_t LimitCount;
extern bool DebugMode;
extern TextChannel PrimeFile;

struct ParsedLimit {
  bool valid;
  std::int64_t value;
};

// The limit text: blanks (code 32 only), one sign, then decimal digits, or
// hexadecimal after "$" or "0x"/"0X", running to the end of the text, within
// the signed 64-bit range. A pure function of the bytes.
ParsedLimit ParseLimit(std::string_view text);

// Gathers the input and decides the mode; may end the process (exit code 1)
// when the limit is above MaxLimit.
void Setup();

// The whole run, from StartOfProg to the exit code.
[[noreturn]] void RunSequence();

namespace texts {
constexpr std::string_view Title =
    "\x83\x55\x83\x93\x83\x65\x83\x8D\x81\x45\x83\x6F\x81\x5B\x83\x57\x83\x87\x83\x93\x82\x54";  // ザンテロ・バージョン５
constexpr std::string_view Usage = "usage: <Exec-filename> [OutPutFileName] LimitCount";
constexpr std::string_view FileNamePrompt =
    "\x8F\x6F\x97\xCD\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC\x82\xF0\x93\xFC\x82\xEA\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x46";  // 出力ファイル名を入れてください：
constexpr std::string_view LimitPrompt =
    "\x8C\xC0\x8A\x45\x92\x6C\x82\xF0\x93\xFC\x82\xEA\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x46";  // 限界値を入れてください：
constexpr std::string_view LimitTooLarge =
    "\x91\x66\x90\x94\x8F\xE3\x8C\xC0\x92\x6C\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xE9\x82\xCC\x82\xC5\x92\x86\x8E\x7E\x82\xB5\x82\xDC\x82\xB7 !";  // 素数上限値が大きすぎるので中止します !
constexpr std::string_view Start = "  \x8A\x4A\x8E\x6E ";  // "  開始 "
constexpr std::string_view End = "  \x8F\x49\x97\xB9 ";    // "  終了 "
constexpr std::string_view ElapsedBefore =
    "\x8E\xC0\x8D\x73\x8E\x9E\x8A\xD4\x82\xCD";  // 実行時間は
constexpr std::string_view ElapsedAfter =
    " \x95\x62\x82\xC5\x82\xB5\x82\xBD\x81\x42";  // " 秒でした。"
constexpr std::string_view DebugFileName = "$sosuu$.txt";
}  // namespace texts
