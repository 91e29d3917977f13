#include "viewer/menu_entries.h"

namespace mirvane::viewer {

const char* MenuCaption(MenuEntry entry) {
  switch (entry) {
    case SMenu_Timer:
      return "タイマー設定";
    case SMenu_Loop:
      return "画像ループ";
    case SMenu_Rotate:
      return "自動回転";
    case SMenu_BeforeImage:
      return "前の画像";
    case SMenu_NextImage:
      return "次の画像";
    case SMenu_Document:
      return "ちょっと説明";
    case SMenu_Version:
      return "ﾊﾞｰｼﾞｮﾝ情報";
    case SMenu_End:
      return "終了";
    case SMenu_Dummy1:
    case SMenu_Dummy2:
    case SMenu_Dummy3:
      break;
  }
  return "-";
}

void BuildMenu(platform::PopupMenu& menu) {
  for (int id = 0; id < kMenuEntryCount; ++id) {
    menu.AddEntry(id, MenuCaption(static_cast<MenuEntry>(id)));
  }
}

}  // namespace mirvane::viewer
