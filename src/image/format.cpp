#include "image/format.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

namespace mirvane::image {
namespace {

using namespace std::string_view_literals;

bool StartsAt(std::string_view b, std::string_view magic, std::size_t at = 0) {
  return b.size() >= at + magic.size() && b.substr(at, magic.size()) == magic;
}

unsigned Byte(std::string_view b, std::size_t at) {
  return at < b.size() ? static_cast<unsigned char>(b[at]) : 0;
}

// ISO base media files (HEIF, AVIF, CR3) name their kind in the brands of the ftyp box.
Format FromBrands(std::string_view b) {
  if (!StartsAt(b, "ftyp"sv, 4)) return Format::kUnknown;
  const std::uint32_t box = Byte(b, 0) << 24 | Byte(b, 1) << 16 | Byte(b, 2) << 8 | Byte(b, 3);
  const std::size_t end = std::min<std::size_t>({box, b.size(), 256});
  bool avif = false, heif = false;
  // Major brand at 8, minor version at 12, compatible brands from 16.
  for (std::size_t at = 8; at + 4 <= end; at += at == 8 ? 8 : 4) {
    const std::string_view brand = b.substr(at, 4);
    if (brand == "crx "sv) return Format::kRaw;
    if (brand == "avif"sv || brand == "avis"sv) avif = true;
    if (brand == "heic"sv || brand == "heix"sv || brand == "hevc"sv || brand == "hevx"sv ||
        brand == "heim"sv || brand == "heis"sv || brand == "hevm"sv || brand == "hevs"sv)
      heif = true;
    if (at == 8 && (avif || heif)) break;  // the major brand settles it
  }
  return avif ? Format::kAvif : heif ? Format::kHeif : Format::kUnknown;
}

// Raw files in a TIFF container: CR2's own mark, a DNG version tag, or a camera maker
// with sub-images or colour-filter samples in the first directory, which plain TIFFs
// from scanners and editors do not have.
bool TiffHoldsRaw(std::string_view b) {
  if (StartsAt(b, "CR\x02"sv, 8)) return true;
  const bool le = Byte(b, 0) == 'I';
  const auto u16 = [&](std::size_t at) {
    return le ? Byte(b, at) | Byte(b, at + 1) << 8 : Byte(b, at) << 8 | Byte(b, at + 1);
  };
  const auto u32 = [&](std::size_t at) {
    return le ? u16(at) | std::uint32_t(u16(at + 2)) << 16
              : std::uint32_t(u16(at)) << 16 | u16(at + 2);
  };
  if (Byte(b, 2 + !le) != 42) return false;  // BigTIFF: no camera writes it
  const std::uint32_t ifd = u32(4);
  if (ifd < 8 || ifd + 2 > b.size()) return false;
  const unsigned count = std::min(u16(ifd), 256u);
  bool make = false, sub_images = false, cfa = false;
  for (unsigned i = 0; i < count && ifd + 2 + 12 * (i + 1) <= b.size(); ++i) {
    const std::size_t entry = ifd + 2 + 12 * i;
    const unsigned tag = u16(entry);
    if (tag == 50706) return true;  // DNGVersion
    if (tag == 271) make = true;
    if (tag == 330) sub_images = true;
    if (tag == 262) {
      const unsigned photometric = u16(entry + 8);
      cfa = photometric == 32803 || photometric == 34892;
    }
  }
  return make && (sub_images || cfa);
}

bool NamedTga(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string_view ext = name.substr(dot + 1);
  std::string lower(ext.size(), ' ');
  std::transform(ext.begin(), ext.end(), lower.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return lower == "tga" || lower == "tpic" || lower == "icb" || lower == "vda" || lower == "vst";
}

bool PlausibleTgaHeader(std::string_view b) {
  if (b.size() < 18) return false;
  const unsigned map_type = Byte(b, 1), type = Byte(b, 2),
                 map_length = Byte(b, 5) | Byte(b, 6) << 8, map_bits = Byte(b, 7),
                 width = Byte(b, 12) | Byte(b, 13) << 8, height = Byte(b, 14) | Byte(b, 15) << 8,
                 depth = Byte(b, 16);
  const bool mapped = type == 1 || type == 9;
  const bool known_type = mapped || type == 2 || type == 3 || type == 10 || type == 11;
  if (!known_type || map_type > 1 || (mapped && map_type != 1)) return false;
  if (map_type == 1 &&
      (map_length == 0 || (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)))
    return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  return width > 0 && height > 0 && (Byte(b, 17) & 0xc0) == 0;
}

bool PlausibleSvg(std::string_view b) {
  std::size_t at = StartsAt(b, "\xef\xbb\xbf"sv) ? 3 : 0;
  while (at < b.size() && std::isspace(static_cast<unsigned char>(b[at]))) ++at;
  if (at >= b.size() || b[at] != '<') return false;
  const std::string_view head = b.substr(at, 4096);
  if (StartsAt(head, "<svg"sv)) return true;
  // After an XML declaration, comments or a doctype: the first element must be svg.
  if (!StartsAt(head, "<?xml"sv) && !StartsAt(head, "<!"sv)) return false;
  std::size_t i = 0;
  while ((i = head.find('<', i)) != std::string_view::npos) {
    const std::string_view rest = head.substr(i);
    if (StartsAt(rest, "<svg"sv)) return true;
    if (StartsAt(rest, "<!DOCTYPE svg"sv)) return true;
    if (!StartsAt(rest, "<?"sv) && !StartsAt(rest, "<!"sv)) return false;
    ++i;
  }
  return false;
}

}  // namespace

Format Sniff(std::string_view b, std::string_view name) {
  if (StartsAt(b, "\x89PNG\r\n\x1a\n"sv)) return Format::kPng;
  if (StartsAt(b, "\xff\xd8\xff"sv)) return Format::kJpeg;
  if (StartsAt(b, "GIF87a"sv) || StartsAt(b, "GIF89a"sv)) return Format::kGif;
  if (StartsAt(b, "BM"sv)) return Format::kBmp;
  if (StartsAt(b, "RIFF"sv) && StartsAt(b, "WEBP"sv, 8)) return Format::kWebp;
  if (StartsAt(b, "\xff\x0a"sv) || StartsAt(b, "\0\0\0\x0cJXL \r\n\x87\n"sv)) return Format::kJxl;
  if (const Format f = FromBrands(b); f != Format::kUnknown) return f;
  // Olympus, Panasonic, Fujifilm, Minolta, Sigma and old Canon raw files.
  if (StartsAt(b, "IIRO"sv) || StartsAt(b, "IIRS"sv) || StartsAt(b, "MMOR"sv) ||
      StartsAt(b, "IIU\0"sv) || StartsAt(b, "FUJIFILMCCD-RAW"sv) || StartsAt(b, "\0MRM"sv) ||
      StartsAt(b, "FOVb"sv) || StartsAt(b, "HEAPCCDR"sv, 6))
    return Format::kRaw;
  if (StartsAt(b, "II*\0"sv) || StartsAt(b, "MM\0*"sv) || StartsAt(b, "II+\0"sv) ||
      StartsAt(b, "MM\0+"sv))
    return TiffHoldsRaw(b) ? Format::kRaw : Format::kTiff;
  const bool tga_footer = b.size() >= 44 && b.substr(b.size() - 18) == "TRUEVISION-XFILE.\0"sv;
  if (PlausibleTgaHeader(b) && (tga_footer || NamedTga(name))) return Format::kTga;
  // PCX has no real signature; the reader checks the rest of the header and refuses.
  if (Byte(b, 0) == 0x0a && b.size() >= 2 && Byte(b, 1) <= 5) return Format::kPcx;
  if (PlausibleSvg(b)) return Format::kSvg;
  // An icon directory: reserved 0, type 1 (icon) or 2 (cursor), at least one image.
  if (b.size() >= 6 && Byte(b, 0) == 0 && Byte(b, 1) == 0 && (Byte(b, 2) == 1 || Byte(b, 2) == 2) &&
      Byte(b, 3) == 0 && (Byte(b, 4) | Byte(b, 5)) != 0)
    return Format::kIco;
  if (b.size() >= 3 && Byte(b, 0) == 'P' && Byte(b, 1) >= '1' && Byte(b, 1) <= '6' &&
      std::string_view(" \t\r\n#").find(char(Byte(b, 2))) != std::string_view::npos)
    return Format::kPnm;
  return Format::kUnknown;
}

}  // namespace mirvane::image
