#include "image/readers/jpeg.h"

#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "image/budget.h"
#include "image/colour.h"
#include "image/error.h"
#include "image/exif.h"
#include "image/fit.h"

namespace mirvane::image {
namespace {

static_assert(std::endian::native == std::endian::little,
              "0xAARRGGBB values are written as B, G, R, A bytes");

// A progressive file needs a dozen scans; damaged ones can hold thousands of tiny scans,
// each a pass over the whole coefficient buffer. libjpeg-turbo's own fuzzers stop at 500.
constexpr int kMaxScans = 500;
// Progressive and multi-scan files keep every coefficient of the whole picture, 2 bytes a
// sample whatever the output scale: gigabytes from one bad header. Past this libjpeg fails
// for want of backing store.
constexpr long kMaxDecoderMemory = static_cast<long>(kMaxPixels * 8);

// libjpeg's state and everything with a destructor: the setjmp frame holds none of it.
struct Decoder {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  bool created = false;
  bool too_large = false;
  char message[JMSG_LENGTH_MAX] = {};
  std::string icc;
  std::vector<JSAMPLE> cmyk;
  Pixels pixels;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

Decoder& Of(j_common_ptr info) { return *static_cast<Decoder*>(info->client_data); }

[[noreturn]] void OnError(j_common_ptr info) {
  Decoder& d = Of(info);
  const int code = info->err->msg_code;
  d.too_large = code == JERR_IMAGE_TOO_BIG || code == JERR_NO_BACKING_STORE;
  info->err->format_message(info, d.message);
  std::longjmp(d.jump, 1);
}

// Warnings (data cut short, stray bytes) are not failures, and nothing goes to stderr.
void Silent(j_common_ptr, int) {}

void OnProgress(j_common_ptr info) {
  if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxScans) {
    std::snprintf(Of(info).message, JMSG_LENGTH_MAX, "more than %d scans", kMaxScans);
    std::longjmp(Of(info).jump, 1);
  }
}

// The smallest of 1/8 .. 8/8 whose output still covers `cover`. A picture only a few pixels
// across is not scaled: its edge would be averaged with the padding of its blocks.
void ChooseScale(jpeg_decompress_struct& info, Size cover) {
  const bool thin = info.image_width < 64 || info.image_height < 64;
  for (unsigned num = thin ? 8 : 1; num <= 8; ++num) {
    info.scale_num = num;
    info.scale_denom = 8;
    jpeg_calc_output_dimensions(&info);
    if (int(info.output_width) >= cover.width && int(info.output_height) >= cover.height) return;
  }
}

bool Cmyk(const jpeg_decompress_struct& info) {
  return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Returns false when libjpeg failed (d.message says why). Only trivially destructible
// locals here: longjmp lands in this frame.
bool Decode(Decoder& d, std::string_view bytes, Size box) {
  if (setjmp(d.jump)) return false;
  jpeg_create_decompress(&d.info);
  d.created = true;
  d.info.mem->max_memory_to_use = kMaxDecoderMemory;
  d.info.progress = &d.progress;
  jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&d.info, JPEG_APP0 + 2, 0xffff);
  jpeg_read_header(&d.info, TRUE);

  const std::int64_t w = d.info.image_width, h = d.info.image_height;
  if (w > kMaxJpegSide || h > kMaxJpegSide || w * h > kMaxJpegPixels) {
    d.too_large = true;
    return false;
  }
  JOCTET* icc = nullptr;
  unsigned int icc_length = 0;
  if (jpeg_read_icc_profile(&d.info, &icc, &icc_length) && icc) {
    d.icc.assign(reinterpret_cast<const char*>(icc), icc_length);
  }
  std::free(icc);

  const bool cmyk = Cmyk(d.info);
  d.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  ChooseScale(d.info, CoverSize({int(w), int(h)}, box));
  const int out_w = int(d.info.output_width), out_h = int(d.info.output_height);
  if (!WithinBudget(out_w, out_h)) {
    d.too_large = true;
    return false;
  }

  // Sized before any scan is read, so a bad header fails before the big allocations.
  const std::size_t stride = std::size_t(out_w) * 4;
  if (cmyk) {
    d.cmyk.resize(stride * std::size_t(out_h));
  } else {
    d.pixels.width = out_w;
    d.pixels.height = out_h;
    d.pixels.argb.resize(std::size_t(out_w) * std::size_t(out_h));
  }
  JSAMPLE* const base = cmyk ? d.cmyk.data() : reinterpret_cast<JSAMPLE*>(d.pixels.argb.data());

  jpeg_start_decompress(&d.info);
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW rows[8];
    const JDIMENSION first = d.info.output_scanline;
    JDIMENSION count = 0;
    while (count < 8 && first + count < d.info.output_height) {
      rows[count] = base + stride * (first + count);
      ++count;
    }
    // The memory source never suspends: past the end it feeds an end marker and libjpeg
    // fills what is missing.
    if (jpeg_read_scanlines(&d.info, rows, count) == 0) {
      std::snprintf(d.message, JMSG_LENGTH_MAX, "no rows decoded");
      return false;
    }
  }
  // No jpeg_finish_decompress: what follows the last row cannot change the picture, and
  // a damaged tail should not cost the rows already decoded.
  return true;
}

}  // namespace

Picture ReadJpeg(std::string_view bytes, Size box) {
  Decoder d;
  d.info.client_data = &d;
  d.info.err = jpeg_std_error(&d.errors);
  d.errors.error_exit = OnError;
  d.errors.emit_message = Silent;
  d.progress.progress_monitor = OnProgress;
  if (!Decode(d, bytes, box)) {
    if (d.too_large) throw Error("picture too large");
    throw Error(std::string("JPEG: ") + d.message);
  }

  Picture picture;
  if (Cmyk(d.info)) {
    // Adobe's writers store CMYK inverted (0 is full ink) and mark it with their APP14.
    picture.pixels =
        CmykToSrgb(d.cmyk.data(), int(d.info.output_width), int(d.info.output_height),
                   std::size_t(d.info.output_width) * 4, d.icc, d.info.saw_Adobe_marker);
  } else {
    picture.pixels = std::move(d.pixels);
    picture.icc = std::move(d.icc);
  }
  picture.orientation = ExifOrientation(bytes);
  const int w = int(d.info.image_width), h = int(d.info.image_height);
  picture.full = picture.orientation >= 5 ? Size{h, w} : Size{w, h};
  return picture;
}

}  // namespace mirvane::image
