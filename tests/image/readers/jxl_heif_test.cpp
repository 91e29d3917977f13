// The JPEG XL and HEIF readers against djxl and heif-convert, and against the pictures
// themselves, on files written here with libjxl's and libheif's encoders: this cjxl keeps
// alpha at 8 bits and never premultiplied, and this heif-enc writes no turn or mirror.
#include <gtest/gtest.h>
#include <jxl/decode.h>
#include <jxl/encode.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/decode.h"
#include "image/error.h"
#include "image/pixel_steps.h"
#include "image/readers/apng.h"
#include "image/readers/heif.h"
#include "image/readers/jxl.h"
#include "reader_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
// libx265, which writes the HEICs here, keeps a little memory of each encoder it makes.
extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
#endif

namespace mirvane::image::testing {
namespace {

namespace fs = std::filesystem;

// 16-bit straight RGBA, rows top to bottom.
struct Rgba16 {
  int width = 0, height = 0;
  std::vector<std::uint16_t> samples;
};

// Smooth colours with a fine pattern (so that a swap of channels or rows shows), and alpha
// from `alpha(x, y)` in 0..1: mostly clear pictures make a lost alpha plain.
template <typename Alpha>
Rgba16 Painted(int width, int height, Alpha alpha, int seed = 0, double ripple_depth = 0.08) {
  Rgba16 p{width, height, std::vector<std::uint16_t>(std::size_t(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint16_t* s = &p.samples[(std::size_t(y) * width + x) * 4];
      const double u = double(x) / width, v = double(y) / height;
      const double ripple = ripple_depth * std::sin((x + 2 * y + seed * 7) * 0.7);
      s[0] = std::uint16_t(65535 * std::clamp(0.9 * u + ripple + 0.05, 0.0, 1.0));
      s[1] = std::uint16_t(65535 * std::clamp(0.8 * v - ripple + 0.1, 0.0, 1.0));
      s[2] = std::uint16_t(65535 * std::clamp(0.9 - 0.7 * u + (seed % 3) * 0.05, 0.0, 1.0));
      s[3] = std::uint16_t(65535 * std::clamp(double(alpha(x, y)), 0.0, 1.0));
    }
  return p;
}

Pixels To8(const Rgba16& p) {
  Pixels out{p.width, p.height, true, std::vector<std::uint32_t>(std::size_t(p.width) * p.height)};
  for (std::size_t i = 0; i < out.argb.size(); ++i) {
    const auto c = [&](int k) { return std::uint32_t(p.samples[i * 4 + k] + 128) / 257; };
    out.argb[i] = c(3) << 24 | c(0) << 16 | c(1) << 8 | c(2);
  }
  return out;
}

// ---------------------------------------------------------------------------------------
// JPEG XL

struct JxlLayer {
  Rgba16 pixels;
  int x = 0, y = 0;  // where it goes on the canvas; a layer smaller than it is cropped
  JxlBlendMode blend = JXL_BLEND_REPLACE;
  std::uint32_t ticks = 0;  // milliseconds; 0 for the layers of a still picture
};

struct JxlFile {
  int width = 0, height = 0;
  int bits = 8;  // colour and alpha alike, so that djxl writes a PNG of it
  bool premultiplied = false;
  bool animated = false;
  std::vector<JxlLayer> layers;
  JxlOrientation orientation = JXL_ORIENT_IDENTITY;
};

// What libjxl tells of a JPEG XL file's header, all of it decoded; nullopt when it is
// damaged.
std::optional<JxlBasicInfo> DecodableHeader(const std::string& bytes) {
  JxlDecoder* dec = JxlDecoderCreate(nullptr);
  JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_FULL_IMAGE);
  JxlDecoderSetInput(dec, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  JxlDecoderCloseInput(dec);
  std::optional<JxlBasicInfo> info;
  std::vector<std::uint8_t> pixels;
  const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  for (bool going = true; going;) {
    switch (JxlDecoderProcessInput(dec)) {
      case JXL_DEC_BASIC_INFO:
        info.emplace();
        JxlDecoderGetBasicInfo(dec, &*info);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        std::size_t size = 0;
        JxlDecoderImageOutBufferSize(dec, &format, &size);
        pixels.resize(size);
        JxlDecoderSetImageOutBuffer(dec, &format, pixels.data(), size);
        break;
      }
      case JXL_DEC_FULL_IMAGE:
        break;
      case JXL_DEC_SUCCESS:
        going = false;
        break;
      default:
        info.reset();
        going = false;
    }
  }
  JxlDecoderDestroy(dec);
  return info;
}

// This libjxl's encoder cannot mark alpha premultiplied (it fails a check of its own), so
// the samples are given premultiplied and the one header bit that tells so is set here:
// the first whose flip changes nothing else libjxl reports.
std::string MarkedPremultiplied(std::string codestream) {
  const std::optional<JxlBasicInfo> plain = DecodableHeader(codestream);
  if (!plain) return {};
  for (std::size_t bit = 16; bit < std::min<std::size_t>(codestream.size(), 64) * 8; ++bit) {
    codestream[bit / 8] = char(codestream[bit / 8] ^ (1 << (bit % 8)));
    std::optional<JxlBasicInfo> info = DecodableHeader(codestream);
    if (info && info->alpha_premultiplied) {
      info->alpha_premultiplied = JXL_FALSE;
      if (std::memcmp(&*info, &*plain, sizeof *info) == 0) return codestream;
    }
    codestream[bit / 8] = char(codestream[bit / 8] ^ (1 << (bit % 8)));
  }
  return {};
}

// Lossless, so that any difference is the decoder's.
std::string EncodeJxl(const JxlFile& file) {
  JxlEncoder* enc = JxlEncoderCreate(nullptr);
  const auto done = [&](std::string out) {
    JxlEncoderDestroy(enc);
    return out;
  };
  JxlBasicInfo info;
  JxlEncoderInitBasicInfo(&info);
  info.xsize = std::uint32_t(file.width);
  info.ysize = std::uint32_t(file.height);
  info.bits_per_sample = std::uint32_t(file.bits);
  info.alpha_bits = std::uint32_t(file.bits);
  info.num_extra_channels = 1;
  info.uses_original_profile = JXL_TRUE;
  info.orientation = file.orientation;
  info.have_animation = file.animated;
  info.animation.tps_numerator = 1000;
  info.animation.tps_denominator = 1;
  JxlColorEncoding srgb;
  JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
  // A named alpha channel has its description written out in full, the premultiplied bit too.
  if (JxlEncoderSetBasicInfo(enc, &info) || JxlEncoderSetColorEncoding(enc, &srgb) ||
      JxlEncoderUseContainer(enc, JXL_FALSE) ||
      (file.premultiplied && JxlEncoderSetExtraChannelName(enc, 0, "alpha", 5)))
    return done({});
  JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc, nullptr);
  JxlEncoderSetFrameLossless(settings, JXL_TRUE);
  JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 3);
  for (const JxlLayer& layer : file.layers) {
    JxlFrameHeader header;
    JxlEncoderInitFrameHeader(&header);
    header.duration = layer.ticks;
    header.layer_info.have_crop = layer.pixels.width != file.width ||
                                  layer.pixels.height != file.height || layer.x || layer.y;
    header.layer_info.crop_x0 = layer.x;
    header.layer_info.crop_y0 = layer.y;
    header.layer_info.xsize = std::uint32_t(layer.pixels.width);
    header.layer_info.ysize = std::uint32_t(layer.pixels.height);
    // Each frame over the one before it (slot 1): slot 0 is not kept between animation frames.
    header.layer_info.save_as_reference = 1;
    header.layer_info.blend_info.blendmode = layer.blend;
    header.layer_info.blend_info.source = 1;
    JxlBlendInfo alpha = header.layer_info.blend_info;
    std::vector<std::uint16_t> samples = layer.pixels.samples;
    if (file.premultiplied)
      for (std::size_t i = 0; i < samples.size(); i += 4)
        for (int c = 0; c < 3; ++c)
          samples[i + c] =
              std::uint16_t((std::uint32_t(samples[i + c]) * samples[i + 3] + 32767) / 65535);
    const JxlPixelFormat format{4, JXL_TYPE_UINT16, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderSetFrameHeader(settings, &header) ||
        JxlEncoderSetExtraChannelBlendInfo(settings, 0, &alpha) ||
        JxlEncoderAddImageFrame(settings, &format, samples.data(), samples.size() * 2))
      return done({});
  }
  JxlEncoderCloseInput(enc);
  std::string out(1 << 16, '\0');
  std::size_t used = 0;
  for (;;) {
    auto* next = reinterpret_cast<std::uint8_t*>(out.data() + used);
    std::size_t room = out.size() - used;
    const JxlEncoderStatus status = JxlEncoderProcessOutput(enc, &next, &room);
    used = out.size() - room;
    if (status == JXL_ENC_SUCCESS) break;
    if (status != JXL_ENC_NEED_MORE_OUTPUT) return done({});
    out.resize(out.size() * 2);
  }
  out.resize(used);
  return done(file.premultiplied ? MarkedPremultiplied(out) : out);
}

struct JxlFrames {
  std::vector<Pixels> frames;
  std::vector<int> delays;
  FramesInfo info;
};

JxlFrames ReadJxl(const std::string& bytes, std::size_t keep = 1 << 30) {
  JxlFrames d;
  d.info.loops = 1234;
  DecodeJxl(
      bytes,
      [&](Pixels&& p, int delay) {
        EXPECT_EQ(p.argb.size(), std::size_t(p.width) * std::size_t(p.height));
        d.frames.push_back(std::move(p));
        d.delays.push_back(delay);
        return d.frames.size() < keep;
      },
      &d.info);
  return d;
}

// A PAM as this djxl writes it (RGB_ALPHA) at 8 bits a sample; empty when it is not one. Its
// two-byte samples span 16 bits whatever MAXVAL says, which ImageMagick trusts.
Pixels ReadPam(const std::string& bytes) {
  Pixels p;
  int depth = 0, maxval = 0;
  const std::size_t end = bytes.find("ENDHDR\n");
  if (bytes.rfind("P7\n", 0) != 0 || end == std::string::npos) return {};
  if (std::sscanf(bytes.c_str(), "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL %d", &p.width,
                  &p.height, &depth, &maxval) != 4 ||
      depth != 4 || maxval < 1 || maxval > 65535)
    return {};
  const int size = maxval > 255 ? 2 : 1;
  const std::uint32_t top = size == 2 ? 65535 : std::uint32_t(maxval);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + end + 7);
  if (bytes.size() - end - 7 != std::size_t(p.width) * p.height * 4 * size) return {};
  p.has_alpha = true;
  p.argb.resize(std::size_t(p.width) * p.height);
  for (std::uint32_t& v : p.argb) {
    std::uint32_t c[4];
    for (std::uint32_t& k : c) {
      const std::uint32_t raw = size == 2 ? std::uint32_t(data[0]) << 8 | data[1] : data[0];
      k = (raw * 255 + top / 2) / top;
      data += size;
    }
    v = c[3] << 24 | c[0] << 16 | c[1] << 8 | c[2];
  }
  return p;
}

