// Bounds on a page before the layout engine sees it. Pages come from strangers' text messages,
// and the layout engine's cost grows with nesting (exponentially for nested tables) and with
// the number of elements, so a page is first parsed with the same HTML parser the engine uses,
// and written out again as a page that stays within these bounds:
//
// - the tree is at most kMaxDepth elements deep; what lies deeper keeps its text, without
//   markup, inside the deepest element kept (as a browser engine keeps over-deep content as
//   siblings instead of children);
// - tables nest at most kMaxTableDepth deep; a deeper table becomes its cells' text;
// - at most kMaxElements elements are kept; after that, only text;
// - scripts, comments and templates are dropped (the view runs none of them).
//
// Before parsing, a scan of the source drops start tags beyond kMaxSourceTags, and formatting
// tags (b, i, font, ...) beyond kMaxOpenFormatting left open at once: the parser re-opens
// every open formatting element in each new block, so a few hundred unclosed ones would make
// its tree grow with their product.
#pragma once

#include <string>
#include <string_view>

namespace pellix::device::htmlview {

inline constexpr int kMaxDepth = 32;
inline constexpr int kMaxTableDepth = 3;
inline constexpr int kMaxElements = 1000;
inline constexpr int kMaxSourceTags = 2000;
inline constexpr int kMaxOpenFormatting = 8;

// The page (UTF-8) rewritten within the bounds. A page within them keeps its meaning.
std::string BoundPage(std::string_view html);

}  // namespace pellix::device::htmlview
