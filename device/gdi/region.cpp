#include "gdi/region.h"

#include <algorithm>
#include <utility>

namespace pellix::device::gdi {
namespace {

struct Span {
  int left;
  int right;
};

// Appends bands in increasing y order and keeps the representation canonical: a band whose
// spans equal those of the band just above it, and which touches it, extends that band.
class BandBuilder {
 public:
  BandBuilder() : rects_(own_) {}
  // Builds into `storage` (cleared first), whose capacity is then reused.
  explicit BandBuilder(std::vector<Rect>& storage) : rects_(storage) { rects_.clear(); }

  void Add(int top, int bottom, const std::vector<Span>& spans) {
    if (spans.empty() || bottom <= top) return;
    if (!rects_.empty() && rects_.back().bottom == top && SameSpans(spans)) {
      for (size_t i = last_band_; i < rects_.size(); ++i) rects_[i].bottom = bottom;
      return;
    }
    last_band_ = rects_.size();
    for (const Span& s : spans) rects_.push_back(Rect{s.left, top, s.right, bottom});
  }
  std::vector<Rect> Take() { return std::move(rects_); }
  const std::vector<Rect>& rects() const { return rects_; }

 private:
  bool SameSpans(const std::vector<Span>& spans) const {
    if (rects_.size() - last_band_ != spans.size()) return false;
    for (size_t i = 0; i < spans.size(); ++i) {
      const Rect& r = rects_[last_band_ + i];
      if (r.left != spans[i].left || r.right != spans[i].right) return false;
    }
    return true;
  }

  std::vector<Rect> own_;
  std::vector<Rect>& rects_;
  size_t last_band_ = 0;
};

// Sorts and merges intervals so that no two overlap or touch.
void NormalizeSpans(std::vector<Span>& spans) {
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.left < b.left; });
  size_t out = 0;
  for (const Span& s : spans) {
    if (out > 0 && s.left <= spans[out - 1].right) {
      spans[out - 1].right = std::max(spans[out - 1].right, s.right);
    } else {
      spans[out++] = s;
    }
  }
  spans.resize(out);
}

// The spans of a banded rectangle list in the band that holds row y, starting the search at
// `cursor` (bands are visited in increasing y, so the cursor only moves forward).
void SpansAt(std::span<const Rect> rects, size_t& cursor, int y, std::vector<Span>& out) {
  out.clear();
  while (cursor < rects.size() && rects[cursor].bottom <= y) ++cursor;
  for (size_t i = cursor; i < rects.size() && rects[i].top <= y; ++i) {
    if (rects[i].bottom > y) out.push_back(Span{rects[i].left, rects[i].right});
  }
}

// Whether non-empty rectangles already form bands: sorted by top; those of one band share
// top and bottom and run left to right without touching; bands do not overlap. A shape
// scanned row by row comes so, and then needs no sweep.
bool AlreadyBanded(const std::vector<Rect>& rects) {
  for (size_t i = 1; i < rects.size(); ++i) {
    const Rect& a = rects[i - 1];
    const Rect& b = rects[i];
    if (b.top == a.top) {
      if (b.bottom != a.bottom || b.left <= a.right) return false;
    } else if (b.top < a.bottom) {
      return false;
    }
  }
  return true;
}

}  // namespace

Region::Region(const Rect& rect) {
  if (!rect.IsEmpty()) rects_.push_back(rect);
  UpdateBounds();
}

