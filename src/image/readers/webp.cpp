#include "image/readers/webp.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "image/budget.h"
#include "image/error.h"
#include "image/exif.h"

namespace mirvane::image {
namespace {

static_assert(std::endian::native == std::endian::little, "BGRA bytes are read as 0xAARRGGBB");

struct Destroy {
  void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
  void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};

[[noreturn]] void Fail(const char* what) { throw Error(std::string("WebP: ") + what); }

bool AnyTransparent(const Pixels& p) {
  return std::any_of(p.argb.begin(), p.argb.end(), [](std::uint32_t c) { return c < 0xff000000u; });
}

void ReadStill(std::string_view bytes, int width, int height, const FrameSink& sink) {
  WebPBitstreamFeatures features;
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  if (WebPGetFeatures(data, bytes.size(), &features) != VP8_STATUS_OK) Fail("damaged file");
  if (features.width != width || features.height != height) Fail("picture and canvas differ");
  Pixels frame{width, height, features.has_alpha != 0, {}};
  frame.argb.resize(std::size_t(width) * std::size_t(height));
  const int stride = width * 4;
  if (!WebPDecodeBGRAInto(data, bytes.size(), reinterpret_cast<std::uint8_t*>(frame.argb.data()),
                          frame.argb.size() * 4, stride))
    Fail("damaged picture");
  // VP8X may claim alpha that the picture never uses.
  if (frame.has_alpha) frame.has_alpha = AnyTransparent(frame);
  sink(std::move(frame), 0);
}

void ReadAnimation(std::string_view bytes, int width, int height, const FrameSink& sink) {
  const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) Fail("library mismatch");
  options.color_mode = MODE_BGRA;
  options.use_threads = 0;
  const std::unique_ptr<WebPAnimDecoder, Destroy> decoder(WebPAnimDecoderNew(&data, &options));
  if (!decoder) Fail("damaged animation");
  const std::size_t size = std::size_t(width) * std::size_t(height);
  std::int64_t work = 0;
  int frames = 0, previous_ms = 0;
  while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
    work += std::int64_t(size);
    if (frames > 0 && (frames >= kMaxFrames || work > kMaxAnimationWork)) return;
    std::uint8_t* canvas = nullptr;
    int timestamp_ms = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp_ms)) {
      if (frames == 0) Fail("damaged first frame");
      return;  // play what came before the damage
    }
    Pixels frame{width, height, false, std::vector<std::uint32_t>(size)};
    std::memcpy(frame.argb.data(), canvas, size * 4);
    frame.has_alpha = AnyTransparent(frame);
    ++frames;
    // The decoder gives when each frame ends; its delay is the step from the one before.
    const int delay_ms = timestamp_ms - previous_ms;
    previous_ms = timestamp_ms;
    if (!sink(std::move(frame), delay_ms)) return;
  }
  if (frames == 0) Fail("no frames");
}

}  // namespace

void ReadWebp(std::string_view bytes, const FrameSink& sink, FramesInfo* info, int* orientation) {
  const WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
  const std::unique_ptr<WebPDemuxer, Destroy> demux(WebPDemux(&data));
  if (!demux) Fail("not a WebP file or damaged");
  const std::uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
  const std::uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
  if (!WithinBudget(width, height)) Fail("picture too large or empty");
  const std::uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);

  info->icc.clear();
  WebPChunkIterator chunk;
  if ((flags & ICCP_FLAG) && WebPDemuxGetChunk(demux.get(), "ICCP", 1, &chunk)) {
    info->icc.assign(reinterpret_cast<const char*>(chunk.chunk.bytes), chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
  }
  if (orientation) *orientation = ExifOrientation(FindExif(bytes, Format::kWebp));

  if (flags & ANIMATION_FLAG) {
    const std::uint32_t plays = WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT);
    info->loops = LoopsFromPlays(plays);
    ReadAnimation(bytes, int(width), int(height), sink);
  } else {
    info->loops = 0;
    ReadStill(bytes, int(width), int(height), sink);
  }
}

}  // namespace mirvane::image
