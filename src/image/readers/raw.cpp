#include "image/readers/raw.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <memory>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

// An EXIF thumbnail (160 x 120 and the like) is too small to stand for the picture.
constexpr int kMinPreviewSide = 320;

[[noreturn]] void Fail(int code) {
  throw Error(std::string("camera raw: ") + libraw_strerror(code));
}

int QuarterTurns(int flip) {
  switch (flip) {
    case 3:
      return 2;
    case 5:
      return 3;
    case 6:
      return 1;
    default:
      return 0;
  }
}

struct FreeImage {
  void operator()(libraw_processed_image_t* p) const { LibRaw::dcraw_clear_mem(p); }
};

Pixels FromRgb(const libraw_processed_image_t& image) {
  if (image.type != LIBRAW_IMAGE_BITMAP || image.bits != 8 ||
      (image.colors != 3 && image.colors != 1) || !WithinBudget(image.width, image.height) ||
      image.data_size < std::size_t(image.width) * image.height * image.colors)
    throw Error("camera raw: unexpected bitmap");
  Pixels out{image.width, image.height, false, {}};
  out.argb.resize(std::size_t(image.width) * image.height);
  const unsigned char* p = image.data;
  for (std::uint32_t& to : out.argb) {
    to = image.colors == 3 ? 0xff000000u | p[0] << 16 | p[1] << 8 | p[2]
                           : 0xff000000u | p[0] * 0x010101u;
    p += image.colors;
  }
  return out;
}

}  // namespace

RawPicture DecodeRaw(std::string_view bytes, Size box) {
  const auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
  // Its default handlers write damaged-file notes to stderr.
  raw->set_dataerror_handler([](void*, const char*, int) {}, nullptr);
  raw->set_memerror_handler([](void*, const char*, const char*) {}, nullptr);
  if (const int e = raw->open_buffer(const_cast<char*>(bytes.data()), bytes.size())) Fail(e);
  const auto& sizes = raw->imgdata.sizes;
  if (!WithinBudget(sizes.raw_width, sizes.raw_height) || !WithinBudget(sizes.width, sizes.height))
    throw Error("camera raw: picture too large");

  RawPicture out;
  out.quarter_turns = QuarterTurns(sizes.flip);
  out.full = Turned({sizes.width, sizes.height}, out.quarter_turns);

  const auto& thumb = raw->imgdata.thumbnail;
  if (raw->unpack_thumb() == LIBRAW_SUCCESS && thumb.thumb && thumb.tlength > 0 &&
      thumb.tlength <= bytes.size()) {
    const int side = std::max(thumb.twidth, thumb.theight);
    // Some makers' JPEG previews come without their size: the JPEG has it.
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG && (side == 0 || side >= kMinPreviewSide)) {
      out.jpeg.assign(thumb.thumb, thumb.tlength);
      return out;
    }
    if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP && side >= kMinPreviewSide) {
      int e = 0;
      const std::unique_ptr<libraw_processed_image_t, FreeImage> image(
          raw->dcraw_make_mem_thumb(&e));
      if (image) {
        out.pixels = FromRgb(*image);
        return out;
      }
    }
  }

  // No preview: develop the raw data, at half size when that still fills the box.
  const Size fitted = FittedSize({sizes.width, sizes.height}, Turned(box, out.quarter_turns));
  auto& params = raw->imgdata.params;
  params.half_size = fitted.width * 2 <= sizes.width && fitted.height * 2 <= sizes.height;
  params.use_camera_wb = 1;
  params.output_bps = 8;
  if (const int e = raw->unpack()) Fail(e);
  if (const int e = raw->dcraw_process()) Fail(e);
  int e = 0;
  const std::unique_ptr<libraw_processed_image_t, FreeImage> image(raw->dcraw_make_mem_image(&e));
  if (!image) Fail(e);
  out.pixels = FromRgb(*image);  // LibRaw has turned it upright already
  out.quarter_turns = 0;
  return out;
}

}  // namespace mirvane::image
