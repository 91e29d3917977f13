// Builds the program on Qt and runs its event loop.

#include <malloc.h>

#include <QApplication>
#include <QLoggingCategory>

#include "platform/qt/qt_command_line.h"
#include "platform/qt/qt_viewer.h"

int main(int argc, char* argv[]) {
  namespace qt = mirvane::platform::qt;
  // Pictures are large, short-lived buffers, often freed on another thread than the one
  // that made them. A fixed threshold keeps each in a mapping of its own, returned at
  // once when freed; glibc would otherwise raise it after the first free and keep them
  // in per-thread heaps (110-116 MB peak instead of 68 in the memory benchmark). One
  // heap for all threads: with one per decoding thread the soak's memory kept growing
  // (5.2 MB over 9,000 shows, against none with one).
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  mallopt(M_ARENA_MAX, 1);

  // Every argument is a file name: taken here, and kept from Qt, which would read
  // some of them ("-style", "-platform") as its own options.
  const qt::QtCommandLine command(argc, argv);
  static char fallback_name[] = "mirvane";
  static char* qt_argv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallback_name, nullptr};
  static int qt_argc = 1;
  QApplication app(qt_argc, qt_argv);
  // A file that cannot be shown is passed over without a word; the codecs' warnings
  // about it would only fill the terminal.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));

  qt::QtViewer viewer(command);
  viewer.Start();
  return app.exec();
}
