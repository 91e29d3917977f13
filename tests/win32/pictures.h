#pragma once

#include <wincodec.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Pictures made in memory for the image tests, written with WIC's own encoders.
namespace mirvane::platform::win32::test {

// 0xAARRGGBB of pixel (x, y).
using Painter = std::function<std::uint32_t(int x, int y)>;

// The file bytes of a w x h picture in `container` (GUID_ContainerFormatPng, ...).
std::string Encode(const GUID& container, int width, int height, const Painter& paint);

// `jpeg` with an Exif segment carrying `orientation` put right after its start marker.
std::string WithExifOrientation(const std::string& jpeg, int orientation);

// `png` with an eXIf chunk carrying `orientation` put right after its header chunk.
std::string WithPngExifOrientation(const std::string& png, int orientation);

// An animated GIF of plain `width` x `height` frames, one of each colour (0xRRGGBB, at most
// four), each shown `delay_cs` hundredths of a second; `loops` as its NETSCAPE2.0 block
// says it (0: forever).
std::string AnimatedGif(int width, int height, const std::vector<std::uint32_t>& colours,
                        int delay_cs, int loops);

// A PNG whose header claims `width` x `height` and that holds no pixel data.
std::string PngHeaderOnly(std::uint32_t width, std::uint32_t height);

// Writes `bytes` to the file `name` (UTF-8).
void WriteFile(const std::string& name, const std::string& bytes);

}  // namespace mirvane::platform::win32::test
