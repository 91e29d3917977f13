#include "platform/qt/qt_drop_data.h"

#include <QFile>
#include <QMimeData>
#include <QUrl>

#include "platform/error.h"

namespace mirvane::platform::qt {
namespace {

// The path's own bytes. toLocalFile() decodes the percent escapes as UTF-8, which turns a
// name in another encoding into replacement characters that name no file.
std::string LocalPath(const QUrl& url) {
  if (!url.host().isEmpty()) return QFile::encodeName(url.toLocalFile()).toStdString();
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace

QtDropData::QtDropData(const QMimeData& data) {
  if (!data.hasUrls()) return;
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) files_.push_back(LocalPath(url));
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
