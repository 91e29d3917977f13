// CMYK JPEGs through libjpeg itself: Qt's plugin hands them over as RGB by the plain
// formula, after which their profile can no longer be applied. Upright, as every reader.
#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include "image/budget.h"
#include "image/exif.h"
#include "platform/error.h"
#include "platform/qt/image/colour.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

struct Failure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1);
}

void Silent(j_common_ptr, int) {}

// Everything that needs destruction lives outside the setjmp frame's scope.
struct Decompressor {
  jpeg_decompress_struct info{};
  Failure failure{};
  std::vector<uchar> pixels;
  QByteArray icc;
  ~Decompressor() { jpeg_destroy_decompress(&info); }
};

bool Run(Decompressor& d, const QByteArray& bytes, QSize box) {
  if (setjmp(d.failure.jump)) return false;
  jpeg_create_decompress(&d.info);
  jpeg_mem_src(&d.info, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&d.info, JPEG_APP0 + 2, 0xffff);
  if (jpeg_read_header(&d.info, TRUE) != JPEG_HEADER_OK) return false;
  if (d.info.jpeg_color_space != JCS_CMYK && d.info.jpeg_color_space != JCS_YCCK) return false;
  if (!mirvane::image::WithinBudget(d.info.image_width, d.info.image_height)) return false;
  JOCTET* icc = nullptr;
  unsigned int length = 0;
  if (jpeg_read_icc_profile(&d.info, &icc, &length) && icc) {
    d.icc = QByteArray(reinterpret_cast<const char*>(icc), int(length));
    std::free(icc);
  }
  const QSize full(int(d.info.image_width), int(d.info.image_height));
  const QSize cover = CoverSize(full, box);
  d.info.out_color_space = JCS_CMYK;
  d.info.scale_num = 1;
  d.info.scale_denom = 1;
  for (int denom : {8, 4, 2}) {  // the smallest DCT scale that still covers
    if (full.width() / denom >= cover.width() && full.height() / denom >= cover.height()) {
      d.info.scale_denom = unsigned(denom);
      break;
    }
  }
  jpeg_start_decompress(&d.info);
  const size_t stride = size_t(d.info.output_width) * 4;
  d.pixels.resize(stride * d.info.output_height);
  while (d.info.output_scanline < d.info.output_height) {
    JSAMPROW row = d.pixels.data() + stride * d.info.output_scanline;
    jpeg_read_scanlines(&d.info, &row, 1);
  }
  jpeg_finish_decompress(&d.info);
  return true;
}

}  // namespace

bool ReadCmykJpeg(const QByteArray& bytes, QSize box, Picture& picture) {
  Decompressor d;
  d.info.err = jpeg_std_error(&d.failure.manager);
  d.failure.manager.error_exit = OnError;
  d.failure.manager.emit_message = Silent;
  if (!Run(d, bytes, box)) return false;
  // Adobe's writers store CMYK inverted (0 is full ink) and mark it with their APP14.
  QImage image = CmykToSrgb(d.pixels.data(), int(d.info.output_width), int(d.info.output_height),
                            qsizetype(d.info.output_width) * 4, d.icc, d.info.saw_Adobe_marker);
  QSize full(int(d.info.image_width), int(d.info.image_height));
  const int orientation =
      mirvane::image::ExifOrientation(std::string_view(bytes.constData(), bytes.size()));
  if (orientation != 1) {
    image = Oriented(image, orientation);
    if (orientation >= 5) full.transpose();
  }
  if (image.isNull()) throw Error("out of memory");
  picture = {std::move(image), full};
  return true;
}

}  // namespace mirvane::platform::qt::image
