#pragma once

#include "platform/command_line.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_form.h"
#include "platform/win32/win32_interval_dialog.h"
#include "platform/win32/win32_message_box.h"
#include "image/next_pictures.h"
#include "platform/pictures_ahead.h"
#include "viewer/lumivo.h"

namespace mirvane::platform::win32 {

// The whole program on Win32: the platform objects, the main window's logic, and
// every event wired to its handler. Needs COM and OLE initialised on the thread.
class Win32Viewer {
 public:
  explicit Win32Viewer(const platform::CommandLine& command);
  Win32Viewer(const Win32Viewer&) = delete;
  Win32Viewer& operator=(const Win32Viewer&) = delete;

  // Runs the load handler, then brings the window up at its first size.
  void Start();

  // Off: every picture is decoded at its Render, none ahead.
  void PrepareAhead(bool on);

  Win32Form& Form() { return form_; }

 private:
  Win32Form form_;
  Win32MessageBox box_;
  Win32IntervalDialog dialog_;
  Win32FileSystem files_;
  image::NextPictures next_;
  PicturesAhead ahead_{next_};
  viewer::Lumivo lumivo_;
};

}  // namespace mirvane::platform::win32
