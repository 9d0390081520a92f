// Integer rectangles of the device's graphics engine: left and top inside, right and bottom
// outside, as the platform's RECT. An empty rectangle has no width or no height.
#pragma once

#include <algorithm>

namespace pellix::device::gdi {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  static constexpr Rect FromSize(int x, int y, int width, int height) {
    return Rect{x, y, x + width, y + height};
  }
  constexpr int Width() const { return right - left; }
  constexpr int Height() const { return bottom - top; }
  constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
  constexpr bool Contains(int x, int y) const {
    return x >= left && x < right && y >= top && y < bottom;
  }
  constexpr Rect Offset(int dx, int dy) const {
    return Rect{left + dx, top + dy, right + dx, bottom + dy};
  }
  // The common part; an empty rectangle (possibly with inverted edges) when there is none.
  constexpr Rect Intersect(const Rect& o) const {
    return Rect{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
  }
  constexpr long long Area() const {
    return IsEmpty() ? 0 : static_cast<long long>(Width()) * Height();
  }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace pellix::device::gdi
