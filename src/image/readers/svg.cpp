#include "image/readers/svg.h"

#include <cairo.h>
#include <gio/gio.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

struct Destroy {
  void operator()(gpointer object) const { g_object_unref(object); }
  void operator()(GError* error) const { g_error_free(error); }
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

[[noreturn]] void Fail(const std::string& what) { throw Error("SVG: " + what); }

[[noreturn]] void Fail(GError* error, const char* fallback) {
  const std::unique_ptr<GError, Destroy> owned(error);
  std::string what = error && error->message ? error->message : "";
  while (!what.empty() && std::isspace(static_cast<unsigned char>(what.back()))) what.pop_back();
  Fail(what.empty() ? fallback : what);
}

// A broken file is ours to refuse, not librsvg's to report on stderr. Only its own domain,
// so Qt's and GLib's other logging stay as they are.
void QuietLibrsvg() {
  static const bool once = [] {
    g_log_set_handler(
        "librsvg",
        GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                       G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
        [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    return true;
  }();
  (void)once;
}

// A side as librsvg gives it, in pixels. Rounded, not up as librsvg suggests: only the fit
// is drawn, and 16 x 16.007 must fit as a square.
int Side(double side) {
  if (!(side > 0)) Fail("empty drawing");
  if (side > double(kMaxSide)) Fail("drawing too large");
  return std::max(1, int(std::lround(side)));
}

// The size the drawing declares, and the box in user units it is drawn from when it
// declares none (neither a size in absolute units nor a viewBox): then, as rsvg-convert
// does, the size of what it draws.
struct Extent {
  double width = 0;
  double height = 0;
  bool from_ink = false;
};

Extent DrawingExtent(RsvgHandle* handle) {
  Extent extent;
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &extent.width, &extent.height))
    return extent;
  gboolean has_viewbox = false;
  RsvgRectangle viewbox{};
  rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &has_viewbox,
                                       &viewbox);
  if (has_viewbox) return {viewbox.width, viewbox.height, false};
  RsvgRectangle ink{}, logical{};
  GError* error = nullptr;
  if (!rsvg_handle_get_geometry_for_element(handle, nullptr, &ink, &logical, &error))
    Fail(error, "drawing without a size");
  return {ink.width, ink.height, true};
}

}  // namespace

Picture DrawSvg(std::string_view svg, Size box) {
  QuietLibrsvg();
  // No base file: librsvg then refuses every reference but data: URIs and links within the
  // file, so an <image>, <use>, @import or url() naming a file, a device or a FIFO reads
  // nothing. Its own limits (elements loaded, references followed) stay on.
  const std::unique_ptr<GInputStream, Destroy> stream(
      g_memory_input_stream_new_from_data(svg.data(), gssize(svg.size()), nullptr));
  GError* error = nullptr;
  const std::unique_ptr<RsvgHandle, Destroy> handle(rsvg_handle_new_from_stream_sync(
      stream.get(), nullptr, RSVG_HANDLE_FLAGS_NONE, nullptr, &error));
  if (!handle) Fail(error, "unreadable file");
  // Physical units as CSS and rsvg-convert take them; librsvg's own default is 90.
  rsvg_handle_set_dpi(handle.get(), 96);

  const Extent extent = DrawingExtent(handle.get());
  Picture picture;
  picture.full = {Side(extent.width), Side(extent.height)};
  const Size fitted = FittedSize(picture.full, box);
  // The fit is bounded by the box; this bounds what an absurd box could make us allocate.
  if (!WithinBudget(fitted.width, fitted.height)) Fail("over budget");
  picture.premultiplied = true;
  picture.pixels.width = fitted.width;
  picture.pixels.height = fitted.height;
  picture.pixels.has_alpha = true;
  picture.pixels.argb.assign(std::size_t(fitted.width) * std::size_t(fitted.height), 0);

  // cairo's ARGB32 is premultiplied 0xAARRGGBB in native order, as Pixels are: drawn in place.
  const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, fitted.width);
  if (stride != fitted.width * 4) Fail("too wide to draw");
  const std::unique_ptr<cairo_surface_t, Destroy> surface(cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(picture.pixels.argb.data()), CAIRO_FORMAT_ARGB32,
      fitted.width, fitted.height, stride));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) Fail("too large to draw");
  const std::unique_ptr<cairo_t, Destroy> cr(cairo_create(surface.get()));
  RsvgRectangle viewport{0, 0, double(fitted.width), double(fitted.height)};
  if (extent.from_ink) {
    // Without a viewBox librsvg draws at one unit a pixel; the scale is cairo's, still
    // drawn at the size shown.
    cairo_scale(cr.get(), fitted.width / extent.width, fitted.height / extent.height);
    viewport = {0, 0, extent.width, extent.height};
  }
  if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error))
    Fail(error, "cannot draw");
  cairo_surface_flush(surface.get());
  return picture;
}

}  // namespace mirvane::image
