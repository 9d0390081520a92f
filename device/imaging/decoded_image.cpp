#include "imaging/decoded_image.h"

#include <cstring>

namespace pellix::device::imaging {

std::string_view FormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kGif: return "GIF";
    case ImageFormat::kPng: return "PNG";
    case ImageFormat::kJpeg: return "JPEG";
    case ImageFormat::kBmp: return "BMP";
  }
  return "?";
}

Result<ImageFormat> SniffFormat(std::span<const uint8_t> file) {
  auto starts = [&](const char* magic, size_t n) {
    return file.size() >= n && std::memcmp(file.data(), magic, n) == 0;
  };
  if (file.empty()) return Fail("empty file");
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return ImageFormat::kGif;
  if (starts("\x89PNG\r\n\x1a\n", 8)) return ImageFormat::kPng;
  if (starts("\xff\xd8\xff", 3)) return ImageFormat::kJpeg;
  if (starts("BM", 2)) return ImageFormat::kBmp;
  return Fail("not a picture in a known format");
}

Result<DecodedImage> DecodeImage(std::span<const uint8_t> file) {
  auto format = SniffFormat(file);
  if (!format) return format.error();
  switch (*format) {
    case ImageFormat::kGif: return DecodeGif(file);
    case ImageFormat::kPng: return DecodePng(file);
    case ImageFormat::kJpeg: return DecodeJpeg(file);
    case ImageFormat::kBmp: return DecodeBmp(file);
  }
  return Fail("not a picture in a known format");
}

bool AnyTranslucent(const std::vector<Frame>& frames) {
  for (const Frame& f : frames)
    for (uint32_t p : f.pixels)
      if ((p >> 24) != 0xFF) return true;
  return false;
}

}  // namespace pellix::device::imaging
