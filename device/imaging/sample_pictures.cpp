#include "imaging/sample_pictures.h"

#include <gif_lib.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <jpeglib.h>
#include <png.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace pellix::device::imaging::samples {
namespace {

int AppendToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

ColorMapObject* MakeMap(const std::vector<uint32_t>& rgb) {
  int count = 2;
  while (count < int(rgb.size())) count *= 2;
  std::vector<GifColorType> colors(count, GifColorType{0, 0, 0});
  for (size_t i = 0; i < rgb.size(); ++i)
    colors[i] = GifColorType{GifByteType(rgb[i] >> 16), GifByteType(rgb[i] >> 8), GifByteType(rgb[i])};
  return GifMakeMapObject(count, colors.data());
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> WriteGif(const GifSpec& desc) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToVector, &error);
  Check(gif != nullptr, "EGifOpen");
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = desc.palette.empty() ? nullptr : MakeMap(desc.palette);
  Check(EGifPutScreenDesc(gif, desc.width, desc.height, 8, 0, global) == GIF_OK, "screen");
  GifFreeMapObject(global);
  if (desc.loop >= 0) {
    EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
    EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
    unsigned char loop[3] = {1, uint8_t(desc.loop), uint8_t(desc.loop >> 8)};
    EGifPutExtensionBlock(gif, 3, loop);
    EGifPutExtensionTrailer(gif);
  }
  for (const GifFrameSpec& f : desc.frames) {
    if (f.control) {
      GraphicsControlBlock gcb{f.disposal, false, f.delay_cs, f.transparent};
      GifByteType ext[4];
      EGifGCBToExtension(&gcb, ext);
      Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK, "control");
    }
    ColorMapObject* local = f.local_palette.empty() ? nullptr : MakeMap(f.local_palette);
    Check(EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local) == GIF_OK, "desc");
    GifFreeMapObject(local);
    std::vector<GifPixelType> row(f.width);
    auto put = [&](int y) {
      std::memcpy(row.data(), f.indices.data() + size_t(y) * f.width, f.width);
      Check(EGifPutLine(gif, row.data(), f.width) == GIF_OK, "line");
    };
    if (f.interlaced) {
      static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < f.height; y += kStep[pass]) put(y);
    } else {
      for (int y = 0; y < f.height; ++y) put(y);
    }
  }
  Check(EGifCloseFile(gif, &error) == GIF_OK, "close");
  return out;
}

