#include <initguid.h>  // defines the WIC GUIDs used here

#include "platform/win32/wic_decode.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "image/budget.h"
#include "image/exif.h"
#include "image/format.h"
#include "image/readers/pcx.h"
#include "image/scale.h"
#include "image/error.h"
#include "platform/error.h"
#include "platform/win32/com_ptr.h"

namespace mirvane::platform::win32 {
namespace {

// Reduced-size decoding (JPEG's DCT scaling on Windows). Debian's mingw-w64 headers
// do not declare this interface, so it is declared here under a name of our own.
struct SourceTransform : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride,
                                               UINT buffer_size, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                         BOOL* supported) = 0;
};
constexpr IID kSourceTransformId = {
    0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};

void Check(HRESULT result, const char* what) {
  if (result == E_OUTOFMEMORY) throw Error(std::string(what) + ": out of memory");
  if (FAILED(result)) throw Error(std::string(what) + " failed");
}

std::size_t Bytes(image::Size size) {
  return static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 4;
}

// The EXIF orientation (1 to 8) of a picture in a format we do not parse ourselves
// (HEIF and the like, from the system's codecs); 1 when it carries none.
int SystemOrientation(IWICBitmapFrameDecode& frame) {
  ComPtr<IWICMetadataQueryReader> reader;
  if (FAILED(frame.GetMetadataQueryReader(reader.Put())) || !reader) return 1;
  PROPVARIANT value;
  PropVariantInit(&value);
  int orientation = 1;
  if (SUCCEEDED(reader->GetMetadataByName(L"System.Photo.Orientation", &value)) &&
      value.vt == VT_UI2 && value.uiVal >= 1 && value.uiVal <= 8) {
    orientation = value.uiVal;
  }
  PropVariantClear(&value);
  return orientation;
}

// JPEG and TIFF orientation comes from our own reader of the bytes: Wine's JPEG codec
// reports no Exif, and its metadata query reader faults on some damaged files.
int Orientation(std::string_view bytes, image::Format format, IWICBitmapFrameDecode& frame) {
  switch (format) {
    case image::Format::kJpeg:
    case image::Format::kTiff:
      return image::ExifOrientation(bytes);
    case image::Format::kRaw:
      // Told apart from TIFF by the Qt back-end's readers; TIFF inside is read as TIFF.
      if (bytes.starts_with(std::string_view("II*\0", 4)) ||
          bytes.starts_with(std::string_view("MM\0*", 4)))
        return image::ExifOrientation(bytes);
      return SystemOrientation(frame);
    case image::Format::kUnknown:
    case image::Format::kHeif:
    case image::Format::kAvif:
    case image::Format::kJxl:
    case image::Format::kSvg:
    case image::Format::kTga:
    case image::Format::kIco:
    case image::Format::kPnm:
      return SystemOrientation(frame);
    default:
      return 1;
  }
}

UINT BitsPerPixel(IWICImagingFactory& factory, const WICPixelFormatGUID& format) {
  ComPtr<IWICComponentInfo> component;
  if (FAILED(factory.CreateComponentInfo(format, component.Put()))) return 0;
  auto info = component.As<IWICPixelFormatInfo>();
  UINT bits = 0;
  if (!info || FAILED(info->GetBitsPerPixel(&bits))) return 0;
  return bits;
}

// The frame decoded by the codec itself at the smallest size it offers that is still
// at least `wanted`, or nothing when it offers no smaller size.
ComPtr<IWICBitmapSource> Reduced(IWICImagingFactory& factory, IWICBitmapFrameDecode& frame,
                                 image::Size full, image::Size wanted) {
  ComPtr<SourceTransform> transform;
  if (FAILED(frame.QueryInterface(kSourceTransformId, reinterpret_cast<void**>(transform.Put()))) ||
      !transform) {
    return {};
  }
  UINT width = static_cast<UINT>(wanted.width);
  UINT height = static_cast<UINT>(wanted.height);
  if (FAILED(transform->GetClosestSize(&width, &height))) return {};
  if (width < static_cast<UINT>(wanted.width) || height < static_cast<UINT>(wanted.height) ||
      (width >= static_cast<UINT>(full.width) && height >= static_cast<UINT>(full.height)) ||
      !image::WithinBudget(width, height)) {
    return {};
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;
  if (FAILED(transform->GetClosestPixelFormat(&format))) return {};
  const UINT bits = BitsPerPixel(factory, format);
  if (bits == 0 || bits > 64) return {};
  const UINT stride = ((width * bits + 31) / 32) * 4;
  const std::uint64_t size = std::uint64_t{stride} * height;
  std::vector<BYTE> buffer(static_cast<std::size_t>(size));
  if (FAILED(transform->CopyPixels(nullptr, width, height, &format, WICBitmapTransformRotate0,
                                   stride, static_cast<UINT>(size), buffer.data()))) {
    return {};
  }
  ComPtr<IWICBitmap> bitmap;
  if (FAILED(factory.CreateBitmapFromMemory(width, height, format, stride, static_cast<UINT>(size),
                                            buffer.data(), bitmap.Put()))) {
    return {};
  }
  return bitmap.As<IWICBitmapSource>();
}

// `source` converted to premultiplied 32-bit colour first (palette, bilevel and 16-bit
// pictures are scaled in full colour), then brought to `size`: a reduction averages the
// area each pixel covers, fed a strip of rows at a time, so that the picture is never
// held whole at full size.
Bitmap Rendered(IWICImagingFactory& factory, IWICBitmapSource& source, image::Size size) {
  ComPtr<IWICFormatConverter> converter;
  Check(factory.CreateFormatConverter(converter.Put()), "format converter");
  Check(converter->Initialize(&source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom),
        "colour conversion");
  UINT width = 0, height = 0;
  Check(converter->GetSize(&width, &height), "size");
  const image::Size from{static_cast<int>(width), static_cast<int>(height)};
  const bool reduce = size.width <= from.width && size.height <= from.height && !(size == from);
  if (!reduce) {
    // Enlarging: the source is no larger than the slot.
    Bitmap whole{from.width, from.height, {}};
    whole.pixels.resize(Bytes(from) / 4);
    Check(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(Bytes(from)),
                                reinterpret_cast<BYTE*>(whole.pixels.data())),
          "decoding");
    return ScaledTo(whole, size);
  }
  image::AreaReducer reducer(from, size);
  const int strip = std::max(1, (1 << 22) / (from.width * 4));  // about 4 MB a strip
  std::vector<std::uint32_t> rows(static_cast<std::size_t>(strip) * width);
  for (int y = 0; y < from.height; y += strip) {
    const int count = std::min(strip, from.height - y);
    const WICRect rect{0, y, from.width, count};
    Check(converter->CopyPixels(&rect, width * 4, static_cast<UINT>(count) * width * 4,
                                reinterpret_cast<BYTE*>(rows.data())),
          "decoding");
    for (int r = 0; r < count; ++r) reducer.AddRow(&rows[static_cast<std::size_t>(r) * width]);
  }
  return {size.width, size.height, reducer.Take()};
}

