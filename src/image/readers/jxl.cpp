#include "image/readers/jxl.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <cmath>
#include <memory>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

struct Destroy {
  void operator()(JxlDecoder* d) const { JxlDecoderDestroy(d); }
  void operator()(void* runner) const { JxlThreadParallelRunnerDestroy(runner); }
};

[[noreturn]] void Fail(const char* what) { throw Error(std::string("JPEG XL: ") + what); }

}  // namespace

void DecodeJxl(std::string_view bytes, const FrameSink& sink, FramesInfo* info) {
  const std::unique_ptr<JxlDecoder, Destroy> dec(JxlDecoderCreate(nullptr));
  const std::unique_ptr<void, Destroy> runner(JxlThreadParallelRunnerCreate(nullptr, 2));
  if (!dec || !runner) throw std::bad_alloc();
  // Frames come composed (coalescing is on by default) and upright (orientation applied) as
  // 8-bit RGBA, written straight into the sink's buffer: libjxl's pixel callback costs more
  // (a 24 MP picture with alpha peaks at 1.14 GB against 0.85 GB). Premultiplied alpha is
  // undone in libjxl, before its rounding to 8 bits.
  if (JxlDecoderSetParallelRunner(dec.get(), JxlThreadParallelRunner, runner.get()) ||
      JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE) ||
      JxlDecoderSubscribeEvents(dec.get(), JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING |
                                               JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE) ||
      JxlDecoderSetInput(dec.get(), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size()))
    Fail("cannot start the decoder");
  JxlDecoderCloseInput(dec.get());

  const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  JxlBasicInfo basic{};
  int width = 0, height = 0, delay_ms = 0;
  Pixels frame;
  for (;;) {
    switch (JxlDecoderProcessInput(dec.get())) {
      case JXL_DEC_BASIC_INFO: {
        if (JxlDecoderGetBasicInfo(dec.get(), &basic)) Fail("bad header");
        if (!WithinBudget(basic.xsize, basic.ysize)) Fail("picture too large");
        const bool turned = basic.orientation > JXL_ORIENT_ROTATE_180;
        width = int(turned ? basic.ysize : basic.xsize);
        height = int(turned ? basic.xsize : basic.ysize);
        info->loops = basic.have_animation ? LoopsFromPlays(basic.animation.num_loops) : 0;
        break;
      }
      case JXL_DEC_COLOR_ENCODING: {
        JxlColorEncoding encoding{};
        if (JxlDecoderGetColorAsEncodedProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                               &encoding) == JXL_DEC_SUCCESS &&
            encoding.white_point == JXL_WHITE_POINT_D65 &&
            encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB &&
            (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
             (encoding.color_space == JXL_COLOR_SPACE_RGB &&
              encoding.primaries == JXL_PRIMARIES_SRGB)))
          break;  // sRGB: no profile to carry
        std::size_t size = 0;
        if (JxlDecoderGetICCProfileSize(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
                JXL_DEC_SUCCESS &&
            size < (std::size_t{1} << 24)) {
          info->icc.resize(size);
          if (JxlDecoderGetColorAsICCProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                             reinterpret_cast<std::uint8_t*>(info->icc.data()),
                                             size) != JXL_DEC_SUCCESS)
            info->icc.clear();
        }
        break;
      }
      case JXL_DEC_FRAME: {
        JxlFrameHeader header{};
        if (JxlDecoderGetFrameHeader(dec.get(), &header)) Fail("bad frame header");
        const auto& a = basic.animation;
        const double ms =
            a.tps_numerator ? header.duration * 1000.0 * a.tps_denominator / a.tps_numerator : 0;
        delay_ms = ms < 1e6 ? static_cast<int>(std::lround(ms)) : 1000000;
        break;
      }
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        std::size_t size = 0;
        if (JxlDecoderImageOutBufferSize(dec.get(), &format, &size) ||
            size != std::size_t(width) * height * 4)
          Fail("unexpected frame size");
        frame = Pixels{width, height, basic.alpha_bits > 0, {}};
        frame.argb.resize(std::size_t(width) * height);
        if (JxlDecoderSetImageOutBuffer(dec.get(), &format, frame.argb.data(), size))
          Fail("cannot take the frame");
        break;
      }
      case JXL_DEC_FULL_IMAGE: {
        for (std::uint32_t& p : frame.argb) {  // R, G, B, A bytes to 0xAARRGGBB
          const auto* c = reinterpret_cast<const std::uint8_t*>(&p);
          p = std::uint32_t(c[3]) << 24 | std::uint32_t(c[0]) << 16 | c[1] << 8 | c[2];
        }
        if (!sink(std::move(frame), delay_ms)) return;
        break;
      }
      case JXL_DEC_SUCCESS:
        return;
      case JXL_DEC_NEED_MORE_INPUT:
        Fail("file cut short");
      default:
        Fail("damaged file");
    }
  }
}

}  // namespace mirvane::image
