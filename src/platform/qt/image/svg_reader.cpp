#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

// Qt SVG loads the pictures an <image> names from the file system (a FIFO or a device
// among them). A picture file stands alone: only data: URIs and links within it are
// allowed.
bool RefersToOtherFiles(const QByteArray& svg) {
  for (qsizetype at = svg.indexOf("href"); at >= 0; at = svg.indexOf("href", at + 4)) {
    qsizetype i = at + 4;
    while (i < svg.size() &&
           (svg[i] == ' ' || svg[i] == '=' || svg[i] == '\t' || svg[i] == '\n' || svg[i] == '\r'))
      ++i;
    if (i < svg.size() && (svg[i] == '"' || svg[i] == '\'')) ++i;
    while (i < svg.size() && (svg[i] == ' ' || svg[i] == '\t' || svg[i] == '\n')) ++i;
    const QByteArray value = svg.mid(i, 5).toLower();
    if (!value.startsWith('#') && value != "data:") return true;
  }
  return false;
}

}  // namespace

Picture ReadSvg(const QByteArray& bytes, QSize box) {
  // Qt SVG reports every element it does not know; broken files are ours to refuse.
  static const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    return true;
  }();
  (void)quiet;
  if (RefersToOtherFiles(bytes)) throw Error("SVG refers to other files");
  QSvgRenderer renderer(bytes);
  if (!renderer.isValid()) throw Error("unreadable SVG");
  const QSize full = renderer.defaultSize();
  if (full.isEmpty()) throw Error("SVG without a size");
  // Drawn at the size it is shown at, never scaled from pixels.
  QImage image(FittedSize(full, box), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) throw Error("out of memory");
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  return {image, full};
}

}  // namespace mirvane::platform::qt::image
