// Compiled with the console's execution character set: keep every
// non-ASCII text of the program in this file.
#include "messages.h"

const char kBannerStars[] = "☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆\n";
const char kBannerTitle[] = "☆\tザルフェン　ver1.1a\t\t☆\n";
const char kBannerCredit[] = "☆\t2006/9/6\tノイズ除去ツール\t☆\n";
const char kBannerClosingStars[] = "☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆☆\n\n\n";
const char kPromptInputName[] = "入力ファイル名(英数字のみ・拡張子不要)：";
const char kEchoInputName[] = "入力ファイル名 : %s\n";
const char kOverwriteWarning[] = "\nファイルの上書き注意！(別名で保存しましょう）";
const char kPromptOutputName[] = "\n出力ファイル名(英数字のみ・拡張子不要)：";
const char kEchoOutputName[] = "出力ファイル名: %s\n";
const char kSameNameNotice[] = "入力ファイル名と出力ファイル名が同名です。\n出力ファイル名を%sに変更します。\n";
const char kModeMenuFirstHalf[] =
    "\nフィルタモード\tお勧め度(★)\n\t\t0:平滑化フィルタ\t(★☆☆☆☆)\n\t\t1:メディアン・フィルタ\t(★★★☆☆)";
const char kModeMenuSecondHalf[] =
    "\t\t\n\t\t2:オリジナルブレンド\t(★★★★☆)\n\t\t3:くっきり滑らかブレンド(★★★★★)\n\t\t：";
const char kCoefficientHint[] = "ノイズ除去係数を入力してください （20％を目安に)\n";
const char kCoefficientScale[] = "除去強度（高い）<-------------->　除去強度（低い）\n";
const char kCoefficientPrompt[] = "     0[％]                            100[％] :";
const char kNoiseModeHeading[] = "\nノイズ除去モードを入力してください\n";
const char kNoiseModeMenu[] =
    "\nノイズ除去モード 1:シャープに、ノイズを除去\n\t\t 2:全てをまったいらに\n\t\t 3:控えめ除去\n\t\t 4:任意入力\n\t\t :";
const char kThresholdHint[] = "最大閾値と最小閾値を入力してください(0から1までの間)\n";
const char kMaxThresholdPrompt[] = "最大値:";
const char kMinThresholdPrompt[] = "\n最小値:";

const char kAnswersEnded[] = "\n入力が途中で終わりました。処理を中止します。\n";
const char kInputNameTooLong[] = "\n入力ファイル名が長すぎます(半角95文字まで)。処理を中止します。\n";
const char kOutputNameTooLong[] = "\n出力ファイル名が長すぎます(半角95文字まで)。処理を中止します。\n";
const char kRenamedOutputTooLong[] =
    "\n出力ファイル名が長すぎて_2を付けられません(半角93文字まで)。処理を中止します。\n";
const char kInputNameHasBlank[] =
    "\n入力ファイル名に空白は使えません(名前は1行に1つ、空白なしで入力してください)。処理を中止します。\n";
const char kOutputNameHasBlank[] =
    "\n出力ファイル名に空白は使えません(名前は1行に1つ、空白なしで入力してください)。処理を中止します。\n";
const char kInputNameEndsInFolder[] =
    "\n入力ファイル名がフォルダの区切りで終わっていて、ファイル名がありません。処理を中止します。\n";
const char kOutputNameEndsInFolder[] =
    "\n出力ファイル名がフォルダの区切りで終わっていて、ファイル名がありません。処理を中止します。\n";
const char kRenamedOutputIsInput[] =
    "\n_2を付けた出力ファイル名も入力ファイルと同じファイルを指しています。処理を中止します。\n";

const char kPleaseWait[] = "しばらくお待ちください\n";
const char kFilterDone[] = "フィルタ処理完了!!\n";

const char kSmoothingStarted[] = "平滑化フィルタの処理中\n";
const char kMedianStarted[] = "メディアン・フィルタの処理中\n";
const char kProgressFormat[] = "進行度：%2.1lf％\n";

const char kReadOpenFailed[] = "readBmp: ファイル名が間違っているか、存在しません!\n";
const char kReadOpenFailedTrailer[] = "\n\n\n\n\n";
const char kWriteOpenFailed[] = "writeBmp: Open error!\n";
const char kWriteFailed[] = "writeBmp: 書き込みに失敗しました。出力ファイルは作成されていません!\n";
const char kWriteWouldReplaceInput[] =
    "writeBmp: 出力先が入力ファイルと同じファイルになっています。書き込みを中止しました!\n";

const char kRefusalTruncatedHeader[] = "readBmp: ファイルがヘッダの途中で終わっています!\n";
const char kRefusalNotABmp[] = "readBmp: BMPファイルではありません!\n";
const char kRefusalUnsupportedHeader[] = "readBmp: 対応していない形式のBMPヘッダです!\n";
const char kRefusalBadPixelOffset[] = "readBmp: 画素データの位置が正しくありません!\n";
const char kRefusalUnsupportedBitDepth[] = "readBmp: 24ビットカラーのBMPファイルではありません!\n";
const char kRefusalCompressed[] = "readBmp: 圧縮されたBMPファイルには対応していません!\n";
const char kRefusalEmptyPicture[] = "readBmp: 画像の幅または高さが0です!\n";
const char kRefusalNegativeWidth[] = "readBmp: 画像の幅が負の値です!\n";
const char kRefusalPictureTooLarge[] = "readBmp: 画像が大きすぎます(幅・高さとも8192画素まで)!\n";
const char kRefusalTruncatedPixels[] = "readBmp: ファイルが画素データの途中で終わっています!\n";
const char kRefusalTrailingTooLarge[] = "readBmp: 画素データの後ろのデータが大きすぎます(16MBまで)!\n";
const char kRefusalReadError[] = "readBmp: ファイルを読み込めません!\n";
const char kRefusalUnknown[] = "readBmp: ?\n";
