// The faces an HTML view draws its text with, at the sizes its pages ask for. One FontSet per
// view: the FreeType library object inside belongs to the thread that owns the view, and the
// glyph caches stay warm from one document to the next.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htmlview/pixel_view.h"

namespace pellix::device::htmlview {

struct FontStyle {
  int pixel_size = 12;
  bool bold = false;
  bool italic = false;
  bool operator<(const FontStyle& o) const {
    return std::tie(pixel_size, bold, italic) < std::tie(o.pixel_size, o.bold, o.italic);
  }
};

// One face at one size, with its rendered glyphs cached.
class HtmlFont {
 public:
  struct Metrics {
    int ascent = 0;
    int descent = 0;
    int height = 0;
    int x_height = 0;
  };

  ~HtmlFont();
  const Metrics& metrics() const { return metrics_; }

  // Width in pixels of UTF-8 text on one line.
  int TextWidth(std::string_view utf8);
  // Draws UTF-8 text with its baseline at y, clipped to `clip`.
  void Draw(const PixelView& target, const PixelRect& clip, int x, int baseline, std::string_view utf8,
            uint32_t color);

 private:
  friend class FontSet;
  struct Glyph {
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> coverage;
  };
  HtmlFont(void* face, int pixel_size);
  const Glyph& GlyphFor(char32_t c);

  void* face_;  // FT_Face, shared with the FontSet that made this font
  int pixel_size_;
  Metrics metrics_;
  std::array<std::unique_ptr<Glyph>, 128> ascii_;
  std::unordered_map<char32_t, std::unique_ptr<Glyph>> others_;
};

class FontSet {
 public:
  FontSet();
  ~FontSet();
  FontSet(const FontSet&) = delete;
  FontSet& operator=(const FontSet&) = delete;

  // The font for a style; never null (falls back to the regular face when a variant is missing).
  // The pointer lives as long as the set.
  HtmlFont* Get(const FontStyle& style);
  bool ok() const { return library_ != nullptr && !faces_.empty(); }

 private:
  void* FaceFor(bool bold, bool italic);

  void* library_ = nullptr;                         // FT_Library
  std::map<std::pair<bool, bool>, void*> faces_;    // FT_Face by (bold, italic)
  std::map<FontStyle, std::unique_ptr<HtmlFont>> fonts_;
};

// Decodes one code point from UTF-8 at `pos`, advancing it; malformed bytes give U+FFFD.
char32_t NextCodePoint(std::string_view s, size_t& pos);

}  // namespace pellix::device::htmlview
