// GIF: every frame is composed onto the logical screen the way a viewer shows the animation,
// honouring each frame's disposal method and transparent colour. The canvas starts fully
// transparent (the background colour index is ignored, as browsers do), so pixels no frame
// has covered stay transparent.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "imaging/decoded_image.h"

namespace pellix::device::imaging {
namespace {

struct MemoryReader {
  std::span<const uint8_t> data;
  size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  if (length <= 0) return 0;
  size_t n = std::min(static_cast<size_t>(length), reader->data.size() - reader->pos);
  if (n == 0) return 0;  // an empty file has no data pointer to copy from
  std::memcpy(out, reader->data.data() + reader->pos, n);
  reader->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};

struct Rect {
  uint32_t left, top, right, bottom;  // clipped to the canvas; right/bottom exclusive
};

class Compositor {
 public:
  Compositor(uint32_t width, uint32_t height)
      : width_(width), height_(height), canvas_(size_t{width} * height, 0) {}

  // Draws one frame's indices into the canvas; `raster` covers the unclipped frame rectangle.
  void Draw(const GifImageDesc& desc, const std::vector<GifByteType>& raster,
            const ColorMapObject* colors, int transparent) {
    Rect r = Clip(desc);
    for (uint32_t y = r.top; y < r.bottom; ++y) {
      const GifByteType* row = raster.data() + size_t(y - desc.Top) * desc.Width;
      uint32_t* out = canvas_.data() + size_t{y} * width_;
      for (uint32_t x = r.left; x < r.right; ++x) {
        int index = row[x - desc.Left];
        if (index == transparent) continue;
        // An index beyond the colour table has no colour: it shows as transparent.
        if (!colors || index >= colors->ColorCount) {
          out[x] = 0;
          continue;
        }
        const GifColorType& c = colors->Colors[index];
        out[x] = 0xFF000000u | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
      }
    }
  }

  void ClearToTransparent(const GifImageDesc& desc) {
    Rect r = Clip(desc);
    for (uint32_t y = r.top; y < r.bottom; ++y)
      std::fill_n(canvas_.data() + size_t{y} * width_ + r.left, r.right - r.left, 0u);
  }

  std::vector<uint32_t>& canvas() { return canvas_; }

 private:
  Rect Clip(const GifImageDesc& desc) const {
    auto clamp = [](int64_t v, uint32_t hi) { return uint32_t(std::clamp<int64_t>(v, 0, hi)); };
    return Rect{clamp(desc.Left, width_), clamp(desc.Top, height_),
                clamp(int64_t{desc.Left} + desc.Width, width_),
                clamp(int64_t{desc.Top} + desc.Height, height_)};
  }

  uint32_t width_, height_;
  std::vector<uint32_t> canvas_;
};

bool ReadRaster(GifFileType* gif, std::vector<GifByteType>& raster) {
  const GifImageDesc& desc = gif->Image;
  raster.assign(size_t(desc.Width) * desc.Height, 0);
  auto line = [&](int y) {
    return DGifGetLine(gif, raster.data() + size_t(y) * desc.Width, desc.Width) == GIF_OK;
  };
  if (desc.Interlace) {
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < desc.Height; y += kStep[pass])
        if (!line(y)) return false;
  } else {
    for (int y = 0; y < desc.Height; ++y)
      if (!line(y)) return false;
  }
  return true;
}

// The frames still to come after the current one, counted without decoding them, so that a
// refusal can say how large the animation is. Stops at the first damaged record.
size_t CountRemainingFrames(GifFileType* gif) {
  size_t frames = 0;
  // First past the pixels of the current frame, whose header was read.
  int code_size = 0;
  GifByteType* pixels = nullptr;
  if (DGifGetCode(gif, &code_size, &pixels) == GIF_ERROR) return frames;
  while (pixels)
    if (DGifGetCodeNext(gif, &pixels) == GIF_ERROR) return frames;
  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE) return frames;
    GifByteType* block = nullptr;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) return frames;
      while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) return frames;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR) return frames;
    ++frames;
    if (DGifGetCode(gif, &code_size, &block) == GIF_ERROR) return frames;
    while (block)
      if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return frames;
  }
}

}  // namespace

Result<DecodedImage> DecodeGif(std::span<const uint8_t> file) {
  MemoryReader reader{file};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &error));
  if (!gif) return Fail("GIF: unreadable header");

  DecodedImage image;
  image.format = ImageFormat::kGif;
  image.layout = NativeLayout::kIndexed8;
  std::unique_ptr<Compositor> compositor;

  GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  std::vector<GifByteType> raster;
  uint64_t stored_pixels = 0;

  for (;;) {
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
      // Many files end without the trailer byte; that is only harmless right after a frame.
      if (reader.pos == file.size() && !image.frames.empty()) break;
      return Fail("GIF: truncated or corrupt");
    }
    if (type == TERMINATE_RECORD_TYPE) break;

    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return Fail("GIF: corrupt extension");
      bool netscape = false;
      if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] == 4)
        DGifExtensionToGCB(4, block + 1, &control);
      if (code == APPLICATION_EXT_FUNC_CODE && block && block[0] == 11 &&
          (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0))
        netscape = true;
      while (block) {
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return Fail("GIF: corrupt extension");
        if (netscape && block && block[0] >= 3 && block[1] == 1) {
          image.loop_count = block[2] | (int32_t{block[3]} << 8);
          netscape = false;
        }
      }
      continue;
    }

    if (type != IMAGE_DESC_RECORD_TYPE) return Fail("GIF: corrupt record");
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return Fail("GIF: corrupt frame header");
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0) return Fail("GIF: frame without pixels");
    if (uint64_t(desc.Width) * uint64_t(desc.Height) > kMaxCanvasPixels) return Fail("GIF: frame too large");

    if (!compositor) {
      // A logical screen of no size takes the first frame's extent.
      image.width = gif->SWidth > 0 ? gif->SWidth : uint32_t(desc.Left + desc.Width);
      image.height = gif->SHeight > 0 ? gif->SHeight : uint32_t(desc.Top + desc.Height);
      if (uint64_t{image.width} * image.height > kMaxCanvasPixels) return Fail("GIF: picture too large");
      compositor = std::make_unique<Compositor>(image.width, image.height);
    }
    stored_pixels += uint64_t{image.width} * image.height;
    if (stored_pixels > kMaxAnimationPixels) {
      const size_t frames = image.frames.size() + 1 + CountRemainingFrames(gif.get());
      return Fail("GIF: animation too large: " + std::to_string(frames) + " frames of " + std::to_string(image.width) +
                  "x" + std::to_string(image.height));
    }

    if (!ReadRaster(gif.get(), raster)) return Fail("GIF: truncated or corrupt frame");
    const ColorMapObject* colors = desc.ColorMap ? desc.ColorMap : gif->SColorMap;

    std::vector<uint32_t> before;
    if (control.DisposalMode == DISPOSE_PREVIOUS) before = compositor->canvas();
    compositor->Draw(desc, raster, colors, control.TransparentColor);
    image.frames.push_back(Frame{compositor->canvas(), uint32_t(control.DelayTime) * 10});
    if (control.DisposalMode == DISPOSE_BACKGROUND) compositor->ClearToTransparent(desc);
    if (control.DisposalMode == DISPOSE_PREVIOUS) compositor->canvas() = std::move(before);

    // A control block governs only the frame that follows it.
    control = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
  }

  if (image.frames.empty()) return Fail("GIF: no frames");
  image.has_alpha = AnyTranslucent(image.frames);
  return image;
}

}  // namespace pellix::device::imaging
