#include "image/readers/heif.h"

#include <lcms2.h>
#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/budget.h"
#include "image/error.h"
#include "image/pixel_steps.h"

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
void FreeOptions(const heif_decoding_options* o) {
  heif_decoding_options_free(const_cast<heif_decoding_options*>(o));
}
void FreeNclx(const heif_color_profile_nclx* n) {
  heif_nclx_color_profile_free(const_cast<heif_color_profile_nclx*>(n));
}
using Context = std::unique_ptr<heif_context, Deleter<heif_context, FreeContext>>;
using Handle =
    std::unique_ptr<heif_image_handle, Deleter<heif_image_handle, heif_image_handle_release>>;
using Image = std::unique_ptr<heif_image, Deleter<heif_image, heif_image_release>>;
using Options = std::unique_ptr<heif_decoding_options, Deleter<heif_decoding_options, FreeOptions>>;
using Nclx = std::unique_ptr<heif_color_profile_nclx, Deleter<heif_color_profile_nclx, FreeNclx>>;

// ---------------------------------------------------------------------------------------
// The primary item's turn, mirror and crop, read from the file: libheif 1.15 mirrors only
// 8-bit planes and refuses deeper pictures with a mirror, which are then decoded without
// their transformations and transformed here, as libheif would have.

struct Bytes {
  const std::uint8_t* p;
  std::size_t size;
  std::uint32_t U32(std::size_t at) const {
    return at + 4 > size
               ? 0
               : std::uint32_t(p[at]) << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
  }
  std::uint32_t U16(std::size_t at) const { return at + 2 > size ? 0 : p[at] << 8 | p[at + 1]; }
  std::uint32_t U8(std::size_t at) const { return at < size ? p[at] : 0; }
};

struct Box {
  std::uint32_t type = 0;
  Bytes body{nullptr, 0};
};

constexpr std::uint32_t FourCc(const char (&s)[5]) {
  return std::uint32_t(std::uint8_t(s[0])) << 24 | std::uint8_t(s[1]) << 16 |
         std::uint8_t(s[2]) << 8 | std::uint8_t(s[3]);
}

// The boxes in `b` from `at`, in order; stops at the first that does not fit.
std::vector<Box> Boxes(Bytes b, std::size_t at = 0) {
  std::vector<Box> out;
  while (at + 8 <= b.size) {
    std::uint64_t size = b.U32(at);
    std::size_t header = 8;
    if (size == 1) {
      size = std::uint64_t(b.U32(at + 8)) << 32 | b.U32(at + 12);
      header = 16;
    } else if (size == 0) {
      size = b.size - at;
    }
    if (size < header || size > b.size - at) break;
    out.push_back({b.U32(at + 4), {b.p + at + header, std::size_t(size) - header}});
    at += std::size_t(size);
  }
  return out;
}

std::optional<Box> Child(const std::vector<Box>& boxes, std::uint32_t type) {
  for (const Box& box : boxes)
    if (box.type == type) return box;
  return std::nullopt;
}

// The properties of the primary item that change its geometry, in the order they apply.
std::vector<Box> PrimaryTransforms(std::string_view file) {
  const std::optional<Box> meta = Child(
      Boxes({reinterpret_cast<const std::uint8_t*>(file.data()), file.size()}), FourCc("meta"));
  if (!meta) return {};
  const std::vector<Box> in_meta = Boxes(meta->body, 4);
  const std::optional<Box> pitm = Child(in_meta, FourCc("pitm"));
  const std::optional<Box> iprp = Child(in_meta, FourCc("iprp"));
  if (!pitm || !iprp) return {};
  const std::uint32_t primary = pitm->body.U8(0) == 0 ? pitm->body.U16(4) : pitm->body.U32(4);
  const std::vector<Box> in_iprp = Boxes(iprp->body);
  const std::optional<Box> ipco = Child(in_iprp, FourCc("ipco"));
  if (!ipco) return {};
  const std::vector<Box> properties = Boxes(ipco->body);
  std::vector<Box> out;
  for (const Box& ipma : in_iprp) {
    if (ipma.type != FourCc("ipma")) continue;
    const Bytes& b = ipma.body;
    const bool long_ids = b.U8(0) >= 1, long_indices = b.U8(3) & 1;
    std::size_t at = 8;
    for (std::uint32_t n = b.U32(4); n > 0 && at < b.size; --n) {
      const std::uint32_t item = long_ids ? b.U32(at) : b.U16(at);
      at += long_ids ? 4 : 2;
      const std::uint32_t count = b.U8(at++);
      for (std::uint32_t i = 0; i < count; ++i, at += long_indices ? 2 : 1) {
        const std::uint32_t index = long_indices ? b.U16(at) & 0x7fff : b.U8(at) & 0x7f;
        if (item != primary || index == 0 || index > properties.size()) continue;
        const Box& p = properties[index - 1];
        if (p.type == FourCc("irot") || p.type == FourCc("imir") || p.type == FourCc("clap"))
          out.push_back(p);
      }
    }
  }
  return out;
}

