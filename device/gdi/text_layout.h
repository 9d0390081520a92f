// Line layout for DrawTextW: splits text into lines at line ends and, when asked, at word
// boundaries so that each line fits a width. Pure functions over the font engine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gdi/font_engine.h"

namespace pellix::device::gdi {

struct TextLine {
  std::u16string text;  // what is drawn (prefix ampersands removed, tabs expanded)
  int width = 0;        // its advance in pixels
};

struct LayoutOptions {
  int max_width = 0;         // for word breaks
  bool word_break = false;   // DT_WORDBREAK
  bool single_line = false;  // DT_SINGLELINE: line ends are drawn as spaces
  bool expand_tabs = false;  // DT_EXPANDTABS: tab stops every 8 average character widths
  bool prefix = true;        // not DT_NOPREFIX: "&x" draws "x", "&&" draws "&"
};

// Lines in order. A word wider than max_width stays whole on a line of its own; spaces at
// a break are dropped. An empty text gives one empty line.
std::vector<TextLine> LayoutText(FontEngine& fonts, const Font& font, std::u16string_view text,
                                 const LayoutOptions& options);

}  // namespace pellix::device::gdi
