#include "platform/qt/image/fit.h"

#include <QColorSpace>
#include <QTransform>
#include <cstdint>
#include <cstring>
#include <vector>

#include "image/scale.h"

namespace mirvane::platform::qt::image {

QSize CoverSize(QSize picture, QSize box) {
  return ToQSize(mirvane::image::CoverSize(ToSize(picture), ToSize(box)));
}

namespace {

// Every source pixel counts, by exactly the area it covers: a fine pattern keeps its
// mean, a picture one pixel high is averaged along its length, and Windows draws the
// same with the same code.
QImage Reduced(const QImage& image, QSize fitted) {
  mirvane::image::AreaReducer reducer(ToSize(image.size()), ToSize(fitted));
  for (int y = 0; y < image.height(); ++y) {
    reducer.AddRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)));
  }
  const std::vector<std::uint32_t> pixels = reducer.Take();
  QImage out(fitted, image.format());
  if (out.isNull()) return out;
  const auto row = static_cast<std::size_t>(fitted.width());
  for (int y = 0; y < fitted.height(); ++y) {
    std::memcpy(out.scanLine(y), pixels.data() + row * static_cast<std::size_t>(y),
                row * sizeof(std::uint32_t));
  }
  out.setColorSpace(image.colorSpace());
  return out;
}

}  // namespace

QImage ScaledTo(const QImage& image, QSize fitted) {
  if (image.size() == fitted) return image;
  const QImage::Format format = image.format();
  if (!fitted.isEmpty() && fitted.width() <= image.width() && fitted.height() <= image.height() &&
      (format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied)) {
    return Reduced(image, fitted);
  }
  constexpr int kSupersample = 4, kFar = 8;
  if (image.width() > kFar * fitted.width() && image.height() > kFar * fitted.height()) {
    const QImage coarse =
        image.scaled(fitted * kSupersample, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return coarse.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage TurnedImage(const QImage& image, int quarter_turns) {
  if (quarter_turns % 4 == 0) return image;
  return image.transformed(QTransform().rotate(90.0 * quarter_turns));
}

QImage Oriented(const QImage& image, int orientation) {
  switch (orientation) {
    case 2:
      return image.mirrored(true, false);
    case 3:
      return TurnedImage(image, 2);
    case 4:
      return image.mirrored(false, true);
    case 5:  // transposed
      return TurnedImage(image, 1).mirrored(true, false);
    case 6:
      return TurnedImage(image, 1);
    case 7:  // transposed across the other diagonal
      return TurnedImage(image, 1).mirrored(false, true);
    case 8:
      return TurnedImage(image, 3);
    default:
      return image;
  }
}

}  // namespace mirvane::platform::qt::image
