#pragma once

#include <filesystem>
#include <string>

#include "image/pixels.h"

namespace mirvane::image::testing {

// A folder of its own under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Runs a shell command; its exit status (0 success).
int Run(const std::string& command);
// A file's whole content; empty when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

// `path` as ImageMagick decodes it (first frame, as stored: no orientation applied), 8 bits
// a channel, straight alpha. Empty when ImageMagick cannot read it.
Pixels Reference(const std::filesystem::path& path, const std::string& options = {});

// PSNR in dB of `a` against `b` (same size; both composed over white first), over the
// colour channels. 99 for identical pictures, 0 when the sizes differ.
double Psnr(const Pixels& a, const Pixels& b, bool a_premultiplied = false);

}  // namespace mirvane::image::testing
