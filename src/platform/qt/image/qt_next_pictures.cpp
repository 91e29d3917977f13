#include "platform/qt/image/qt_next_pictures.h"

#include <new>
#include <utility>

#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/qt_rastrel.h"

namespace mirvane::platform::qt {
namespace {

// One worker for the next picture and one for the picture after it: two cores decode
// while the user-interface thread shows.
constexpr int kWorkers = 2;

}  // namespace

QtNextPictures::QtNextPictures(QtRastrel& slot0, QtRastrel& slot1, Prepare prepare)
    : slots_{&slot0, &slot1}, preparer_(std::move(prepare), kWorkers, 2, [this] {
        QMetaObject::invokeMethod(
            &relay_, [this] { ResumeWhenReady(); }, Qt::QueuedConnection);
      }) {
  // The order goes out once the event loop is back: after the picture just shown has been
  // painted, and only the last of several (start-up, then the first layout) with the size
  // the slots have by then.
  order_.setSingleShot(true);
  order_.setInterval(0);
  QObject::connect(&order_, &QTimer::timeout, [this] { Order(); });
}

void QtNextPictures::Expect(const Upcoming& next) noexcept {
  try {
    turn_ = next.turn;
    next_ = next;
    // Not restarted: at a short interval the ticks would keep putting the order off.
    if (!order_.isActive()) order_.start();
  } catch (...) {
    // Only a hint: without it the slots decode when they are asked to.
  }
}

void QtNextPictures::Order() {
  try {
    const QSize box = slots_[next_.slot % 2]->Box();
    preparer_.Want(enabled_ ? next_.names : std::vector<std::string>{}, image::ToSize(box),
                   next_.turn);
  } catch (const std::exception&) {
    // Out of memory: the slots decode when they are asked to.
  }
  ResumeWhenReady();  // what comes next may have changed
}

bool QtNextPictures::HoldTick(std::function<void()> resume) {
  if (order_.isActive()) {  // a tick came first: the order goes out before it is shown
    order_.stop();
    Order();
  }
  if (!enabled_ || !preparer_.AwaitNext()) return false;
  resume_ = std::move(resume);
  return true;
}

void QtNextPictures::ResumeWhenReady() {
  if (!resume_ || preparer_.AwaitNext()) return;
  std::exchange(resume_, nullptr)();
}

void QtNextPictures::Enabled(bool on) {
  enabled_ = on;
  if (!on) preparer_.Want({}, {}, turn_);
  QMetaObject::invokeMethod(
      &relay_, [this] { ResumeWhenReady(); }, Qt::QueuedConnection);
}

image::Supplied QtNextPictures::Supply(const std::string& name, QSize box) {
  try {
    posix::RegularFile file(name);
    if (file.is_open()) {
      auto ready = preparer_.Take(name, file.identity(), image::ToSize(box), turn_);
      if (ready) {
        return {std::move(ready->picture), ready->quarter_turns};
      }
    }
  } catch (const std::exception&) {
    // Decoded here and now, which reports what is wrong.
  }
  return image::DecodeNow(name, box);
}

}  // namespace mirvane::platform::qt
