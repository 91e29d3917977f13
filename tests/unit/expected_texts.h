#pragma once

#include <array>
#include <string_view>

// The user-interface texts, byte for byte as the design gives them.
namespace mirvane::expected {

inline constexpr std::array<std::string_view, 11> kMenuCaptions = {
    "タイマー設定",  // SMenu_Timer
    "画像ループ",    // SMenu_Loop
    "自動回転",      // SMenu_Rotate
    "-",             // SMenu_Dummy1
    "前の画像",      // SMenu_BeforeImage
    "次の画像",      // SMenu_NextImage
    "-",             // SMenu_Dummy2
    "ちょっと説明",  // SMenu_Document
    "ﾊﾞｰｼﾞｮﾝ情報",   // SMenu_Version
    "-",             // SMenu_Dummy3
    "終了",          // SMenu_End
};

inline constexpr std::array<std::string_view, 5> kDocumentLines = {
    "イメージファイルをドロップすると、連続表示します。",
    "表示する時間は、タイマー設定で変更してください。",
    "自動回転で、最大表示するように回転します。",
    "ループをonにすると、画像を繰り返し表示します。",
    "表示できる画像は、BMP,JPG,PCX,TIFF,GIF,ORVAなどです。",
};

inline constexpr std::string_view kDocumentTitle = "ちょっと説明";
inline constexpr std::string_view kVersionTitle = "ﾊﾞｰｼﾞｮﾝ情報";
inline constexpr std::string_view kDropMessage = "ファイル以外はドロップできません。";
inline constexpr std::string_view kDropTitle = "ドロップエラー";
inline constexpr std::string_view kRangeMessage = "1～65535の間の数値を指定してください。";
inline constexpr std::string_view kRangeTitle = "数値範囲エラー";

}  // namespace mirvane::expected
