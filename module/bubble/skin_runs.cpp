// The white runs of a one-bit picture, read 32 pixels a word.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bubble/skin_shape.h"

namespace {

// One DIB row holds whole 32-bit words.
inline DWORD RowBytes(int width) { return ((static_cast<DWORD>(width) + 31) / 32) * 4; }

// Loads a word so that the first pixel of the four bytes is its most significant bit.
inline uint32_t LoadPixels(const BYTE* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}


}  // namespace

DWORD ScanSkinRuns(const BYTE* bits, int width, int height, RECT* rects, DWORD capacity) {
  if (bits == nullptr || width <= 0 || height <= 0) return 0;
  const DWORD stride = RowBytes(width);
  const int words = static_cast<int>(stride / 4);
  DWORD count = 0;
  auto emit = [&](int x0, int y, int x1) {
    if (rects != nullptr && count < capacity) rects[count] = RECT{x0, y, x1, y + 1};
    ++count;
  };
  for (int y = 0; y < height; ++y) {
    // Rows are stored bottom-up.
    const BYTE* row = bits + static_cast<size_t>(height - 1 - y) * stride;
    int start = -1;  // column where the current white run began, or -1
    for (int w = 0; w < words; ++w) {
      uint32_t word = LoadPixels(row + w * 4);
      const int base = w * 32;
      // The padding after the last column never belongs to the shape.
      if (width - base < 32) word &= ~0u << (32 - (width - base));
      if (start < 0 && word == 0) continue;
      if (start >= 0 && word == ~0u) continue;
      int bit = 0;
      while (bit < 32) {
        uint32_t rest = word << bit;  // shifted-in zeros read as black
        if (start < 0) {
          if (rest == 0) break;
          bit += std::countl_zero(rest);
          start = base + bit;
        } else {
          int ones = std::countl_one(rest);
          if (bit + ones >= 32) break;  // the run goes on into the next word
          bit += ones;
          emit(start, y, base + bit);
          start = -1;
        }
      }
    }
    if (start >= 0) emit(start, y, width);  // a run that reaches the right edge
  }
  return count;
}

