#include <tiffio.h>

#include <QColorSpace>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "image/budget.h"
#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"
#include "platform/qt/image/tiff_samples.h"

namespace mirvane::platform::qt::image {
namespace {

struct Source {
  const QByteArray* bytes;
  toff_t position = 0;
  std::string error;
};

tsize_t Read(thandle_t handle, tdata_t out, tsize_t size) {
  auto* s = static_cast<Source*>(handle);
  const auto total = static_cast<toff_t>(s->bytes->size());
  if (size <= 0 || s->position >= total) return 0;
  const auto n = std::min<toff_t>(static_cast<toff_t>(size), total - s->position);
  std::memcpy(out, s->bytes->constData() + s->position, n);
  s->position += n;
  return static_cast<tsize_t>(n);
}

tsize_t Write(thandle_t, tdata_t, tsize_t) { return 0; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
  auto* s = static_cast<Source*>(handle);
  const auto total = static_cast<toff_t>(s->bytes->size());
  toff_t base = 0;
  if (whence == SEEK_CUR) base = s->position;
  if (whence == SEEK_END) base = total;
  // libtiff passes negative offsets as huge unsigned values; refuse wrap-around.
  if (offset > ~toff_t{0} - base) return static_cast<toff_t>(-1);
  s->position = base + offset;
  return s->position;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) {
  return static_cast<toff_t>(static_cast<Source*>(handle)->bytes->size());
}
int Map(thandle_t, tdata_t*, toff_t*) { return 0; }
void Unmap(thandle_t, tdata_t, toff_t) {}

int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
  auto* s = static_cast<Source*>(user);
  if (s->error.empty()) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    s->error = text;
  }
  return 1;  // handled: keep stderr quiet
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Closer {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// The stored orientation, replaced by top-left so that libtiff hands the rows over as
// stored (its RGBA interface knows no transposed orientations), and the colour profile.
struct Upright {
  int orientation = 1;
  QByteArray icc;
};

Upright TakeOrientation(TIFF* tif) {
  Upright u;
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  if (orientation >= 1 && orientation <= 8) u.orientation = orientation;
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  uint32_t length = 0;
  void* icc = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &icc) && icc && length > 0)
    u.icc = QByteArray(static_cast<const char*>(icc), length);
  return u;
}

QImage Pixels(TIFF* tif, uint32_t w, uint32_t h, Source& source, const QByteArray& icc) {
  uint16_t photometric = 0;
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  char message[1024] = {};
  // CMYK goes through its profile, which the RGBA interface ignores.
  if (photometric == PHOTOMETRIC_SEPARATED || !TIFFRGBAImageOK(tif, message))
    return ReadTiffSamples(tif, w, h, icc);

  // libtiff's packed ABGR words are R, G, B, A bytes in memory on little-endian hosts,
  // alpha premultiplied whether the file's alpha is or not.
  QImage image(int(w), int(h), QImage::Format_RGBA8888_Premultiplied);
  if (image.isNull()) throw Error("out of memory");
  static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "ABGR words are read as RGBA bytes");
  if (!TIFFReadRGBAImageOriented(tif, w, h, reinterpret_cast<uint32_t*>(image.bits()),
                                 ORIENTATION_TOPLEFT, 0)) {
    // Its checks pass some layouts (2- and 4-bit RGB, 16-bit CMYK) it then cannot draw.
    source.error.clear();
    return ReadTiffSamples(tif, w, h, icc);
  }
  return image;
}

}  // namespace

void QuietTiff() {
  static const bool quiet = [] {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    return true;
  }();
  (void)quiet;
}

QImage ReadTiff(const QByteArray& bytes) {
  Source source{&bytes, 0, {}};
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) throw Error("out of memory");
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, mirvane::image::kMaxPixels * 4);
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &source);
  const std::unique_ptr<TIFF, Closer> tif(TIFFClientOpenExt(
      "picture", "rm", &source, Read, Write, Seek, Close, Size, Map, Unmap, options));
  TIFFOpenOptionsFree(options);
  const auto fail = [&](const char* what) {
    throw Error(source.error.empty() ? std::string(what) : what + (": " + source.error));
  };
  if (!tif) fail("unreadable TIFF");

  uint32_t w = 0, h = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h)) {
    fail("TIFF without size");
  }
  if (!mirvane::image::WithinBudget(w, h)) throw Error("picture too large");
  const Upright upright = TakeOrientation(tif.get());
  QImage image = Pixels(tif.get(), w, h, source, upright.icc);
  image = Oriented(image, upright.orientation);
  if (image.isNull()) throw Error("out of memory");
  uint16_t photometric = 0;
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  // CMYK pictures come out already converted through their profile.
  if (photometric != PHOTOMETRIC_SEPARATED && !upright.icc.isEmpty())
    image.setColorSpace(QColorSpace::fromIccProfile(upright.icc));
  return image;
}

}  // namespace mirvane::platform::qt::image
