#pragma once

#include <array>

#include "platform/command_line.h"
#include "platform/file_system.h"
#include "platform/interval_dialog.h"
#include "platform/message_box.h"
#include "platform/next_pictures.h"
#include "platform/popup_menu.h"
#include "platform/rastrel.h"
#include "platform/text_box.h"
#include "platform/timer.h"
#include "platform/window.h"

namespace mirvane::viewer {

// The controls the main window holds, and the system services it uses.
struct Controls {
  platform::Window& Form;
  std::array<platform::Rastrel*, 2> ImageControl;
  platform::Timer& Timer1;
  platform::TextBox& Argument;
  platform::PopupMenu& SMenu;
  platform::MessageBox& Box;
  platform::IntervalDialog& SetInterval;
  platform::FileSystem& Files;
  const platform::CommandLine& Command;
  platform::NextPictures& Next;
};

}  // namespace mirvane::viewer
