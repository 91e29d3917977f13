#include "image/readers/avif.h"

#include <avif/avif.h>

#include <bit>
#include <cmath>
#include <memory>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

static_assert(std::endian::native == std::endian::little, "BGRA bytes are read as 0xAARRGGBB");

struct Destroy {
  void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};

void Check(avifResult r) {
  if (r != AVIF_RESULT_OK) throw Error(std::string("AVIF: ") + avifResultToString(r));
}

}  // namespace

bool DecodeAvifSequence(std::string_view bytes, const FrameSink& sink, FramesInfo* info) {
  const std::unique_ptr<avifDecoder, Destroy> decoder(avifDecoderCreate());
  if (!decoder) throw std::bad_alloc();
  decoder->maxThreads = 2;
  decoder->ignoreExif = decoder->ignoreXMP = AVIF_TRUE;
  decoder->imageSizeLimit = static_cast<std::uint32_t>(kMaxPixels);
  decoder->imageDimensionLimit = static_cast<std::uint32_t>(kMaxSide);
  decoder->strictFlags = AVIF_STRICT_DISABLED;  // files that browsers show
  Check(avifDecoderSetIOMemory(decoder.get(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                               bytes.size()));
  Check(avifDecoderParse(decoder.get()));
  if (decoder->imageCount <= 1) return false;
  info->loops = -1;
  info->icc.assign(reinterpret_cast<const char*>(decoder->image->icc.data),
                   decoder->image->icc.size);
  while (avifDecoderNextImage(decoder.get()) == AVIF_RESULT_OK) {
    const avifImage* image = decoder->image;
    if (!WithinBudget(image->width, image->height)) throw Error("AVIF: frame too large");
    Pixels frame{int(image->width), int(image->height), image->alphaPlane != nullptr, {}};
    frame.argb.resize(std::size_t(frame.width) * frame.height);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.depth = 8;
    rgb.format = AVIF_RGB_FORMAT_BGRA;  // 0xAARRGGBB words on a little-endian host
    rgb.pixels = reinterpret_cast<std::uint8_t*>(frame.argb.data());
    rgb.rowBytes = image->width * 4;
    Check(avifImageYUVToRGB(image, &rgb));
    const double ms = decoder->imageTiming.duration * 1000;
    const int delay = std::isfinite(ms) && ms < 1e6 ? static_cast<int>(std::lround(ms)) : 0;
    if (!sink(std::move(frame), delay)) break;
  }
  return true;
}

}  // namespace mirvane::image