Region Region::FromRects(std::span<const Rect> input) {
  std::vector<Rect> rects;
  rects.reserve(input.size());
  for (const Rect& r : input)
    if (!r.IsEmpty()) rects.push_back(r);
  if (AlreadyBanded(rects)) {
    BandBuilder builder;
    std::vector<Span> spans;
    for (size_t i = 0; i < rects.size();) {
      spans.clear();
      const size_t first = i;
      for (; i < rects.size() && rects[i].top == rects[first].top; ++i)
        spans.push_back(Span{rects[i].left, rects[i].right});
      builder.Add(rects[first].top, rects[first].bottom, spans);
    }
    Region region;
    region.rects_ = builder.Take();
    region.UpdateBounds();
    return region;
  }
  std::sort(rects.begin(), rects.end(),
            [](const Rect& a, const Rect& b) { return a.top < b.top; });
  std::vector<int> ys;
  ys.reserve(rects.size() * 2);
  for (const Rect& r : rects) {
    ys.push_back(r.top);
    ys.push_back(r.bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  BandBuilder builder;
  std::vector<const Rect*> active;
  std::vector<Span> spans;
  size_t next = 0;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    const int y0 = ys[i], y1 = ys[i + 1];
    std::erase_if(active, [y0](const Rect* r) { return r->bottom <= y0; });
    while (next < rects.size() && rects[next].top <= y0) active.push_back(&rects[next++]);
    spans.clear();
    for (const Rect* r : active) spans.push_back(Span{r->left, r->right});
    NormalizeSpans(spans);
    builder.Add(y0, y1, spans);
  }
  Region region;
  region.rects_ = builder.Take();
  region.UpdateBounds();
  return region;
}

bool Region::Contains(int x, int y) const {
  if (!bounds_.Contains(x, y)) return false;
  // Rectangles are sorted by top; skip the bands above y quickly.
  auto it = std::lower_bound(rects_.begin(), rects_.end(), y,
                             [](const Rect& r, int row) { return r.bottom <= row; });
  for (; it != rects_.end() && it->top <= y; ++it)
    if (it->Contains(x, y)) return true;
  return false;
}

long long Region::Area() const {
  long long area = 0;
  for (const Rect& r : rects_) area += r.Area();
  return area;
}

void Region::Offset(int dx, int dy) {
  for (Rect& r : rects_) r = r.Offset(dx, dy);
  UpdateBounds();
}

Region Region::Union(const Region& other) const { return Combine(*this, other, Op::kUnion); }
Region Region::Intersect(const Region& other) const {
  return Combine(*this, other, Op::kIntersect);
}
Region Region::Subtract(const Region& other) const {
  return Combine(*this, other, Op::kSubtract);
}
Region Region::Xor(const Region& other) const { return Combine(*this, other, Op::kXor); }

// Combinations of at most one rectangle each whose answer is itself a rectangle (or one of
// the two): most calls are of that kind (an update area and a client rectangle, a clip and a
// fill), and they are answered without the sweep. False when the sweep must decide.
bool Region::CombineSimple(const Region& a, const Region& b, Op op, Region& out) {
  if (a.rects_.size() > 1 || b.rects_.size() > 1) return false;
  const Rect ra = a.bounds_, rb = b.bounds_;
  const bool a_empty = a.rects_.empty(), b_empty = b.rects_.empty();
  switch (op) {
    case Op::kIntersect:
      out = a_empty || b_empty ? Region() : Region(ra.Intersect(rb));
      return true;
    case Op::kUnion:
      if (b_empty || (!a_empty && ra.Intersect(rb) == rb)) out = a;
      else if (a_empty || rb.Intersect(ra) == ra) out = b;
      else if (ra.top == rb.top && ra.bottom == rb.bottom && ra.left <= rb.right && rb.left <= ra.right)
        out = Region(Rect{std::min(ra.left, rb.left), ra.top, std::max(ra.right, rb.right), ra.bottom});
      else if (ra.left == rb.left && ra.right == rb.right && ra.top <= rb.bottom && rb.top <= ra.bottom)
        out = Region(Rect{ra.left, std::min(ra.top, rb.top), ra.right, std::max(ra.bottom, rb.bottom)});
      else
        return false;
      return true;
    case Op::kSubtract:
      if (a_empty || b_empty || ra.Intersect(rb).IsEmpty()) out = a;
      else if (rb.Intersect(ra) == ra) out = Region();
      else
        return false;
      return true;
    case Op::kXor:
      if (a_empty) out = b;
      else if (b_empty) out = a;
      else
        return false;
      return true;
  }
  return false;
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
  if (Region simple; CombineSimple(a, b, op, simple)) return simple;
  auto keep = [op](bool in_a, bool in_b) {
    switch (op) {
      case Op::kUnion: return in_a || in_b;
      case Op::kIntersect: return in_a && in_b;
      case Op::kSubtract: return in_a && !in_b;
      case Op::kXor: return in_a != in_b;
    }
    return false;
  };
  // The sweep's working lists are kept per thread, so that a combination whose answer fits in
  // one rectangle allocates nothing once the thread has combined regions before.
  struct Scratch {
    std::vector<int> ys, xs;
    std::vector<Span> spans_a, spans_b, result;
    std::vector<Rect> rects;
  };
  thread_local Scratch scratch;
  std::vector<int>& ys = scratch.ys;
  ys.clear();
  for (const Region* r : {&a, &b})
    for (const Rect& rect : r->rects_) {
      ys.push_back(rect.top);
      ys.push_back(rect.bottom);
    }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  BandBuilder builder(scratch.rects);
  std::vector<Span>& spans_a = scratch.spans_a;
  std::vector<Span>& spans_b = scratch.spans_b;
  std::vector<Span>& result = scratch.result;
  std::vector<int>& xs = scratch.xs;
  size_t cursor_a = 0, cursor_b = 0;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    const int y0 = ys[i], y1 = ys[i + 1];
    SpansAt(a.Rects(), cursor_a, y0, spans_a);
    SpansAt(b.Rects(), cursor_b, y0, spans_b);
    if (spans_a.empty() && spans_b.empty()) continue;
    xs.clear();
    for (const auto* spans : {&spans_a, &spans_b})
      for (const Span& s : *spans) {
        xs.push_back(s.left);
        xs.push_back(s.right);
      }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    // Walk the x breakpoints; each side's spans are sorted, so one index per side suffices.
    result.clear();
    size_t ia = 0, ib = 0;
    for (size_t k = 0; k + 1 < xs.size(); ++k) {
      const int x0 = xs[k], x1 = xs[k + 1];
      while (ia < spans_a.size() && spans_a[ia].right <= x0) ++ia;
      while (ib < spans_b.size() && spans_b[ib].right <= x0) ++ib;
      const bool in_a = ia < spans_a.size() && spans_a[ia].left <= x0;
      const bool in_b = ib < spans_b.size() && spans_b[ib].left <= x0;
      if (!keep(in_a, in_b)) continue;
      if (!result.empty() && result.back().right == x0) {
        result.back().right = x1;
      } else {
        result.push_back(Span{x0, x1});
      }
    }
    builder.Add(y0, y1, result);
  }
  Region region;
  const std::vector<Rect>& rects = builder.rects();
  if (rects.size() == 1) region.rects_.push_back(rects.front());
  else if (rects.size() > 1) region.rects_ = std::vector<Rect>(rects.begin(), rects.end());
  region.UpdateBounds();
  return region;
}

void Region::UpdateBounds() {
  if (rects_.empty()) {
    bounds_ = Rect{};
    return;
  }
  bounds_ = rects_.front();
  for (const Rect& r : rects_) {
    bounds_.left = std::min(bounds_.left, r.left);
    bounds_.top = std::min(bounds_.top, r.top);
    bounds_.right = std::max(bounds_.right, r.right);
    bounds_.bottom = std::max(bounds_.bottom, r.bottom);
  }
}

}  // namespace pellix::device::gdi
