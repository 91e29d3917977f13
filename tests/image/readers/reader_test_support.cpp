#include "reader_test_support.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace mirvane::image::testing {

TempDir::TempDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("mirvane-readers-" + std::to_string(getpid()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return status == -1 ? -1 : WEXITSTATUS(status);
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

namespace {

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[1 << 16];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string Quoted(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

}  // namespace

Pixels Reference(const std::filesystem::path& path, const std::string& options) {
  Pixels pixels;
  std::istringstream size(Capture("identify -format '%w %h\\n' " + Quoted(path) +
                                  "'[0]' 2>/dev/null"));
  if (!(size >> pixels.width >> pixels.height)) return {};
  const std::string rgba = Capture("convert " + Quoted(path) + "'[0]' " + options +
                                   " -depth 8 RGBA:- 2>/dev/null");
  if (rgba.size() != std::size_t(pixels.width) * std::size_t(pixels.height) * 4) return {};
  pixels.argb.resize(rgba.size() / 4);
  for (std::size_t i = 0; i < pixels.argb.size(); ++i) {
    const auto b = [&](int k) { return std::uint32_t(std::uint8_t(rgba[i * 4 + k])); };
    pixels.argb[i] = b(3) << 24 | b(0) << 16 | b(1) << 8 | b(2);
    if (b(3) != 255) pixels.has_alpha = true;
  }
  return pixels;
}

namespace {

double OverWhite(std::uint32_t p, int shift, bool premultiplied) {
  const double a = double(p >> 24) / 255;
  const double c = double((p >> shift) & 0xff);
  return premultiplied ? c + (1 - a) * 255 : c * a + (1 - a) * 255;
}

}  // namespace

double Psnr(const Pixels& a, const Pixels& b, bool a_premultiplied) {
  if (a.width != b.width || a.height != b.height || a.argb.size() != b.argb.size() ||
      a.argb.empty())
    return 0;
  double sum = 0;
  for (std::size_t i = 0; i < a.argb.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const double d = OverWhite(a.argb[i], shift, a_premultiplied) - OverWhite(b.argb[i], shift, false);
      sum += d * d;
    }
  }
  const double mse = sum / (double(a.argb.size()) * 3);
  return mse < 1e-10 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace mirvane::image::testing
