#include "platform/qt/image/svg_reader.h"

#include <QLoggingCategory>
#include <QPainter>
#include <QSvgRenderer>
#include <cstring>

#include "image/error.h"

namespace mirvane::platform::qt {
namespace {

using mirvane::image::Error;

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

mirvane::image::Picture DrawSvg(std::string_view svg, mirvane::image::Size box) {
  // Qt SVG reports every element it does not know; broken files are ours to refuse.
  static const bool quiet = [] {
    QLoggingCategory::setFilterRules(QStringLiteral("qt.svg.warning=false"));
    return true;
  }();
  (void)quiet;
  const QByteArray bytes = QByteArray::fromRawData(svg.data(), qsizetype(svg.size()));
  if (RefersToOtherFiles(bytes)) throw Error("SVG refers to other files");
  QSvgRenderer renderer(bytes);
  if (!renderer.isValid()) throw Error("unreadable SVG");
  const QSize full = renderer.defaultSize();
  if (full.isEmpty()) throw Error("SVG without a size");
  // Drawn at the size it is shown at, never scaled from pixels.
  const mirvane::image::Size fitted =
      mirvane::image::FittedSize({full.width(), full.height()}, box);
  mirvane::image::Picture picture;
  picture.full = {full.width(), full.height()};
  picture.premultiplied = true;
  picture.pixels.width = fitted.width;
  picture.pixels.height = fitted.height;
  picture.pixels.has_alpha = true;
  picture.pixels.argb.assign(std::size_t(fitted.width) * std::size_t(fitted.height), 0);
  QImage image(reinterpret_cast<uchar*>(picture.pixels.argb.data()), fitted.width, fitted.height,
               qsizetype(fitted.width) * 4, QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) throw Error("out of memory");
  QPainter painter(&image);
  renderer.render(&painter);
  painter.end();
  return picture;
}

}  // namespace mirvane::platform::qt
