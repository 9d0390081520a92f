#include "gdi/font_engine.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#ifndef PELLIX_FONT_DIR
#define PELLIX_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace pellix::device::gdi {
namespace {

constexpr const char* kFaceFiles[4] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf",
                                       "DejaVuSans-Oblique.ttf", "DejaVuSans-BoldOblique.ttf"};

int ClampSize(int size) { return std::clamp(size, 1, 512); }

struct Glyph {
  int advance = 0;  // whole pixels
  int left = 0;     // bitmap offset from the pen position
  int top = 0;      // bitmap top above the baseline
  int width = 0;
  int rows = 0;
  std::vector<uint8_t> coverage;  // rows x width
};

// Decodes one character at text[i], advancing i; a lone surrogate stands for itself.
char32_t NextChar(std::u16string_view text, size_t& i) {
  const char16_t c = text[i++];
  if (c >= 0xD800 && c < 0xDC00 && i < text.size()) {
    const char16_t d = text[i];
    if (d >= 0xDC00 && d < 0xE000) {
      ++i;
      return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (d - 0xDC00);
    }
  }
  return c;
}

}  // namespace

class FontEngine::Impl {
 public:
  Impl() {
    if (FT_Init_FreeType(&library_) != 0) Die("FreeType could not start");
    for (int i = 0; i < 4; ++i) {
      const std::string path = std::string(PELLIX_FONT_DIR) + "/" + kFaceFiles[i];
      if (FT_New_Face(library_, path.c_str(), 0, &faces_[i]) != 0)
        Die("font file missing: " + path + " (install fonts-dejavu-core)");
    }
  }
  ~Impl() {
    for (FT_Face f : faces_)
      if (f) FT_Done_Face(f);
    FT_Done_FreeType(library_);
  }

  std::mutex mutex;

  FontMetrics Metrics(const Font& font) {
    const int size = ClampSize(font.pixel_size);
    const uint32_t key = MetricsKey(font.style, size);
    auto it = metrics_.find(key);
    if (it != metrics_.end()) return it->second;
    FT_Face face = SizedFace(font.style, size);
    FontMetrics m;
    // Scaled design metrics, rounded outward so that a line holds every glyph.
    m.ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    m.descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    m.height = m.ascent + m.descent;
    m.max_width = static_cast<int>((face->size->metrics.max_advance + 63) >> 6);
    m.average_width = GlyphFor(font.style, size, U'x').advance;
    metrics_.emplace(key, m);
    return m;
  }

  const Glyph& GlyphFor(FontStyle style, int size, char32_t ch) {
    const uint64_t key = (static_cast<uint64_t>(MetricsKey(style, size)) << 32) | ch;
    auto it = glyphs_.find(key);
    if (it != glyphs_.end()) return it->second;
    Glyph g;
    FT_Face face = SizedFace(style, size);
    const FT_UInt index = FT_Get_Char_Index(face, ch);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
      const FT_GlyphSlot slot = face->glyph;
      g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = static_cast<int>(slot->bitmap.width);
      g.rows = static_cast<int>(slot->bitmap.rows);
      g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
      for (int y = 0; y < g.rows; ++y) {
        const uint8_t* src = slot->bitmap.buffer + y * slot->bitmap.pitch;
        std::copy(src, src + g.width, g.coverage.begin() + static_cast<ptrdiff_t>(y) * g.width);
      }
    }
    return glyphs_.emplace(key, std::move(g)).first->second;
  }

 private:
  [[noreturn]] static void Die(const std::string& why) {
    std::fprintf(stderr, "pellix device: %s\n", why.c_str());
    std::abort();
  }
  static uint32_t MetricsKey(FontStyle style, int size) {
    return (static_cast<uint32_t>(style) << 16) | static_cast<uint32_t>(size);
  }
  FT_Face SizedFace(FontStyle style, int size) {
    const int i = static_cast<int>(style);
    if (sizes_[i] != size) {
      FT_Set_Pixel_Sizes(faces_[i], 0, static_cast<FT_UInt>(size));
      sizes_[i] = size;
    }
    return faces_[i];
  }

  FT_Library library_ = nullptr;
  FT_Face faces_[4] = {};
  int sizes_[4] = {0, 0, 0, 0};
  std::unordered_map<uint32_t, FontMetrics> metrics_;
  std::unordered_map<uint64_t, Glyph> glyphs_;
};

FontEngine::FontEngine() : impl_(std::make_unique<Impl>()) {}
FontEngine::~FontEngine() = default;

FontEngine& FontEngine::Shared() {
  // Never destroyed: the HTML view or a late thread may still measure text at exit.
  static FontEngine* engine = new FontEngine();
  return *engine;
}

FontMetrics FontEngine::Metrics(const Font& font) {
  std::lock_guard lock(impl_->mutex);
  return impl_->Metrics(font);
}

int FontEngine::Advance(const Font& font, std::u16string_view text) {
  std::lock_guard lock(impl_->mutex);
  const int size = ClampSize(font.pixel_size);
  int width = 0;
  for (size_t i = 0; i < text.size();) width += impl_->GlyphFor(font.style, size, NextChar(text, i)).advance;
  return width;
}

size_t FontEngine::Fit(const Font& font, std::u16string_view text, int max_width, int* widths) {
  std::lock_guard lock(impl_->mutex);
  const int size = ClampSize(font.pixel_size);
  int width = 0;
  size_t fitted = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    width += impl_->GlyphFor(font.style, size, NextChar(text, i)).advance;
    if (widths)
      for (size_t k = start; k < i; ++k) widths[k] = width;
    if (width <= max_width) fitted = i;
  }
  return fitted;
}

int FontEngine::Draw(Surface& surface, const Font& font, int x, int top,
                     std::u16string_view text, Pixel color, const Rect& clip) {
  std::lock_guard lock(impl_->mutex);
  const int size = ClampSize(font.pixel_size);
  const int baseline = top + impl_->Metrics(font).ascent;
  int pen = x;
  for (size_t i = 0; i < text.size();) {
    const Glyph& g = impl_->GlyphFor(font.style, size, NextChar(text, i));
    if (!g.coverage.empty())
      surface.BlendMask(g.coverage.data(), g.width, g.rows, g.width, pen + g.left,
                        baseline - g.top, color, clip);
    pen += g.advance;
  }
  return pen - x;
}

}  // namespace pellix::device::gdi
