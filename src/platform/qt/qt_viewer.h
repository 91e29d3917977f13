#pragma once

#include "platform/command_line.h"
#include "platform/posix/posix_file_system.h"
#include "image/next_pictures.h"
#include "platform/pictures_ahead.h"
#include "platform/qt/qt_form.h"
#include "platform/qt/qt_interval_dialog.h"
#include "platform/qt/qt_message_box.h"
#include "viewer/lumivo.h"

namespace mirvane::platform::qt {

// The whole program on Qt: the platform objects, the main window's logic, and every
// event wired to its handler. Needs a QApplication.
class QtViewer {
 public:
  explicit QtViewer(const platform::CommandLine& command);
  QtViewer(const QtViewer&) = delete;
  QtViewer& operator=(const QtViewer&) = delete;

  // Runs the load handler, then brings the window up at its first size.
  void Start();

  QtForm& Form() { return form_; }
  // Whether the slots get pictures prepared ahead (on unless told otherwise); the
  // benchmark compares both.
  void PrepareAhead(bool on);

 private:
  QtForm form_;
  QtMessageBox box_;
  QtIntervalDialog dialog_;
  posix::PosixFileSystem files_;
  mirvane::image::NextPictures next_;
  PicturesAhead ahead_{next_};
  viewer::Lumivo lumivo_;
};

}  // namespace mirvane::platform::qt
