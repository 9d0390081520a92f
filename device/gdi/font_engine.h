// FontEngine: the device's text renderer, FreeType over the DejaVu Sans faces. Used by the
// graphics calls (ExtTextOutW, DrawTextW, GetTextMetricsW) and by the HTML view.
//
// Threads: one engine per process (Shared()); every call takes its lock, because a FreeType
// library object must not be used from two threads at once. Rendered glyphs are cached per
// face, pixel size and character, so a string is rasterised once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "gdi/rect.h"
#include "gdi/surface.h"

namespace pellix::device::gdi {

enum class FontStyle { kRegular, kBold, kOblique, kBoldOblique };

constexpr FontStyle MakeFontStyle(bool bold, bool oblique) {
  return bold ? (oblique ? FontStyle::kBoldOblique : FontStyle::kBold)
              : (oblique ? FontStyle::kOblique : FontStyle::kRegular);
}

// A face at a size. pixel_size is the em size in pixels (the absolute value of a negative
// LOGFONT height); sizes below 1 are taken as 1 and above 512 as 512.
struct Font {
  FontStyle style = FontStyle::kRegular;
  int pixel_size = 12;
  friend bool operator==(const Font&, const Font&) = default;
};

struct FontMetrics {
  int ascent = 0;         // pixels above the baseline
  int descent = 0;        // pixels below it
  int height = 0;         // ascent + descent: the line height
  int average_width = 0;  // advance of 'x'
  int max_width = 0;      // widest advance of the face at this size
};

class FontEngine {
 public:
  // The process's engine, on the system's DejaVu faces (or those in the folder the environment
  // variable PELLIX_FONT_DIR names). Faces are opened when first drawn or
  // measured; a missing face falls back (see FaceFor) with one warning on standard error.
  static FontEngine& Shared();
  // An engine on the faces in `font_dir` (DejaVuSans.ttf, -Bold, -Oblique, -BoldOblique).
  explicit FontEngine(std::string font_dir);

  FontMetrics Metrics(const Font& font);
  // Sum of the advances of the UTF-16 text (surrogate pairs are one character).
  int Advance(const Font& font, std::u16string_view text);
  // How many UTF-16 units of text fit in max_width pixels (never splits a surrogate pair).
  // When `widths` is given it receives the advance after each unit (size >= text.size()).
  size_t Fit(const Font& font, std::u16string_view text, int max_width, int* widths = nullptr);
  // Draws text with its cell's top-left corner at (x, top): the baseline is at
  // top + Metrics(font).ascent. Only pixels inside `clip` (and the surface) change. Glyphs
  // are anti-aliased over what is there. Returns the advance drawn.
  int Draw(Surface& surface, const Font& font, int x, int top, std::u16string_view text,
           Pixel color, const Rect& clip);

  ~FontEngine();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pellix::device::gdi
