#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>

#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {

Decoded ReadSvg(const QByteArray& bytes, QSize box) {
  // Qt SVG reports every element it does not know; broken files are ours to refuse.
  static const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    return true;
  }();
  (void)quiet;
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
  Decoded decoded{std::move(image), full};
  decoded.scalable = true;
  return decoded;
}

}  // namespace mirvane::platform::qt::image
