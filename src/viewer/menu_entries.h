#pragma once

#include "platform/popup_menu.h"

namespace mirvane::viewer {

// The popup's entries, top to bottom; the values are their ids in the menu.
enum MenuEntry : int {
  SMenu_Timer,
  SMenu_Loop,
  SMenu_Rotate,
  SMenu_Dummy1,
  SMenu_BeforeImage,
  SMenu_NextImage,
  SMenu_Dummy2,
  SMenu_Document,
  SMenu_Version,
  SMenu_Dummy3,
  SMenu_End,
};
inline constexpr int kMenuEntryCount = 11;

// The caption of an entry; "-" for a separator.
const char* MenuCaption(MenuEntry entry);

// Adds the eleven entries to an empty menu, in order.
void BuildMenu(platform::PopupMenu& menu);

}  // namespace mirvane::viewer
