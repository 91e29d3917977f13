#include "platform/qt/qt_drop_data.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "platform/error.h"

namespace mirvane::platform::qt {

QtDropData::QtDropData(const QMimeData& data) {
  if (!data.hasUrls()) return;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) files_.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
  }
}

bool QtDropData::GetFormat(int format) const {
  return format == kFileListFormat && !files_.empty();
}

std::string QtDropData::Files(std::int16_t number) const {
  if (number < 1 || static_cast<std::size_t>(number) > files_.size()) {
    throw Error("no dropped file number " + std::to_string(number));
  }
  return files_[static_cast<std::size_t>(number) - 1];
}

}  // namespace mirvane::platform::qt
