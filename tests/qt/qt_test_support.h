#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace mirvane::platform::qt::testing {

// Runs `act` on the popup or modal widget of type W once it is up, from the event
// loop that shows it. Gives up after about two seconds.
template <typename W>
void WhenShown(std::function<void(W&)> act, int tries = 200) {
  QTimer::singleShot(10, [act = std::move(act), tries] {
    QWidget* up = QApplication::activePopupWidget();
    if (up == nullptr) up = QApplication::activeModalWidget();
    if (auto* widget = qobject_cast<W*>(up); widget != nullptr && widget->isVisible()) {
      act(*widget);
    } else if (tries > 0) {
      WhenShown<W>(std::move(act), tries - 1);
    }
  });
}

// While it lives, a popup or modal widget still open after five seconds is closed, so
// that a failed expectation cannot leave a modal loop running for ever.
class HangGuard {
 public:
  HangGuard() {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [] {
      if (QWidget* up = QApplication::activePopupWidget()) up->close();
      if (QWidget* up = QApplication::activeModalWidget()) up->close();
    });
    timer_.start(5000);
  }

 private:
  QTimer timer_;
};

}  // namespace mirvane::platform::qt::testing
