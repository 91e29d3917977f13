// Feeds arbitrary bytes through the check of the first bytes and the decoder chain that
// Render uses.
#include <QGuiApplication>
#include <QSize>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "image/exif.h"
#include "image/png_decode.h"
#include "platform/error.h"
#include "platform/qt/image/decode.h"
#include "platform/qt/image/safe_file.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  // Plugin lookup, and fonts for the text in SVG drawings (run.sh picks offscreen).
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // The first byte picks the slot, the turn and the name, so scaled and unscaled paths
  // both run and TGA (told by its name when it has no footer) is read too.
  const QSize box = size > 0 && (data[0] & 1) ? QSize(1912, 1053) : QSize(459, 303);
  const int turns = size > 0 ? (data[0] >> 1) & 3 : 0;
  // Our PNG decoder on everything, at both sizes: Decode reaches it only for PNG
  // signatures, and falls back when it throws.
  try {
    (void)mirvane::image::DecodePng(std::string_view(reinterpret_cast<const char*>(data), size),
                                    {box.width(), box.height()}, {box.height(), box.width()});
  } catch (const mirvane::platform::Error&) {
  } catch (const std::bad_alloc&) {
  }
  // The Windows build reads EXIF orientation with this parser of ours.
  (void)mirvane::image::ExifOrientation(
      std::string_view(reinterpret_cast<const char*>(data), size));
  const char* name = size > 0 && (data[0] & 8) ? "fuzz.tga" : "fuzz";
  // The check of the first bytes, and the decoders on everything, whatever it said.
  try {
    mirvane::platform::qt::image::CheckHead(std::string_view(bytes.constData(), size),
                                            static_cast<std::int64_t>(size), name);
  } catch (const mirvane::platform::Error&) {
  }
  try {
    (void)mirvane::platform::qt::image::Decode(bytes, box, turns, name);
  } catch (const mirvane::platform::Error&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
