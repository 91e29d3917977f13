#include "image/readers/heif.h"

#include <libheif/heif.h>

#include <memory>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

void Check(heif_error e) {
  if (e.code != heif_error_Ok) throw Error(std::string("HEIF: ") + e.message);
}

template <typename T, void (*Free)(const T*)>
struct Deleter {
  void operator()(T* p) const { Free(p); }
};
void FreeContext(const heif_context* c) { heif_context_free(const_cast<heif_context*>(c)); }
using Context = std::unique_ptr<heif_context, Deleter<heif_context, FreeContext>>;
using Handle =
    std::unique_ptr<heif_image_handle, Deleter<heif_image_handle, heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Deleter<heif_image, heif_image_release>>;

}  // namespace

Pixels DecodeHeif(std::string_view bytes, std::string* icc) {
  const Context context(heif_context_alloc());
  if (!context) throw std::bad_alloc();
  heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxSide));
  Check(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(),
                                                   nullptr));
  heif_image_handle* raw_handle = nullptr;
  Check(heif_context_get_primary_image_handle(context.get(), &raw_handle));
  const Handle handle(raw_handle);
  // The coded size bounds the decoder's own buffers; the shown size, turned, ours.
  if (!WithinBudget(heif_image_handle_get_ispe_width(handle.get()),
                    heif_image_handle_get_ispe_height(handle.get())) ||
      !WithinBudget(heif_image_handle_get_width(handle.get()),
                    heif_image_handle_get_height(handle.get())))
    throw Error("HEIF: picture too large");

  if (icc &&
      (heif_image_handle_get_color_profile_type(handle.get()) == heif_color_profile_type_prof ||
       heif_image_handle_get_color_profile_type(handle.get()) == heif_color_profile_type_rICC)) {
    icc->resize(heif_image_handle_get_raw_color_profile_size(handle.get()));
    if (heif_image_handle_get_raw_color_profile(handle.get(), icc->data()).code != heif_error_Ok)
      icc->clear();
  }

  const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
  heif_image* raw_image = nullptr;
  Check(heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          nullptr));
  const Image image(raw_image);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int step = alpha ? 4 : 3;
  if (!plane || !WithinBudget(w, h) || stride < w * step) throw Error("HEIF: no picture");

  Pixels out{w, h, alpha, {}};
  out.argb.resize(std::size_t(w) * h);
  std::uint32_t* to = out.argb.data();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = plane + std::size_t(y) * stride;
    for (int x = 0; x < w; ++x, p += step) {
      const std::uint32_t a = alpha ? p[3] : 0xff;
      *to++ = a << 24 | std::uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
    }
  }
  return out;
}

}  // namespace mirvane::image
