#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

#include "image/playback.h"

namespace mirvane::platform::qt {

// Steps through an animation's frames, each for its own delay, while switched on; the
// image slot switches it on while it is on view.
class QtPlayback : public QObject {
  Q_OBJECT

 public:
  explicit QtPlayback(QObject* parent = nullptr);

  // A new animation, one delay per frame (none for a still picture), at its first frame;
  // `loops` plays after the first, -1 forever. Keeps the on/off state.
  void Load(std::vector<int> delays_ms, int loops);
  // Off keeps the frame on view and the plays left; on goes on from there.
  void SetOn(bool on);
  int current() const { return play_.current(); }
  bool running() const { return timer_.isActive(); }

 Q_SIGNALS:
  void frameChanged(int index);

 private:
  void Step();
  void Arm();

  QTimer timer_;
  mirvane::image::Playback play_;
  bool on_ = false;
};

}  // namespace mirvane::platform::qt
