#include "platform/win32/win32_popup_menu.h"

#include "platform/error.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32 {
namespace {

// Command 0 means "nothing chosen" to TrackPopupMenuEx, so the core's ids are moved up.
constexpr int kFirstCommand = 100;

UINT Command(int id) { return static_cast<UINT>(id + kFirstCommand); }

}  // namespace

Win32PopupMenu::Win32PopupMenu() : menu_(CreatePopupMenu()) {
  if (menu_ == nullptr) throw Error("cannot create the popup menu");
}

Win32PopupMenu::~Win32PopupMenu() { DestroyMenu(menu_); }

void Win32PopupMenu::AddEntry(int id, const std::string& caption) {
  if (checked_.count(id) != 0 || id < 0) return;  // ids name one entry for good
  checked_[id] = false;
  if (caption == "-") {
    AppendMenuW(menu_, MF_SEPARATOR, Command(id), nullptr);
  } else {
    AppendMenuW(menu_, MF_STRING, Command(id), MenuCaption(caption).c_str());
  }
}

bool Win32PopupMenu::Checked(int id) const {
  const auto it = checked_.find(id);
  return it != checked_.end() && it->second;
}

void Win32PopupMenu::Checked(int id, bool on) {
  const auto it = checked_.find(id);
  if (it == checked_.end()) return;
  it->second = on;
  CheckMenuItem(menu_, Command(id), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void Win32PopupMenu::Popup() {
  POINT at{};
  GetCursorPos(&at);
  // The owner must be the foreground window, or the menu does not close when the
  // user clicks elsewhere.
  if (owner_ != nullptr) SetForegroundWindow(owner_);
  const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD;
  const int command = static_cast<int>(TrackPopupMenuEx(menu_, flags, at.x, at.y, owner_, nullptr));
  if (owner_ != nullptr) PostMessageW(owner_, WM_NULL, 0, 0);
  const int id = command - kFirstCommand;
  if (command == 0 || checked_.count(id) == 0 || !on_choose_) return;
  on_choose_(id);
}

}  // namespace mirvane::platform::win32
