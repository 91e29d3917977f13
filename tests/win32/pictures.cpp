#include "pictures.h"

#include <stdexcept>
#include <vector>

#include "platform/win32/com_ptr.h"
#include "platform/win32/text.h"

namespace mirvane::platform::win32::test {
namespace {

void Must(HRESULT result) {
  if (FAILED(result)) throw std::runtime_error("WIC call failed");
}

std::uint32_t Crc(const std::string& bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (const unsigned char byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void BigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xff);
}

// A TIFF directory holding only the orientation, as Exif carries it.
std::string ExifTiff(int orientation) {
  std::string tiff("II*\0\x08\0\0\0", 8);              // little-endian, IFD at 8
  tiff += std::string("\x01\0", 2);                    // one entry
  tiff += std::string("\x12\x01\x03\0\x01\0\0\0", 8);  // 274, SHORT, count 1
  tiff += static_cast<char>(orientation);
  tiff += std::string("\0\0\0", 3);
  tiff += std::string("\0\0\0\0", 4);  // no next IFD
  return tiff;
}

void LittleEndian16(std::string& out, int value) {
  out += static_cast<char>(value & 0xff);
  out += static_cast<char>((value >> 8) & 0xff);
}

// 3-bit codes, least significant bit first, in sub-blocks of at most 255 bytes.
class CodeWriter {
 public:
  void Put(unsigned code) {
    bits_ |= code << count_;
    count_ += 3;
    while (count_ >= 8) {
      bytes_ += static_cast<char>(bits_ & 0xff);
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  std::string Blocks() {
    if (count_ > 0) bytes_ += static_cast<char>(bits_ & 0xff);
    std::string out;
    for (std::size_t at = 0; at < bytes_.size(); at += 255) {
      const std::string block = bytes_.substr(at, 255);
      out += static_cast<char>(block.size());
      out += block;
    }
    return out + '\0';
  }

 private:
  std::string bytes_;
  unsigned bits_ = 0;
  int count_ = 0;
};

}  // namespace

std::string Encode(const GUID& container, int width, int height, const Painter& paint) {
  ComPtr<IWICImagingFactory> factory;
  Must(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                        IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Put())));
  ComPtr<IStream> stream;
  Must(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  ComPtr<IWICBitmapEncoder> encoder;
  Must(factory->CreateEncoder(container, nullptr, encoder.Put()));
  Must(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));
  ComPtr<IWICBitmapFrameEncode> frame;
  Must(encoder->CreateNewFrame(frame.Put(), nullptr));
  Must(frame->Initialize(nullptr));
  Must(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  Must(frame->SetPixelFormat(&format));
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = paint(x, y);
  }
  ComPtr<IWICBitmap> bitmap;
  Must(factory->CreateBitmapFromMemory(static_cast<UINT>(width), static_cast<UINT>(height),
                                       GUID_WICPixelFormat32bppBGRA, static_cast<UINT>(width) * 4,
                                       static_cast<UINT>(pixels.size() * 4),
                                       reinterpret_cast<BYTE*>(pixels.data()), bitmap.Put()));
  // The encoder converts to what its format holds (24-bit for JPEG and BMP, a palette
  // for GIF).
  Must(frame->WriteSource(bitmap.Get(), nullptr));
  Must(frame->Commit());
  Must(encoder->Commit());
  HGLOBAL memory = nullptr;
  Must(GetHGlobalFromStream(stream.Get(), &memory));
  STATSTG stat{};
  Must(stream->Stat(&stat, STATFLAG_NONAME));
  const char* data = static_cast<const char*>(GlobalLock(memory));
  std::string bytes(data, static_cast<std::size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return bytes;
}

std::string WithExifOrientation(const std::string& jpeg, int orientation) {
  const std::string payload = std::string("Exif\0\0", 6) + ExifTiff(orientation);
  std::string segment("\xff\xe1", 2);
  const std::size_t length = payload.size() + 2;
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 0xff);
  segment += payload;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string WithPngExifOrientation(const std::string& png, int orientation) {
  const std::string chunk = "eXIf" + ExifTiff(orientation);
  std::string out = png.substr(0, 33);  // the signature and IHDR
  BigEndian(out, static_cast<std::uint32_t>(chunk.size() - 4));
  out += chunk;
  BigEndian(out, Crc(chunk));
  return out + png.substr(33);
}

std::string AnimatedGif(int width, int height, const std::vector<std::uint32_t>& colours,
                        int delay_cs, int loops) {
  if (colours.size() > 4) throw std::invalid_argument("at most four colours");
  std::string gif = "GIF89a";
  LittleEndian16(gif, width);
  LittleEndian16(gif, height);
  gif += std::string("\x81\0\0", 3);  // a global table of four colours
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint32_t rgb = i < colours.size() ? colours[i] : 0;
    for (int shift = 16; shift >= 0; shift -= 8) gif += static_cast<char>((rgb >> shift) & 0xff);
  }
  gif += std::string("\x21\xff\x0bNETSCAPE2.0\x03\x01", 16);
  LittleEndian16(gif, loops);
  gif += '\0';
  for (std::size_t i = 0; i < colours.size(); ++i) {
    gif += std::string("\x21\xf9\x04\x04", 4);  // each frame left in place
    LittleEndian16(gif, delay_cs);
    gif += std::string("\0\0", 2);
    gif += '\x2c';
    LittleEndian16(gif, 0);
    LittleEndian16(gif, 0);
    LittleEndian16(gif, width);
    LittleEndian16(gif, height);
    gif += '\0';
    gif += '\x02';  // 2-bit colours: clear 4, end 5
    // A clear code before every two pixels keeps the table small and every code 3 bits
    // wide, whatever a decoder's rule for widening.
    CodeWriter codes;
    for (int pixel = 0; pixel < width * height; ++pixel) {
      if (pixel % 2 == 0) codes.Put(4);
      codes.Put(static_cast<unsigned>(i));
    }
    codes.Put(5);
    gif += codes.Blocks();
  }
  return gif + '\x3b';
}

std::string PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr = "IHDR";
  BigEndian(ihdr, width);
  BigEndian(ihdr, height);
  ihdr += std::string("\x08\x06\0\0\0", 5);  // 8-bit RGBA
  BigEndian(png, 13);
  png += ihdr;
  BigEndian(png, Crc(ihdr));
  BigEndian(png, 0);
  png += "IEND";
  BigEndian(png, Crc("IEND"));
  return png;
}

void WriteFile(const std::string& name, const std::string& bytes) {
  const HANDLE file = CreateFileW(Widen(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + name);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace mirvane::platform::win32::test
