#pragma once

#include <string>

namespace mirvane::platform {

// A popup menu whose entries are added once, in order, by the core. Choosing an
// entry is reported to the handler that the composition root registered for it.
class PopupMenu {
 public:
  PopupMenu() = default;
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;
  virtual ~PopupMenu() = default;

  // Appends an entry; the caption "-" makes a separator. `id` names it from now on.
  virtual void AddEntry(int id, const std::string& caption) = 0;
  virtual bool Checked(int id) const = 0;
  virtual void Checked(int id, bool on) = 0;
  // Opens the menu at the mouse pointer and returns when it has closed.
  virtual void Popup() = 0;
};

}  // namespace mirvane::platform
