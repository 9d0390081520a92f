// Region: a set of pixels kept as non-overlapping rectangles, the shape behind HRGN handles,
// window regions and clipping. Shared by the graphics engine and the window system.
//
// Representation: "y-x banded" rectangles. The rectangles are sorted by top, then left; all
// rectangles of one horizontal band share their top and bottom, never touch or overlap within
// the band, and two vertically adjacent bands with identical spans are merged into one. So
// two regions covering the same pixels have the same rectangles, and operator== compares
// pixel sets.
//
// A Region is a value: copy it freely. It is not synchronised; guard shared instances.
#pragma once

#include <span>
#include <vector>

#include "gdi/rect.h"
#include "gdi/rect_list.h"

namespace pellix::device::gdi {

class Region {
 public:
  Region() = default;
  explicit Region(const Rect& rect);
  // The union of any rectangles, overlapping or not, in any order. Empty ones are ignored.
  static Region FromRects(std::span<const Rect> rects);

  bool IsEmpty() const { return rects_.empty(); }
  bool Contains(int x, int y) const;
  // The smallest rectangle holding every pixel; all zero when empty.
  Rect Bounds() const { return bounds_; }
  std::span<const Rect> Rects() const { return rects_; }
  long long Area() const;

  void Offset(int dx, int dy);
  Region Union(const Region& other) const;
  Region Intersect(const Region& other) const;
  Region Intersect(const Rect& rect) const { return Intersect(Region(rect)); }
  Region Subtract(const Region& other) const;
  Region Xor(const Region& other) const;

  friend bool operator==(const Region&, const Region&) = default;

 private:
  enum class Op { kUnion, kIntersect, kSubtract, kXor };
  static Region Combine(const Region& a, const Region& b, Op op);
  static bool CombineSimple(const Region& a, const Region& b, Op op, Region& out);
  void UpdateBounds();

  RectList rects_;
  Rect bounds_;
};

}  // namespace pellix::device::gdi
