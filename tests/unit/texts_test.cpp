// Every Shift-JIS text of the program, decoded by iconv and compared with
// what it must read as.
#include <gtest/gtest.h>

#include <string_view>

#include "../../src/app/run.hpp"
#include "../../src/textio/textchannel.hpp"
#include "../../src/timing/checkpoints.hpp"
#include "support.hpp"

TEST(ProgramTexts, DecodeFromCodePage932ToTheirJapaneseForms) {
  struct Case {
    std::string_view bytes;
    const char* utf8;
  };
  const Case cases[] = {
      // Run sequence and prompts.
      {texts::Title, "ザンテロ・バージョン５"},
      {texts::Usage, "usage: <Exec-filename> [OutPutFileName] LimitCount"},
      {texts::FileNamePrompt, "出力ファイル名を入れてください："},
      {texts::LimitPrompt, "限界値を入れてください："},
      {texts::LimitTooLarge, "素数上限値が大きすぎるので中止します !"},
      {texts::Start, "  開始 "},
      {texts::End, "  終了 "},
      {texts::ElapsedBefore, "実行時間は"},
      {texts::ElapsedAfter, " 秒でした。"},
      {texts::DebugFileName, "$sosuu$.txt"},
      // The failure report.
      {texts::EInOutError, "EInOutError"},
      {texts::EOutOfMemory, "EOutOfMemory"},
      {texts::ReportAtModule, "がモジュール "},
      {texts::ReportOf, " の "},
      {texts::ReportOccurred, " で発生しました。"},
      {texts::FileNotFound, "ファイルが見つかりません"},
      {texts::InvalidFileName, "不正なファイル名です"},
      {texts::TooManyOpenFiles, "オープンしたファイルが多すぎます"},
      {texts::AccessDenied, "ファイルへのアクセスが拒否されました"},
      {texts::ReadBeyondEnd, "ファイルの末尾以降を読み込みました"},
      {texts::DiskFull, "ディスクがいっぱいです"},
      {texts::NotANumber, "入力値が数値ではありません"},
      {texts::IoErrorOpen, "I/O エラー ("},
      {texts::OutOfMemory, "メモリが足りません"},
      // The clock.
      {texts::EConvertError, "EConvertError"},
      {texts::InvalidDate, "日付に変換できない値が渡されました"},
      {texts::InvalidTime, "時刻に変換できない値が渡されました"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(support::FromCp932(c.bytes), c.utf8);
  }
}