// The clean aperture of a w x h picture, rounded as libheif rounds it; unchanged when it
// makes no sense.
Pixels Cropped(Pixels pixels, const Bytes& clap) {
  const auto ratio = [&](std::size_t at) {
    const auto d = std::int32_t(clap.U32(at + 4));
    return d == 0 ? 0.0 : double(std::int32_t(clap.U32(at))) / d;
  };
  const double width = ratio(0), height = ratio(8), dx = ratio(16), dy = ratio(24);
  const int w = pixels.width, h = pixels.height;
  const auto whole = [](double v) { return int(std::clamp(std::floor(v), -1e9, 1e9)); };
  int left = whole(dx + (w - 1) / 2.0 - (width - 1) / 2);
  int right = whole(width - 1 + left + 0.5);
  int top = whole(dy + (h - 1) / 2.0 - (height - 1) / 2 + 0.5);
  int bottom = whole(height - 1 + top + 0.5);
  left = std::max(left, 0), top = std::max(top, 0);
  right = std::min(right, w - 1), bottom = std::min(bottom, h - 1);
  if (left >= right || top >= bottom) return pixels;
  Pixels out{right - left + 1, bottom - top + 1, pixels.has_alpha, {}};
  out.argb.reserve(std::size_t(out.width) * out.height);
  for (int y = top; y <= bottom; ++y) {
    const auto row = pixels.argb.begin() + std::ptrdiff_t(y) * w;
    out.argb.insert(out.argb.end(), row + left, row + right + 1);
  }
  return out;
}

Pixels Transformed(Pixels pixels, const std::vector<Box>& transforms) {
  for (const Box& t : transforms) {
    if (t.type == FourCc("clap")) {
      pixels = Cropped(std::move(pixels), t.body);
    } else if (t.type == FourCc("irot")) {
      constexpr int kCounterClockwise[] = {1, 8, 3, 6};  // as EXIF orientations
      pixels = Oriented(pixels, kCounterClockwise[t.body.U8(0) & 3]);
    } else {
      // libheif's reading: axis 1 swaps left and right, 0 top and bottom.
      pixels = Oriented(pixels, t.body.U8(0) & 1 ? 2 : 4);
    }
  }
  return pixels;
}

// ---------------------------------------------------------------------------------------
// Colour

struct Primaries {
  int code;
  double red[2], green[2], blue[2], white[2];
};

// The primaries codes that mean other than sRGB's, as H.273 lists them.
constexpr Primaries kPrimaries[] = {
    {4, {0.67, 0.33}, {0.21, 0.71}, {0.14, 0.08}, {0.310, 0.316}},
    {5, {0.64, 0.33}, {0.29, 0.60}, {0.15, 0.06}, {0.3127, 0.3290}},
    {6, {0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}, {0.3127, 0.3290}},
    {7, {0.630, 0.340}, {0.310, 0.595}, {0.155, 0.070}, {0.3127, 0.3290}},
    {9, {0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}, {0.3127, 0.3290}},
    {11, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.314, 0.351}},
    {12, {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.3127, 0.3290}},
    {22, {0.630, 0.340}, {0.295, 0.605}, {0.155, 0.077}, {0.3127, 0.3290}},
};