std::vector<uint8_t> WritePng(int width, int height, const std::vector<uint32_t>& argb, bool alpha,
                              bool interlaced) {
  // The simplified writer cannot interlace, so this uses the full API.
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("png write");
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int channels = alpha ? 4 : 3;
  std::vector<uint8_t> bytes(size_t(width) * height * channels);
  for (size_t i = 0; i < argb.size(); ++i) {
    uint8_t* p = &bytes[i * channels];
    p[0] = uint8_t(argb[i] >> 16), p[1] = uint8_t(argb[i] >> 8), p[2] = uint8_t(argb[i]);
    if (alpha) p[3] = uint8_t(argb[i] >> 24);
  }
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y) rows[y] = &bytes[size_t(y) * width * channels];
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> WriteJpeg(int width, int height, const std::vector<uint32_t>& argb, int quality,
                               bool grey) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = width;
  info.image_height = height;
  info.input_components = grey ? 1 : 3;
  info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(size_t(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t p = argb[size_t(y) * width + x];
      if (grey) {
        row[x] = uint8_t(p);
      } else {
        row[3 * x] = uint8_t(p >> 16), row[3 * x + 1] = uint8_t(p >> 8), row[3 * x + 2] = uint8_t(p);
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&info, &r, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  free(buffer);
  return out;
}

std::vector<uint8_t> WriteBmp(const BmpSpec& desc) {
  const bool v4 = desc.bpp == 32 && desc.alpha;
  const bool fields = desc.bpp == 16 || v4;
  const uint32_t header = v4 ? 108 : 40;
  const uint32_t masks = fields && !v4 ? 12 : 0;
  const uint32_t palette = desc.bpp <= 8 ? uint32_t(desc.palette.size()) * 4 : 0;
  const uint32_t stride = (uint32_t(desc.width) * desc.bpp + 31) / 32 * 4;
  const uint32_t offset = 14 + header + masks + palette;
  std::vector<uint8_t> out;
  out.push_back('B'), out.push_back('M');
  Put32(out, offset + stride * desc.height);
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, header);
  Put32(out, uint32_t(desc.width));
  Put32(out, uint32_t(desc.top_down ? -desc.height : desc.height));
  Put16(out, 1);
  Put16(out, desc.bpp);
  Put32(out, fields ? 3 : 0);
  Put32(out, stride * desc.height);
  Put32(out, 2835), Put32(out, 2835);
  Put32(out, desc.bpp <= 8 ? uint32_t(desc.palette.size()) : 0);
  Put32(out, 0);
  if (v4) {
    Put32(out, 0x00FF0000), Put32(out, 0x0000FF00), Put32(out, 0x000000FF), Put32(out, 0xFF000000);
    Put32(out, 0x73524742);  // 'sRGB'
    out.resize(out.size() + 48, 0);  // end points and gamma
  } else if (masks) {
    Put32(out, 0xF800), Put32(out, 0x07E0), Put32(out, 0x001F);
  }
  if (desc.bpp <= 8)
    for (uint32_t c : desc.palette) Put32(out, c & 0xFFFFFF);
  for (int row = 0; row < desc.height; ++row) {
    int y = desc.top_down ? row : desc.height - 1 - row;
    std::vector<uint8_t> line(stride, 0);
    for (int x = 0; x < desc.width; ++x) {
      uint32_t p = desc.pixels[size_t(y) * desc.width + x];
      switch (desc.bpp) {
        case 1: line[x / 8] |= uint8_t((p & 1) << (7 - x % 8)); break;
        case 4: line[x / 2] |= uint8_t((p & 15) << (x % 2 ? 0 : 4)); break;
        case 8: line[x] = uint8_t(p); break;
        case 16: {
          uint32_t v = ((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F);
          line[2 * x] = uint8_t(v), line[2 * x + 1] = uint8_t(v >> 8);
          break;
        }
        case 24: line[3 * x] = uint8_t(p), line[3 * x + 1] = uint8_t(p >> 8), line[3 * x + 2] = uint8_t(p >> 16); break;
        default: std::memcpy(&line[4 * x], &p, 4); break;
      }
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<uint8_t> MovingSquareGif(int frames, int size) {
  GifSpec desc;
  desc.width = desc.height = size;
  desc.palette = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
  desc.loop = 0;
  const int side = size / 3;
  for (int i = 0; i < frames; ++i) {
    GifFrameSpec f;
    f.left = f.top = 0;
    f.width = f.height = size;
    f.indices.assign(size_t(size) * size, 0);
    const int at = i % (size - side + 1);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        if (x >= at && x < at + side && y >= at && y < at + side) f.indices[size_t(y) * size + x] = uint8_t(1 + i % 3);
        else if ((x + y) % 4 == 0) f.indices[size_t(y) * size + x] = 0;
        else f.indices[size_t(y) * size + x] = 3;
      }
    f.transparent = 0;
    f.disposal = 1 + i % 3;
    f.delay_cs = 10;
    desc.frames.push_back(std::move(f));
  }
  return WriteGif(desc);
}

bool WriteSampleSet(const std::filesystem::path& dir, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec || !std::filesystem::is_directory(dir, ec)) {
    if (error) *error = dir.string() + ": cannot make a folder there" + (ec ? " (" + ec.message() + ")" : "");
    return false;
  }
  bool ok = true;
  auto save = [&](const char* name, const std::vector<uint8_t>& bytes) {
    if (!ok) return;
    std::ofstream out(dir / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      ok = false;
      if (error) *error = (dir / name).string() + ": cannot write";
    }
  };
  std::vector<uint32_t> gradient(16 * 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) gradient[y * 16 + x] = uint32_t(x * 16) << 24 | uint32_t(x * 16) << 16 | uint32_t(y * 32) << 8 | 0x40;
  std::vector<uint8_t> animated = MovingSquareGif(20, 24);
  save("animated.gif", animated);
  save("truncated.gif", std::vector<uint8_t>(animated.begin(), animated.begin() + animated.size() / 2));
  GifSpec still;
  still.width = 4, still.height = 4, still.palette = {0x000000, 0xFFFFFF};
  GifFrameSpec checkers;
  checkers.width = checkers.height = 4;
  checkers.indices = {0, 1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1, 0};
  checkers.transparent = 1;
  checkers.interlaced = true;
  still.frames.push_back(checkers);
  save("still-interlaced.gif", WriteGif(still));
  save("alpha.png", WritePng(16, 8, gradient, true));
  save("photo.jpg", WriteJpeg(16, 8, gradient, 90));
  BmpSpec bmp{16, 8, 24, false, false, {}, gradient};
  save("picture.bmp", WriteBmp(bmp));
  save("empty.gif", {});
  save("unknown.bin", {'h', 'e', 'l', 'l', 'o'});
  return ok;
}

}  // namespace pellix::device::imaging::samples
