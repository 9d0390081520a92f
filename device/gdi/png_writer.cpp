#include "gdi/png_writer.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>

namespace pellix::device::gdi {
namespace {

void AppendData(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void Flush(png_structp) {}

}  // namespace

Result<std::vector<uint8_t>> EncodePng(const Surface& surface) {
  if (surface.width() == 0 || surface.height() == 0) return Fail("empty picture");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return Fail("PNG encoder could not start");
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return Fail("PNG encoder could not start");
  }
  std::vector<uint8_t> out;
  std::vector<uint8_t> row(static_cast<size_t>(surface.width()) * 3);
  // libpng reports errors by longjmp; nothing with a destructor is created below this point.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return Fail("PNG encoding failed");
  }
  out.reserve(static_cast<size_t>(surface.width()) * surface.height());
  png_set_write_fn(png, &out, AppendData, Flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()),
               static_cast<png_uint_32>(surface.height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, Z_BEST_SPEED);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  for (int y = 0; y < surface.height(); ++y) {
    const Pixel* src = surface.Row(y);
    for (int x = 0; x < surface.width(); ++x) {
      row[3 * x] = static_cast<uint8_t>(src[x] >> 16);
      row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(src[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Status WritePng(const Surface& surface, const std::filesystem::path& path) {
  auto png = EncodePng(surface);
  if (!png) return png.error();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Fail("cannot write " + path.string());
  file.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  if (!file) return Fail("cannot write " + path.string());
  return Status::Ok();
}

}  // namespace pellix::device::gdi
