#pragma once

#include <QByteArray>

namespace mirvane::platform::qt::image {

enum class Format { kUnknown, kBmp, kJpeg, kPng, kGif, kTiff, kWebp, kPcx };

// The format told by the file's first bytes; the name's extension plays no part.
Format Sniff(const QByteArray& bytes);

}  // namespace mirvane::platform::qt::image