Decoded DecodePcxFitted(std::string_view bytes, const BoxFor& box_for) {
  Bitmap full;
  try {
    full = FromPixels(image::DecodePcx(bytes));
  } catch (const image::Error& e) {  // the pipeline's error, as the slot's own
    throw Error(e.what());
  }
  const image::Size fitted = image::FittedSize(full.size(), box_for(full.size()));
  return {ScaledTo(full, fitted), full.size()};
}

Decoded DecodeWithWic(IWICImagingFactory& factory, std::string_view bytes, image::Format format,
                      const BoxFor& box_for) {
  ComPtr<IWICStream> stream;
  Check(factory.CreateStream(stream.Put()), "stream");
  Check(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                     static_cast<DWORD>(bytes.size())),
        "stream");
  ComPtr<IWICBitmapDecoder> decoder;
  Check(factory.CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                        decoder.Put()),
        "no codec for this file; opening");
  ComPtr<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(0, frame.Put()), "reading the first frame");
  UINT width = 0, height = 0;
  Check(frame->GetSize(&width, &height), "reading the size");
  if (width == 0 || height == 0 || width > image::kMaxSide || height > image::kMaxSide) {
    throw Error("picture size out of range");
  }
  const image::Size stored{static_cast<int>(width), static_cast<int>(height)};
  const int orientation = Orientation(bytes, format, *frame.Get());
  const image::Size upright = image::Turned(stored, SwapsSides(orientation) ? 1 : 0);
  const image::Size fitted = image::FittedSize(upright, box_for(upright));
  const image::Size wanted = image::Turned(fitted, SwapsSides(orientation) ? 1 : 0);

  ComPtr<IWICBitmapSource> source;
  if (std::int64_t{width} * height <= image::kMaxJpegPixels) {
    source = Reduced(factory, *frame.Get(), stored, wanted);
  }
  if (!source) {
    if (!image::WithinBudget(width, height)) throw Error("picture too large");
    source = frame.As<IWICBitmapSource>();
  }
  return {Oriented(Rendered(factory, *source.Get(), wanted), orientation), upright};
}

}  // namespace

Decoded Decode(IWICImagingFactory& factory, std::string_view bytes, const BoxFor& box_for) {
  try {
    const image::Format format = image::Sniff(bytes);
    if (format == image::Format::kPcx) return DecodePcxFitted(bytes, box_for);
    return DecodeWithWic(factory, bytes, format, box_for);
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

Decoded Decode(IWICImagingFactory& factory, std::string_view bytes, image::Size box) {
  return Decode(factory, bytes, [box](image::Size) { return box; });
}

Bitmap ScaledTo(const Bitmap& bitmap, image::Size size) {
  if (bitmap.empty() || size == bitmap.size() || size.width <= 0 || size.height <= 0) {
    return bitmap;
  }
  try {
    if (size.width <= bitmap.width && size.height <= bitmap.height) {
      image::AreaReducer reducer(bitmap.size(), size);
      for (int y = 0; y < bitmap.height; ++y) {
        reducer.AddRow(&bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width]);
      }
      return {size.width, size.height, reducer.Take()};
    }
    return {size.width, size.height, image::ScaleBilinear(bitmap.pixels, bitmap.size(), size)};
  } catch (const std::bad_alloc&) {
    return bitmap;
  }
}

}  // namespace mirvane::platform::win32
