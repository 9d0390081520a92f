// RectList: the rectangles of a Region. Most regions a drawing call meets (a context's clip, a
// fill) are one rectangle, so one is kept inline and only longer lists go to the heap: making,
// copying and moving a one-rectangle region allocates nothing.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "gdi/rect.h"

namespace pellix::device::gdi {

class RectList {
 public:
  RectList() = default;

  size_t size() const { return on_heap_ ? heap_.size() : inline_count_; }
  bool empty() const { return size() == 0; }
  const Rect* data() const { return on_heap_ ? heap_.data() : &inline_; }
  Rect* data() { return on_heap_ ? heap_.data() : &inline_; }
  const Rect* begin() const { return data(); }
  const Rect* end() const { return data() + size(); }
  Rect* begin() { return data(); }
  Rect* end() { return data() + size(); }
  const Rect& operator[](size_t i) const { return data()[i]; }
  Rect& operator[](size_t i) { return data()[i]; }
  const Rect& front() const { return data()[0]; }
  const Rect& back() const { return data()[size() - 1]; }
  operator std::span<const Rect>() const { return {data(), size()}; }

  void push_back(const Rect& r) {
    if (on_heap_) {
      heap_.push_back(r);
    } else if (inline_count_ == 0) {
      inline_ = r;
      inline_count_ = 1;
    } else {
      heap_.clear();
      heap_.reserve(4);
      heap_.push_back(inline_);
      heap_.push_back(r);
      on_heap_ = true;
    }
  }
  // Keeps the heap's capacity for the next long list.
  void clear() {
    heap_.clear();
    on_heap_ = false;
    inline_count_ = 0;
  }
  RectList& operator=(std::vector<Rect>&& rects) {
    if (rects.size() <= 1) {
      clear();
      if (!rects.empty()) push_back(rects.front());
    } else {
      heap_ = std::move(rects);
      on_heap_ = true;
      inline_count_ = 0;
    }
    return *this;
  }

  friend bool operator==(const RectList& a, const RectList& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
  }

 private:
  Rect inline_{};
  size_t inline_count_ = 0;  // 0 or 1 while !on_heap_
  bool on_heap_ = false;
  std::vector<Rect> heap_;   // every rectangle while on_heap_; else empty
};

}  // namespace pellix::device::gdi
