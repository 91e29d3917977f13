// Feeds arbitrary bytes through the check of the first bytes and the whole picture
// pipeline that Render uses: every reader of ours and the finishing steps.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

#include "image/decode.h"
#include "image/error.h"
#include "image/exif.h"
#include "image/head_check.h"
#include "image/readers/png_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The first byte picks the slot, the turn and the name, so scaled and unscaled paths
  // both run and TGA (told by its name when it has no footer) is read too.
  const mirvane::image::Size box =
      size > 0 && (data[0] & 1) ? mirvane::image::Size{1912, 1053} : mirvane::image::Size{459, 303};
  const int turns = size > 0 ? (data[0] >> 1) & 3 : 0;
  // Our PNG decoder on everything: Decode reaches it only for PNG signatures.
  try {
    (void)mirvane::image::DecodePng(bytes, box, {box.height, box.width});
  } catch (const mirvane::image::Error&) {
  } catch (const std::bad_alloc&) {
  }
  (void)mirvane::image::ExifOrientation(bytes);
  const char* name = size > 0 && (data[0] & 8) ? "fuzz.tga" : "fuzz";
  // The check of the first bytes, and the decoders on everything, whatever it said.
  try {
    (void)mirvane::image::CheckHead(bytes, static_cast<std::int64_t>(size), name);
  } catch (const mirvane::image::Error&) {
  }
  try {
    (void)mirvane::image::Decode(bytes, box, turns, name);
  } catch (const mirvane::image::Error&) {
  }
  return 0;
}
