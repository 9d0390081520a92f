// Draws the default skin's shape picture: a rounded rectangle, white inside and black
// outside, as an uncompressed 24-bit BMP. The bubble keeps the white pixels and cuts the
// black ones away, after stretching the picture to the bubble's size, so the picture is
// drawn at the reference screen's bubble size (240 x 320 screen, 210 x 80 bubble).
//
//   skin-picture OUTPUT.bmp [WIDTH HEIGHT RADIUS]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(v & 0xFF);
  out.push_back(v >> 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

// Whether the pixel centre (x + 0.5, y + 0.5) lies inside the rounded rectangle.
bool Inside(int x, int y, int w, int h, int r) {
  double px = x + 0.5, py = y + 0.5;
  double cx = px < r ? r : (px > w - r ? w - r : px);
  double cy = py < r ? r : (py > h - r ? h - r : py);
  double dx = px - cx, dy = py - cy;
  return dx * dx + dy * dy <= double(r) * r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 5) {
    std::fprintf(stderr, "usage: skin-picture OUTPUT.bmp [WIDTH HEIGHT RADIUS]\n");
    return 2;
  }
  int w = argc == 5 ? std::atoi(argv[2]) : 210;
  int h = argc == 5 ? std::atoi(argv[3]) : 80;
  int r = argc == 5 ? std::atoi(argv[4]) : 12;
  if (w < 1 || h < 1 || r < 0 || 2 * r > w || 2 * r > h) {
    std::fprintf(stderr, "skin-picture: bad size\n");
    return 2;
  }
  const uint32_t stride = (uint32_t(w) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * uint32_t(h);
  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, 14 + 40 + imageSize);
  Put32(out, 0);
  Put32(out, 14 + 40);
  Put32(out, 40);            // BITMAPINFOHEADER
  Put32(out, uint32_t(w));
  Put32(out, uint32_t(h));   // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);             // BI_RGB
  Put32(out, imageSize);
  Put32(out, 2835);          // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int row = h - 1; row >= 0; --row) {
    uint32_t written = 0;
    for (int x = 0; x < w; ++x, written += 3) {
      uint8_t v = Inside(x, row, w, h, r) ? 0xFF : 0x00;
      out.insert(out.end(), {v, v, v});
    }
    for (; written < stride; ++written) out.push_back(0);
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