// A profile for what an nclx box tells; empty for sRGB (BT.709 primaries, or unknown ones,
// with the sRGB curve, which the BT.709 family of curves is shown with too). HDR curves (PQ,
// HLG) are shown as if sRGB: there is no tone mapping here.
std::string ProfileOf(const heif_color_profile_nclx& nclx) {
  const Primaries* primaries = nullptr;
  for (const Primaries& p : kPrimaries)
    if (p.code == nclx.color_primaries) primaries = &p;
  double gamma = 0;  // the sRGB curve
  switch (nclx.transfer_characteristics) {
    case heif_transfer_characteristic_linear:
      gamma = 1;
      break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
      gamma = 2.2;
      break;
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
      gamma = 2.8;
      break;
    default:
      break;
  }
  if (!primaries && gamma == 0) return {};
  const Primaries& p =
      primaries ? *primaries
                : Primaries{1, {0.64, 0.33}, {0.30, 0.60}, {0.15, 0.06}, {0.3127, 0.3290}};
  const cmsCIExyY white{p.white[0], p.white[1], 1};
  const cmsCIExyYTRIPLE xyy{
      {p.red[0], p.red[1], 1}, {p.green[0], p.green[1], 1}, {p.blue[0], p.blue[1], 1}};
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve =
      gamma ? cmsBuildGamma(nullptr, gamma) : cmsBuildParametricToneCurve(nullptr, 4, srgb);
  if (!curve) return {};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  const cmsHPROFILE profile = cmsCreateRGBProfile(&white, &xyy, curves);
  cmsFreeToneCurve(curve);
  std::string out;
  cmsUInt32Number size = 0;
  if (profile && cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
    out.resize(size);
    if (!cmsSaveProfileToMem(profile, out.data(), &size)) out.clear();
  }
  if (profile) cmsCloseProfile(profile);
  return out;
}

std::string ProfileOf(const heif_image_handle* handle) {
  const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
  if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
    std::string icc(heif_image_handle_get_raw_color_profile_size(handle), '\0');
    if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
      return icc;
    return {};
  }
  heif_color_profile_nclx* raw = nullptr;
  if (heif_image_handle_get_nclx_color_profile(handle, &raw).code != heif_error_Ok) return {};
  const Nclx nclx(raw);
  return nclx ? ProfileOf(*nclx) : std::string();
}

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
  if (icc) *icc = ProfileOf(handle.get());

  // Grids, overlays and the alpha plane come composed, deeper pictures brought to 8 bits
  // by libheif, so that no 16-bit copy outlives the call.
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
  const heif_chroma chroma = alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
  const Options options(heif_decoding_options_alloc());
  if (!options) throw std::bad_alloc();
  options->convert_hdr_to_8bit = 1;
  heif_image* raw_image = nullptr;
  heif_error e =
      heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB, chroma, options.get());
  std::vector<Box> transforms;
  if (e.code == heif_error_Unsupported_feature) {
    transforms = PrimaryTransforms(bytes);
    options->ignore_transformations = 1;
    e = heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB, chroma, options.get());
  }
  Check(e);
  const Image image(raw_image);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int step = alpha ? 4 : 3;
  if (!plane || !WithinBudget(w, h) || stride < w * step) throw Error("HEIF: no picture");

  // libheif hands premultiplied alpha on as it is; Pixels carry it straight.
  const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(handle.get());
  Pixels out{w, h, alpha, {}};
  out.argb.resize(std::size_t(w) * h);
  std::uint32_t* to = out.argb.data();
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = plane + std::size_t(y) * stride;
    for (int x = 0; x < w; ++x, p += step) {
      const std::uint32_t a = alpha ? p[3] : 0xff;
      std::uint32_t r = p[0], g = p[1], b = p[2];
      if (premultiplied && a < 0xff) {
        const auto straight = [a](std::uint32_t c) {
          return a == 0 ? 0 : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a);
        };
        r = straight(r), g = straight(g), b = straight(b);
      }
      *to++ = a << 24 | r << 16 | g << 8 | b;
    }
  }
  if (!transforms.empty()) return Transformed(std::move(out), transforms);
  return out;
}

}  // namespace mirvane::image
