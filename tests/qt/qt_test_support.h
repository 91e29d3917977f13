#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
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

// Runs the event loop until `done` holds or `ms` have passed; returns whether it
// holds. Unlike QTRY_*, whose failures gtest never sees, callers assert on it.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
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
