#include "image/readers/tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/tiff_samples.h"

namespace mirvane::image {
namespace {

struct Source {
  std::string_view bytes;
  toff_t position = 0;
  std::string error;
};

tsize_t Read(thandle_t handle, tdata_t out, tsize_t size) {
  auto* s = static_cast<Source*>(handle);
  const auto total = static_cast<toff_t>(s->bytes.size());
  if (size <= 0 || s->position >= total) return 0;
  const auto n = std::min<toff_t>(static_cast<toff_t>(size), total - s->position);
  std::memcpy(out, s->bytes.data() + s->position, n);
  s->position += n;
  return static_cast<tsize_t>(n);
}

tsize_t Write(thandle_t, tdata_t, tsize_t) { return 0; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
  auto* s = static_cast<Source*>(handle);
  const auto total = static_cast<toff_t>(s->bytes.size());
  toff_t base = 0;
  if (whence == SEEK_CUR) base = s->position;
  if (whence == SEEK_END) base = total;
  // libtiff passes negative offsets as huge unsigned values; refuse wrap-around.
  if (offset > ~toff_t{0} - base) return static_cast<toff_t>(-1);
  s->position = base + offset;
  return s->position;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) { return static_cast<Source*>(handle)->bytes.size(); }
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

// Some of libtiff's messages bypass a handle's own handlers and go to the global ones,
// which write to stderr.
void QuietTiff() {
  static const bool quiet = [] {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    return true;
  }();
  (void)quiet;
}

struct Closer {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// libtiff's packed words hold R in the low byte, A in the high one.
constexpr std::uint32_t FromAbgr(std::uint32_t v) {
  return (v & 0xff00ff00u) | (v & 0xffu) << 16 | ((v >> 16) & 0xffu);
}

// Through libtiff's RGBA interface, which draws most layouts (YCbCr, LogLuv, palettes,
// bilevel...) with colours premultiplied by any alpha. False for what it refuses, or
// accepts and then cannot draw (2- and 4-bit RGB, 16-bit CMYK).
bool ReadRgba(TIFF* tif, std::uint32_t w, std::uint32_t h, Picture& picture, Source& source) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message)) return false;
  TIFFRGBAImage image;
  if (!TIFFRGBAImageBegin(&image, tif, 0, message)) return false;
  struct Ender {
    TIFFRGBAImage* image;
    ~Ender() { TIFFRGBAImageEnd(image); }
  } ender{&image};
  image.req_orientation = ORIENTATION_TOPLEFT;
  Pixels& pixels = picture.pixels;
  pixels.width = int(w);
  pixels.height = int(h);
  pixels.argb.assign(std::size_t(w) * h, 0);
  if (!TIFFRGBAImageGet(&image, pixels.argb.data(), w, h)) {
    source.error.clear();
    return false;
  }
  for (std::uint32_t& p : pixels.argb) p = FromAbgr(p);
  pixels.has_alpha = image.alpha != 0;
  picture.premultiplied = pixels.has_alpha;
  return true;
}

Picture Decode(std::string_view bytes) {
  QuietTiff();
  Source source{bytes, 0, {}};
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) throw Error("out of memory");
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxPixels * 4);
  TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &source);
  const std::unique_ptr<TIFF, Closer> tif(TIFFClientOpenExt(
      "picture", "rm", &source, Read, Write, Seek, Close, Size, Map, Unmap, options));
  TIFFOpenOptionsFree(options);
  const auto fail = [&](const char* what) {
    throw Error(source.error.empty() ? std::string(what) : what + (": " + source.error));
  };
  if (!tif) fail("unreadable TIFF");

  std::uint32_t w = 0, h = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h)) {
    fail("TIFF without size");
  }
  if (!WithinBudget(w, h)) throw Error("picture too large");

  Picture picture;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
  if (orientation >= 1 && orientation <= 8) picture.orientation = orientation;
  // The rows as stored: the pipeline turns them, and libtiff knows no transposed ones.
  TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  picture.full =
      picture.orientation >= 5 ? image::Size{int(h), int(w)} : image::Size{int(w), int(h)};

  std::uint32_t length = 0;
  void* icc = nullptr;
  std::string profile;
  if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &length, &icc) && icc && length > 0)
    profile.assign(static_cast<const char*>(icc), length);

  // The RGBA interface ignores CMYK's profile, takes signed samples for unsigned ones and
  // loses or misplaces a grey picture's alpha: these are read sample by sample, CMYK coming
  // out in sRGB.
  std::uint16_t photometric = 0, format = SAMPLEFORMAT_UINT, extras = 0;
  const std::uint16_t* extra = nullptr;
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extras, &extra);
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  const bool cmyk = photometric == PHOTOMETRIC_SEPARATED;
  const bool by_samples = cmyk || (grey && extras > 0) ||
                          (format == SAMPLEFORMAT_INT && (grey || photometric == PHOTOMETRIC_RGB));
  if (by_samples || !ReadRgba(tif.get(), w, h, picture, source)) {
    picture.premultiplied = false;
    picture.pixels = {};
    picture.pixels = ReadTiffSamples(tif.get(), w, h, profile);
  }
  if (!cmyk) picture.icc = std::move(profile);
  return picture;
}

}  // namespace

Picture ReadTiff(std::string_view bytes) {
  try {
    return Decode(bytes);
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

}  // namespace mirvane::image