// The frames djxl composes: an APNG's frames for an animation, else a PAM (this djxl's PNGs
// of 9 to 15 bits are scrambled). Its colours stay premultiplied when the file's are.
std::vector<Pixels> Djxl(const TempDir& dir, const std::string& bytes, bool animated) {
  WriteBytes(dir / "in.jxl", bytes);
  const fs::path out = dir / (animated ? "out.png" : "out.pam");
  fs::remove(out);
  if (Run("djxl '" + (dir / "in.jxl").string() + "' '" + out.string() +
          "' --quiet >/dev/null 2>&1"))
    return {};
  if (!animated) return {ReadPam(ReadBytes(out))};
  const std::optional<Apng> apng = SplitApng(ReadBytes(out));
  if (!apng) return {};
  std::vector<Pixels> frames;
  for (const ApngFrame& f : apng->frames) {
    WriteBytes(dir / "frame.png", f.png);
    frames.push_back(Reference(dir / "frame.png"));
  }
  return frames;
}

Rgba16 Clear(int width, int height) {
  return Painted(width, height, [](int, int) { return 0.0; });
}

TEST(Jxl, AlphaLayersAndFramesMatchDjxl) {
  const auto mostly_clear = [](int x, int y) { return x < 20 && y < 20 ? 1.0 : 0.12; };
  const auto ramp = [](int x, int y) { return (x + y) / 150.0; };
  const auto spot = [](int x, int y) { return std::hypot(x - 16, y - 12) < 12 ? 0.8 : 0.0; };
  struct Case {
    const char* name;
    JxlFile file;
  };
  const Case cases[] = {
      {"8-bit alpha", {96, 64, 8, false, false, {{Painted(96, 64, ramp)}}}},
      {"9-bit alpha", {96, 64, 9, false, false, {{Painted(96, 64, mostly_clear)}}}},
      {"16-bit alpha", {96, 64, 16, false, false, {{Painted(96, 64, ramp)}}}},
      {"premultiplied", {96, 64, 8, true, false, {{Painted(96, 64, mostly_clear)}}}},
      {"premultiplied 12-bit", {96, 64, 12, true, false, {{Painted(96, 64, ramp)}}}},
      {"layers blended",
       {96,
        64,
        8,
        false,
        false,
        {{Painted(96, 64, mostly_clear)},
         {Painted(32, 24, spot, 1), 50, 30, JXL_BLEND_BLEND},
         {Painted(40, 20, ramp, 2), 4, 40, JXL_BLEND_BLEND}}}},
      {"premultiplied layers",
       {96,
        64,
        10,
        true,
        false,
        {{Painted(96, 64, ramp)}, {Painted(32, 24, spot, 1), 50, 30, JXL_BLEND_BLEND}}}},
      {"animation",
       {96,
        64,
        8,
        false,
        true,
        {{Painted(96, 64, mostly_clear), 0, 0, JXL_BLEND_REPLACE, 120},
         {Painted(32, 24, spot, 1), 50, 30, JXL_BLEND_BLEND, 80},
         {Clear(96, 64), 0, 0, JXL_BLEND_REPLACE, 40},
         {Painted(40, 20, ramp, 2), 4, 40, JXL_BLEND_BLEND, 200}}}},
      {"turned", {96, 64, 8, false, false, {{Painted(96, 64, ramp)}}, JXL_ORIENT_ROTATE_90_CW}},
      {"transposed", {96, 64, 8, false, false, {{Painted(96, 64, ramp)}}, JXL_ORIENT_TRANSPOSE}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = EncodeJxl(c.file);
    ASSERT_FALSE(bytes.empty());
    const std::vector<Pixels> expected = Djxl(dir, bytes, c.file.animated);
    ASSERT_FALSE(expected.empty());
    const JxlFrames got = ReadJxl(bytes);
    ASSERT_EQ(got.frames.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(got.frames[i].width, expected[i].width) << i;
      EXPECT_EQ(got.frames[i].height, expected[i].height) << i;
      EXPECT_TRUE(got.frames[i].has_alpha) << i;
      EXPECT_GE(Psnr(expected[i], got.frames[i], c.file.premultiplied), 30) << i;
    }
    if (c.file.animated) {
      EXPECT_EQ(got.delays, (std::vector<int>{120, 80, 40, 200}));
    }
  }
}

// ---------------------------------------------------------------------------------------
// HEIF

struct HeifFile {
  Rgba16 pixels;
  int bits = 8;
  bool alpha = true;
  bool premultiplied = false;
  heif_orientation orientation = heif_orientation_normal;
  bool grid_crop = false;  // odd sizes cropped by a grid around the coded picture, not clap
  heif_compression_format format = heif_compression_HEVC;
  heif_color_primaries primaries = heif_color_primaries_ITU_R_BT_709_5;  // with the sRGB curve
};

heif_error Append(heif_context*, const void* data, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

std::string EncodeHeif(const HeifFile& file) {
  const Rgba16& p = file.pixels;
  const bool deep = file.bits > 8;
  const heif_chroma chroma =
      deep ? (file.alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (file.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* image = nullptr;
  if (heif_image_create(p.width, p.height, heif_colorspace_RGB, chroma, &image).code ||
      heif_image_add_plane(image, heif_channel_interleaved, p.width, p.height, file.bits).code) {
    heif_image_release(image);
    return {};
  }
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  const int channels = file.alpha ? 4 : 3;
  const std::uint32_t top = (1u << file.bits) - 1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      const std::uint16_t* s = &p.samples[(std::size_t(y) * p.width + x) * 4];
      for (int c = 0; c < channels; ++c) {
        std::uint32_t v = s[c];
        if (file.premultiplied && c < 3) v = (v * s[3] + 32767) / 65535;
        v = (v * top + 32767) / 65535;
        std::uint8_t* to =
            plane + std::size_t(y) * stride + (std::size_t(x) * channels + c) * (deep ? 2 : 1);
        to[0] = std::uint8_t(v);
        if (deep) to[1] = std::uint8_t(v >> 8);
      }
    }
  heif_image_set_premultiplied_alpha(image, file.premultiplied);
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  heif_encoding_options* options = heif_encoding_options_alloc();
  options->image_orientation = file.orientation;
  options->macOS_compatibility_workaround = file.grid_crop;
  heif_color_profile_nclx* nclx = heif_nclx_color_profile_alloc();
  nclx->color_primaries = file.primaries;
  nclx->transfer_characteristics = heif_transfer_characteristic_IEC_61966_2_1;
  nclx->matrix_coefficients = heif_matrix_coefficients_ITU_R_BT_601_6;
  nclx->full_range_flag = 1;
  options->output_nclx_profile = nclx;
  heif_image_set_nclx_color_profile(image, nclx);               // what this libheif writes in colr
  options->macOS_compatibility_workaround_no_nclx_profile = 0;  // else no colr box is written
  heif_writer writer{1, Append};
  std::string out;
  if (heif_context_get_encoder_for_format(context, file.format, &encoder).code ||
      heif_encoder_set_lossy_quality(encoder, 92).code ||
      heif_context_encode_image(context, image, encoder, options, nullptr).code ||
      heif_context_write(context, &writer, &out).code)
    out.clear();
  heif_encoding_options_free(options);
  heif_nclx_color_profile_free(nclx);
  if (encoder) heif_encoder_release(encoder);
  heif_context_free(context);
  heif_image_release(image);
  return out;
}

// The primary picture as heif-convert writes it, read by ImageMagick.
Pixels HeifConvert(const TempDir& dir, const std::string& bytes) {
  WriteBytes(dir / "in.heic", bytes);
  fs::remove(dir / "out.png");
  if (Run("heif-convert --quiet '" + (dir / "in.heic").string() + "' '" +
          (dir / "out.png").string() + "' >/dev/null 2>&1"))
    return {};
  return Reference(dir / "out.png");
}

TEST(Heif, MatchesHeifConvertAndTheSource) {
  const auto ramp = [](int x, int y) { return 0.1 + (x + y) / 180.0; };
  const auto opaque = [](int, int) { return 1.0; };
  // Fine colour detail would be lost to 4:2:0 chroma whatever the reader does.
  const Rgba16 clear = Painted(97, 61, ramp, 0, 0.02), solid = Painted(97, 61, opaque, 0, 0.02);
  struct Case {
    const char* name;
    HeifFile file;
  };
  const Case cases[] = {
      {"8-bit", {solid, 8, false}},
      {"alpha", {clear, 8, true}},
      {"10-bit", {solid, 10, false}},
      {"10-bit alpha", {clear, 10, true}},
      {"12-bit alpha", {clear, 12, true}},
      {"premultiplied", {clear, 8, true, true}},
      {"turned", {clear, 8, true, false, heif_orientation_rotate_90_cw}},
      {"mirrored", {solid, 8, false, false, heif_orientation_flip_horizontally}},
      {"upside down", {solid, 8, false, false, heif_orientation_rotate_180}},
      // This libheif mirrors 8-bit planes only: deeper ones are transformed by the reader.
      {"10-bit mirrored", {solid, 10, false, false, heif_orientation_flip_vertically}},
      {"12-bit turned and mirrored",
       {solid, 12, false, false, heif_orientation_rotate_90_cw_then_flip_vertically}},
      // Deeper still with alpha too is beyond this libheif: it mirrors the alpha plane itself.
      {"transposed", {clear, 8, true, false, heif_orientation_rotate_90_cw_then_flip_horizontally}},
      {"crop in a grid", {clear, 8, true, false, heif_orientation_rotate_270_cw, true}},
      // This libheif with libaom fails to write deeper AVIFs.
      {"avif", {clear, 8, true, false, heif_orientation_normal, false, heif_compression_AV1}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = EncodeHeif(c.file);
    ASSERT_FALSE(bytes.empty());
    const Pixels expected = HeifConvert(dir, bytes);
    // This heif-convert asks for 16-bit output, which libheif cannot mirror.
    const bool deep_mirror = c.file.bits > 8 && c.file.orientation != heif_orientation_normal &&
                             c.file.orientation % 2 == (c.file.orientation < 5 ? 0 : 1);
    EXPECT_EQ(expected.argb.empty(), deep_mirror);
    std::string icc = "stale";
    const Pixels got = DecodeHeif(bytes, &icc);
    EXPECT_EQ(got.has_alpha, c.file.alpha);
    if (!deep_mirror) {
      EXPECT_EQ(got.width, expected.width);
      EXPECT_EQ(got.height, expected.height);
      EXPECT_GE(Psnr(expected, got, c.file.premultiplied), 30);
    }
    // heif-convert goes through the same library: the source, turned as the file says, tells
    // whether the turn, mirror and crop were applied at all.
    const Pixels source = Oriented(To8(c.file.pixels), c.file.orientation);
    EXPECT_GE(Psnr(got, source), 30);
  }
}

// Wide-gamut primaries in an nclx box are honoured: a colour lands where the published
// conversion to sRGB puts it, BT.709 primaries need no profile at all.
TEST(Heif, NclxPrimariesBecomeAProfile) {
  constexpr double kP3 = 0.3, kGreen = 0.8;  // P3 (0.3, 0.8, 0.3), sRGB curve both sides
  const auto linear = [](double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  const auto encoded = [](double v) {
    v = std::clamp(v, 0.0, 1.0);
    return 255 * (v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055);
  };
  const double r = linear(kP3), g = linear(kGreen), b = linear(kP3);
  struct Case {
    heif_color_primaries primaries;
    bool profile;
    double red, green, blue;  // expected sRGB
  };
  const Case cases[] = {
      {heif_color_primaries_ITU_R_BT_709_5, false, 255 * kP3, 255 * kGreen, 255 * kP3},
      {heif_color_primaries_SMPTE_EG_432_1, true, encoded(1.2249 * r - 0.2247 * g),
       encoded(-0.0420 * r + 1.0419 * g), encoded(-0.0197 * r - 0.0786 * g + 1.0979 * b)},
  };
  Rgba16 picture{64, 48, {}};
  for (int i = 0; i < 64 * 48; ++i)
    for (double v : {kP3, kGreen, kP3, 1.0}) picture.samples.push_back(std::uint16_t(v * 65535));
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.primaries));
    HeifFile file{picture, 8, false};
    file.primaries = c.primaries;
    const std::string bytes = EncodeHeif(file);
    ASSERT_FALSE(bytes.empty());
    std::string icc;
    DecodeHeif(bytes, &icc);
    EXPECT_EQ(!icc.empty(), c.profile);
    const image::Decoded shown = image::Decode(bytes, {64, 48});
    ASSERT_EQ(shown.image.argb.size(), 64u * 48u);
    const std::uint32_t p = shown.image.argb[24 * 64 + 32];
    EXPECT_NEAR(double(p >> 16 & 0xff), c.red, 4);
    EXPECT_NEAR(double(p >> 8 & 0xff), c.green, 4);
    EXPECT_NEAR(double(p & 0xff), c.blue, 4);
  }
}

}  // namespace
}  // namespace mirvane::image::testing
