#pragma once

#include <wincodec.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mirvane::platform::win32 {

class RegularFile;

// `length` bytes of a file from `offset` on; fewer where the file ends or cannot be read.
using ReadAt = std::function<std::string(std::int64_t offset, std::size_t length)>;

// Throws Error unless the first bytes `head` of a file of `size` bytes show a picture that
// our own readers or one of the system's WIC codecs can read, with its header within
// budget. The codecs are asked the way WIC picks one, by the identifying patterns they
// register; `read_at` supplies a pattern's bytes beyond the head (a footer). `name` serves
// only formats without a signature (TGA).
void CheckHead(IWICImagingFactory& factory, std::string_view head, std::int64_t size,
               std::string_view name = {}, const ReadAt& read_at = {});

// The whole content of the regular file `name` (UTF-8), read only once its first bytes
// have passed CheckHead, so that a file of any size that is no picture is refused at once.
// Throws Error naming the file for a missing, unreadable, empty or oversized file, one no
// codec reads and anything that is not a regular disk file, without blocking on it.
std::string ReadPictureFile(IWICImagingFactory& factory, const std::string& name);
// The same from a file already open.
std::string ReadPictureFile(IWICImagingFactory& factory, RegularFile& file,
                            const std::string& name);

}  // namespace mirvane::platform::win32
