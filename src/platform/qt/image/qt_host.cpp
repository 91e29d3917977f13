#include "platform/qt/image/qt_host.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <memory>

#include "image/error.h"
#include "image/readers/svg.h"
#include "platform/posix/regular_file.h"

namespace mirvane::platform::qt {

const mirvane::image::Host& QtHost() {
  static const mirvane::image::Host host{
      [](const std::string& name) -> std::unique_ptr<mirvane::image::SourceFile> {
        auto file = std::make_unique<posix::RegularFile>(name);
        if (!file->is_open()) throw mirvane::image::Error(name + ": " + file->error());
        return file;
      },
      {},
      {mirvane::image::DrawSvg, {}},
      [](std::function<void()> work) {
        // Queued to the application object, which lives on the user-interface thread.
        if (QCoreApplication* app = QCoreApplication::instance())
          QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
      }};
  return host;
}

}  // namespace mirvane::platform::qt
