#include "platform/qt/qt_popup_menu.h"

#include <QAction>
#include <QCursor>
#include <QString>
#include <utility>

namespace mirvane::platform::qt {

QtPopupMenu::QtPopupMenu(QWidget* parent) : menu_(parent) {}

void QtPopupMenu::AddEntry(int id, const std::string& caption) {
  if (entries_.count(id) != 0) return;  // ids name one entry for good
  QAction* action = nullptr;
  if (caption == "-") {
    action = menu_.addSeparator();
  } else {
    // '&' would mark an access key; the menu has none.
    QString text = QString::fromStdString(caption);
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    action = menu_.addAction(text);
    const int entry_id = id;
    // Qt flips a checkable action before it reports the trigger; put the core's
    // state back so that only the core's own handler changes it.
    QObject::connect(action, &QAction::triggered, &menu_, [this, entry_id] {
      const auto it = entries_.find(entry_id);
      if (it != entries_.end()) Apply(it->second);
    });
  }
  entries_[id] = Entry{action, false};
  Apply(entries_[id]);
}

bool QtPopupMenu::Checked(int id) const {
  const auto it = entries_.find(id);
  return it != entries_.end() && it->second.checked;
}

void QtPopupMenu::Checked(int id, bool on) {
  const auto it = entries_.find(id);
  if (it == entries_.end()) return;
  it->second.checked = on;
  Apply(it->second);
}

void QtPopupMenu::Popup() {
  QAction* chosen = menu_.exec(QCursor::pos());
  if (chosen == nullptr || !on_choose_) return;
  for (const auto& [id, entry] : entries_) {
    if (entry.action == chosen) {
      on_choose_(id);
      return;
    }
  }
}

void QtPopupMenu::OnChoose(std::function<void(int)> handler) { on_choose_ = std::move(handler); }

QAction* QtPopupMenu::Action(int id) const {
  const auto it = entries_.find(id);
  return it == entries_.end() ? nullptr : it->second.action;
}

void QtPopupMenu::Apply(const Entry& entry) {
  if (entry.action == nullptr || entry.action->isSeparator()) return;
  // Checkable only while checked: styles draw an empty box beside every checkable
  // entry, where an unchecked entry should show nothing.
  entry.action->setCheckable(entry.checked);
  entry.action->setChecked(entry.checked);
}

}  // namespace mirvane::platform::qt
