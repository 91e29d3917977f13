#pragma once

#include <QMenu>
#include <functional>
#include <map>
#include <string>

#include "platform/popup_menu.h"

class QAction;
class QWidget;

namespace mirvane::platform::qt {

// platform::PopupMenu over a QMenu. The check marks are the core's alone: choosing
// an entry never changes them.
class QtPopupMenu final : public platform::PopupMenu {
 public:
  explicit QtPopupMenu(QWidget* parent = nullptr);

  void AddEntry(int id, const std::string& caption) override;
  bool Checked(int id) const override;
  void Checked(int id, bool on) override;
  // Runs QMenu::exec at the pointer; the chosen entry goes to the handler after the
  // menu has closed.
  void Popup() override;

  // The handler raised with the id of the chosen entry; replaces any earlier one.
  void OnChoose(std::function<void(int)> handler);

  QMenu& Menu() { return menu_; }
  // The action of an entry, or nullptr for an unknown id.
  QAction* Action(int id) const;

 private:
  struct Entry {
    QAction* action = nullptr;
    bool checked = false;
  };

  void Apply(const Entry& entry);

  QMenu menu_;
  std::map<int, Entry> entries_;
  std::function<void(int)> on_choose_;
};

}  // namespace mirvane::platform::qt
