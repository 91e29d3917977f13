#pragma once

#include <functional>
#include <map>

#include "platform/popup_menu.h"
#include "platform/win32/win32.h"

namespace mirvane::platform::win32 {

// platform::PopupMenu over a Win32 popup menu shown with TrackPopupMenuEx.
class Win32PopupMenu final : public platform::PopupMenu {
 public:
  Win32PopupMenu();
  ~Win32PopupMenu() override;

  // The window that owns the menu while it is open.
  void Owner(HWND owner) { owner_ = owner; }
  void AddEntry(int id, const std::string& caption) override;
  bool Checked(int id) const override;
  void Checked(int id, bool on) override;
  void Popup() override;

  // The handler raised with the id of the entry chosen.
  void OnChoose(std::function<void(int)> handler) { on_choose_ = std::move(handler); }
  HMENU Menu() const { return menu_; }

 private:
  HMENU menu_;
  HWND owner_ = nullptr;
  std::map<int, bool> checked_;
  std::function<void(int)> on_choose_;
};

}  // namespace mirvane::platform::win32
