// Builds the Qt platform and the viewer, wires every event to its handler and runs
// the event loop.

#include <QApplication>
#include <QLoggingCategory>
#include <QObject>
#include <cstdint>

#include "platform/posix/posix_file_system.h"
#include "platform/qt/qt_command_line.h"
#include "platform/qt/qt_form.h"
#include "platform/qt/qt_interval_dialog.h"
#include "platform/qt/qt_message_box.h"
#include "viewer/controls.h"
#include "viewer/lumivo.h"

namespace {

constexpr float kClientWidthTwips = 7005;
constexpr float kClientHeightTwips = 4950;

}  // namespace

int main(int argc, char* argv[]) {
  using mirvane::platform::qt::QtRastrel;
  namespace qt = mirvane::platform::qt;

  // Every argument is a file name: taken here, and kept from Qt, which would read
  // some of them ("-style", "-platform") as its own options.
  qt::QtCommandLine command(argc, argv);
  static char fallback_name[] = "mirvane";
  static char* qt_argv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallback_name, nullptr};
  static int qt_argc = 1;
  QApplication app(qt_argc, qt_argv);
  // A file that cannot be shown is passed over without a word; the codecs' warnings
  // about it would only fill the terminal.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));

  qt::QtForm form;
  qt::QtMessageBox box(&form);
  qt::QtIntervalDialog dialog(&form);
  mirvane::platform::posix::PosixFileSystem files;

  mirvane::viewer::Lumivo lumivo(mirvane::viewer::Controls{form,
                                                           {&form.Slot(0), &form.Slot(1)},
                                                           form.Timer(),
                                                           form.Argument(),
                                                           form.Menu(),
                                                           box,
                                                           dialog,
                                                           files,
                                                           command});

  form.Timer().OnTick([&lumivo] { lumivo.Timer1_Timer(); });
  form.Menu().OnChoose([&lumivo](int id) { lumivo.SMenu_Click(id); });
  form.OnResize([&lumivo] { lumivo.Form_Resize(); });
  form.OnMouseDown([&lumivo](std::int16_t button, std::int16_t shift, float x, float y) {
    lumivo.Form_MouseDown(button, shift, x, y);
  });
  for (std::int16_t index = 0; index <= 1; ++index) {
    QObject::connect(&form.Slot(index), &QtRastrel::mouseDown, &form,
                     [&lumivo, index](int button, int shift, float x, float y) {
                       lumivo.ImageControl_MouseDown(index, static_cast<std::int16_t>(button),
                                                     static_cast<std::int16_t>(shift), x, y);
                     });
  }
  form.OnDrop([&lumivo](mirvane::platform::DropData& data, std::int32_t& effect,
                        std::int16_t button, std::int16_t shift, float x,
                        float y) { lumivo.Form_OLEDragDrop(data, effect, button, shift, x, y); });

  // The load handler runs before the window is first seen; the first resize then
  // lays out the slots.
  lumivo.Form_Load();
  form.ResizeClientTwips(kClientWidthTwips, kClientHeightTwips);
  form.show();
  return app.exec();
}
