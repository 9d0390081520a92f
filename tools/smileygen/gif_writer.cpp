#include "gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace smileygen {

namespace {

// Up to 255 colours, leaving index 0 for transparency. When the frames hold more, colours are
// rounded to coarser steps until they fit.
std::vector<uint32_t> BuildPalette(const std::vector<TimedFrame>& frames, uint32_t* mask) {
  for (uint32_t drop = 0; drop < 8; ++drop) {
    uint32_t m = (0xFFu << drop) & 0xFFu;
    *mask = m << 16 | m << 8 | m;
    std::vector<uint32_t> colours;
    for (const TimedFrame& t : frames)
      for (size_t i = 0; i < t.frame.rgb.size(); ++i)
        if (!t.frame.transparent[i]) colours.push_back(t.frame.rgb[i] & *mask);
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
    if (colours.size() <= 255) return colours;
  }
  return {};
}

}  // namespace

std::string WriteGif(const std::string& path, const std::vector<TimedFrame>& frames) {
  if (frames.empty()) return "no frames";
  uint32_t mask = 0;
  std::vector<uint32_t> palette = BuildPalette(frames, &mask);
  std::map<uint32_t, GifByteType> index;
  GifColorType colours[256] = {};
  colours[0] = {255, 255, 255};
  for (size_t i = 0; i < palette.size(); ++i) {
    uint32_t c = palette[i];
    colours[i + 1] = {static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                      static_cast<GifByteType>(c)};
    index[c] = static_cast<GifByteType>(i + 1);
  }

  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  if (!gif) return GifErrorString(error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = GifMakeMapObject(256, colours);
  const int width = frames[0].frame.width, height = frames[0].frame.height;
  bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);

  if (ok && frames.size() > 1) {
    // Loop forever.
    static const GifByteType kApplication[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof(kApplication), kApplication) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof(kLoop), kLoop) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
  }

  std::vector<GifByteType> row(static_cast<size_t>(width));
  for (const TimedFrame& t : frames) {
    if (!ok) break;
    GraphicsControlBlock control = {};
    control.DisposalMode = DISPOSE_BACKGROUND;
    control.DelayTime = t.delay_ms / 10;
    control.TransparentColor = 0;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
         EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        size_t i = static_cast<size_t>(y * width + x);
        row[static_cast<size_t>(x)] = t.frame.transparent[i] ? 0 : index[t.frame.rgb[i] & mask];
      }
      ok = EGifPutLine(gif, row.data(), width) == GIF_OK;
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK && ok) return GifErrorString(error);
  return ok ? std::string() : std::string("writing failed");
}

}  // namespace smileygen
