#include "htmlview/html_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <tuple>

#ifndef PELLIX_FONT_DIR
#define PELLIX_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace pellix::device::htmlview {

char32_t NextCodePoint(std::string_view s, size_t& pos) {
  const auto b0 = static_cast<unsigned char>(s[pos++]);
  if (b0 < 0x80) return b0;
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : -1;
  if (extra < 0 || b0 > 0xF4) return 0xFFFD;
  char32_t c = b0 & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    if (pos >= s.size()) return 0xFFFD;
    const auto b = static_cast<unsigned char>(s[pos]);
    if ((b & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (b & 0x3F);
    ++pos;
  }
  return c > 0x10FFFF ? 0xFFFD : c;
}

HtmlFont::HtmlFont(void* face, int pixel_size) : face_(face), pixel_size_(pixel_size) {
  auto* f = static_cast<FT_Face>(face_);
  FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(pixel_size_));
  const FT_Size_Metrics& m = f->size->metrics;
  metrics_.ascent = static_cast<int>((m.ascender + 63) >> 6);
  metrics_.descent = static_cast<int>((-m.descender + 63) >> 6);
  metrics_.height = static_cast<int>((m.height + 63) >> 6);
  if (metrics_.height < metrics_.ascent + metrics_.descent) metrics_.height = metrics_.ascent + metrics_.descent;
  metrics_.x_height = GlyphFor(U'x').height;
  if (metrics_.x_height == 0) metrics_.x_height = metrics_.ascent / 2;
}

HtmlFont::~HtmlFont() = default;

const HtmlFont::Glyph& HtmlFont::GlyphFor(char32_t c) {
  std::unique_ptr<Glyph>* slot;
  if (c < 128) {
    slot = &ascii_[c];
  } else {
    slot = &others_[c];
  }
  if (*slot) return **slot;
  auto glyph = std::make_unique<Glyph>();
  auto* f = static_cast<FT_Face>(face_);
  // Faces are shared between sizes, so the size is set again before each rendering.
  FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(pixel_size_));
  FT_UInt index = FT_Get_Char_Index(f, c);
  if (index == 0 && c != U' ') index = FT_Get_Char_Index(f, U'?');
  if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) == 0 &&
      FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) == 0) {
    const FT_GlyphSlot g = f->glyph;
    glyph->advance = static_cast<int>((g->advance.x + 32) >> 6);
    glyph->left = g->bitmap_left;
    glyph->top = g->bitmap_top;
    glyph->width = static_cast<int>(g->bitmap.width);
    glyph->height = static_cast<int>(g->bitmap.rows);
    glyph->coverage.resize(static_cast<size_t>(glyph->width) * glyph->height);
    for (int y = 0; y < glyph->height; ++y) {
      const unsigned char* src = g->bitmap.buffer + static_cast<long>(y) * g->bitmap.pitch;
      std::copy(src, src + glyph->width, glyph->coverage.begin() + static_cast<long>(y) * glyph->width);
    }
  }
  *slot = std::move(glyph);
  return **slot;
}

int HtmlFont::TextWidth(std::string_view utf8) {
  int width = 0;
  for (size_t pos = 0; pos < utf8.size();) width += GlyphFor(NextCodePoint(utf8, pos)).advance;
  return width;
}

void HtmlFont::Draw(const PixelView& target, const PixelRect& clip, int x, int baseline, std::string_view utf8,
                    uint32_t color) {
  const PixelRect bounds = clip.Intersect({0, 0, target.width, target.height});
  if (bounds.empty()) return;
  for (size_t pos = 0; pos < utf8.size();) {
    const Glyph& g = GlyphFor(NextCodePoint(utf8, pos));
    const int gx = x + g.left, gy = baseline - g.top;
    const int x0 = std::max(gx, bounds.left), x1 = std::min(gx + g.width, bounds.right);
    const int y0 = std::max(gy, bounds.top), y1 = std::min(gy + g.height, bounds.bottom);
    for (int yy = y0; yy < y1; ++yy) {
      uint32_t* row = target.row(yy);
      const uint8_t* cov = g.coverage.data() + static_cast<long>(yy - gy) * g.width - gx;
      for (int xx = x0; xx < x1; ++xx) {
        if (cov[xx]) row[xx] = BlendRgb(row[xx], color, cov[xx]);
      }
    }
    x += g.advance;
    if (x >= bounds.right) break;
  }
}

FontSet::FontSet() {
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib) == 0) library_ = lib;
  FaceFor(false, false);
}

FontSet::~FontSet() {
  fonts_.clear();
  for (auto& [key, face] : faces_) FT_Done_Face(static_cast<FT_Face>(face));
  if (library_) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

void* FontSet::FaceFor(bool bold, bool italic) {
  if (auto it = faces_.find({bold, italic}); it != faces_.end()) return it->second;
  if (!library_) return nullptr;
  static constexpr const char* kFiles[2][2] = {{"DejaVuSans.ttf", "DejaVuSans-Oblique.ttf"},
                                                {"DejaVuSans-Bold.ttf", "DejaVuSans-BoldOblique.ttf"}};
  const std::string path = std::string(PELLIX_FONT_DIR) + "/" + kFiles[bold][italic];
  FT_Face face = nullptr;
  if (FT_New_Face(static_cast<FT_Library>(library_), path.c_str(), 0, &face) != 0) {
    // A missing variant falls back to the regular face.
    if (bold || italic) return FaceFor(false, false);
    return nullptr;
  }
  faces_[{bold, italic}] = face;
  return face;
}

HtmlFont* FontSet::Get(const FontStyle& style) {
  FontStyle key = style;
  if (key.pixel_size < 1) key.pixel_size = 1;
  if (key.pixel_size > 200) key.pixel_size = 200;
  if (auto it = fonts_.find(key); it != fonts_.end()) return it->second.get();
  void* face = FaceFor(key.bold, key.italic);
  if (!face) return nullptr;
  auto font = std::unique_ptr<HtmlFont>(new HtmlFont(face, key.pixel_size));
  HtmlFont* raw = font.get();
  fonts_[key] = std::move(font);
  return raw;
}

}  // namespace pellix::device::htmlview
