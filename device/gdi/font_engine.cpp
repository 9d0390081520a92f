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
  explicit Impl(std::string font_dir) : font_dir_(std::move(font_dir)) {}
  ~Impl() {
    for (FT_Face f : files_)
      if (f) FT_Done_Face(f);
    if (library_) FT_Done_FreeType(library_);
  }

  std::mutex mutex;

  FontMetrics Metrics(const Font& font) {
    const int size = ClampSize(font.pixel_size);
    const uint32_t key = MetricsKey(font.style, size);
    auto it = metrics_.find(key);
    if (it != metrics_.end()) return it->second;
    FT_Face face = SizedFace(font.style, size);
    FontMetrics m;
    if (!face) {
      // No font at all: text keeps plausible boxes, so layout still works, but shows no glyphs.
      m.ascent = (size * 4 + 4) / 5;
      m.descent = size - m.ascent + 1;
      m.height = m.ascent + m.descent;
      m.max_width = m.average_width = (size + 1) / 2;
      metrics_.emplace(key, m);
      return m;
    }
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
    if (!face) {
      g.advance = (size + 1) / 2;
      return glyphs_.emplace(key, std::move(g)).first->second;
    }
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
  static uint32_t MetricsKey(FontStyle style, int size) {
    return (static_cast<uint32_t>(style) << 16) | static_cast<uint32_t>(size);
  }
  // The face that draws `style`, loaded on first use so that commands which draw nothing never
  // open a font. A missing oblique face is the upright one slanted by a shear; a missing bold
  // face is the regular one. Only a missing regular face leaves text without glyphs.
  FT_Face FaceFor(FontStyle style) {
    const int i = static_cast<int>(style);
    if (resolved_[i]) return faces_[i];
    resolved_[i] = true;
    if (!library_ && FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      Warn("FreeType could not start; text is drawn without glyphs");
      return nullptr;
    }
    const std::string path = font_dir_ + "/" + kFaceFiles[i];
    if (FT_New_Face(library_, path.c_str(), 0, &files_[i]) == 0) {
      faces_[i] = files_[i];
      return faces_[i];
    }
    files_[i] = nullptr;
    const bool oblique = style == FontStyle::kOblique || style == FontStyle::kBoldOblique;
    const bool bold = style == FontStyle::kBold || style == FontStyle::kBoldOblique;
    FontStyle upright = bold ? FontStyle::kBold : FontStyle::kRegular;
    if (!oblique) upright = FontStyle::kRegular;
    if (style == FontStyle::kRegular) {
      Warn("font file missing: " + path + " (install fonts-dejavu-core); text is drawn without glyphs");
      return nullptr;
    }
    Warn("font file missing: " + path + " (install " + (oblique ? "fonts-dejavu-extra" : "fonts-dejavu-core") +
         "); " + (oblique ? "slanting the upright face instead" : "using the regular face instead"));
    FT_Face base = FaceFor(upright);
    if (!base) return nullptr;
    // A face object carries one size and one transform, so the slanted copy is a face of its own.
    if (FT_New_Face(library_, (font_dir_ + "/" + kFaceFiles[static_cast<int>(upright)]).c_str(), 0, &files_[i]) != 0) {
      files_[i] = nullptr;
      return faces_[i] = base;
    }
    if (oblique) {
      FT_Matrix shear{0x10000, 0x3000 /* about 11 degrees, the slant of the real oblique faces */, 0, 0x10000};
      FT_Set_Transform(files_[i], &shear, nullptr);
    }
    return faces_[i] = files_[i];
  }

  FT_Face SizedFace(FontStyle style, int size) {
    const int i = static_cast<int>(style);
    FT_Face face = FaceFor(style);
    if (face && sizes_[i] != size) {
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
      sizes_[i] = size;
    }
    return face;
  }

  // One line on standard error per process for all missing fonts together: a newcomer learns
  // what to install without a warning on every command.
  void Warn(const std::string& why) {
    if (!warned_) std::fprintf(stderr, "pellix device: %s\n", why.c_str());
    warned_ = true;
  }

  std::string font_dir_;
  FT_Library library_ = nullptr;
  FT_Face files_[4] = {};   // faces this engine opened (and frees)
  FT_Face faces_[4] = {};   // the face that draws each style; may share another style's file
  bool resolved_[4] = {};
  bool warned_ = false;
  int sizes_[4] = {0, 0, 0, 0};
  std::unordered_map<uint32_t, FontMetrics> metrics_;
  std::unordered_map<uint64_t, Glyph> glyphs_;
};

FontEngine::FontEngine(std::string font_dir) : impl_(std::make_unique<Impl>(std::move(font_dir))) {}
FontEngine::~FontEngine() = default;

FontEngine& FontEngine::Shared() {
  // Never destroyed: the HTML view or a late thread may still measure text at exit.
  // PELLIX_FONT_DIR names another folder with the same faces, for hosts that keep them elsewhere.
  static FontEngine* engine = [] {
    const char* dir = std::getenv("PELLIX_FONT_DIR");
    return new FontEngine(dir && *dir ? dir : PELLIX_FONT_DIR);
  }();
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
