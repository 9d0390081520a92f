#include "console/frame_source.h"

#include <algorithm>
#include <mutex>

#include "gdi/gdi_objects.h"
#include "gdi/png_writer.h"
#include "gdi/region.h"
#include "gdi/screen.h"

namespace pellix::device::console {
namespace {

using gdi::Rect;
using gdi::Surface;

// A damaged area in many pieces (text drawn glyph by glyph) is compared as its bounding box:
// past this many rectangles, one PNG costs less than many small ones.
constexpr size_t kMaxPieces = 8;

// The smallest rectangle inside `area` that holds every pixel where `now` differs from `before`.
Rect ChangedPart(const Surface& now, const Surface& before, const Rect& area) {
  int top = area.bottom, bottom = area.top, left = area.right, right = area.left;
  for (int y = area.top; y < area.bottom; ++y) {
    const gdi::Pixel* a = now.Row(y) + area.left;
    const gdi::Pixel* b = before.Row(y) + area.left;
    const int w = area.Width();
    if (std::equal(a, a + w, b)) continue;
    top = std::min(top, y);
    bottom = y + 1;
    int l = 0;
    while (a[l] == b[l]) ++l;
    int r = w;
    while (a[r - 1] == b[r - 1]) --r;
    left = std::min(left, area.left + l);
    right = std::max(right, area.left + r);
  }
  return bottom > top ? Rect{left, top, right, bottom} : Rect{};
}

FrameRect Encode(const Surface& screen, const Rect& r) {
  Surface part(r.Width(), r.Height());
  part.Copy(screen, r.left, r.top, part.bounds());
  FrameRect out{r, {}};
  if (auto png = gdi::EncodePng(part)) out.png = std::move(*png);
  return out;
}

void Put16(std::string& s, int v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<int>(v & 0xFFFF));
  Put16(s, static_cast<int>(v >> 16));
}

}  // namespace

std::optional<Frame> FrameSource::Poll() {
  std::vector<Rect> changed;
  Surface copy;
  {
    std::lock_guard lock(gdi::Gdi().mutex());
    gdi::Screen& screen = gdi::TheScreen();
    gdi::Region damage = screen.TakeDamage();
    if (damage.IsEmpty() && last_.width() != 0) return std::nullopt;
    const Surface& now = screen.Compose();
    if (now.width() != last_.width() || now.height() != last_.height()) {
      last_ = now.Clone();
      changed.push_back(now.bounds());
    } else {
      std::vector<Rect> pieces(damage.Rects().begin(), damage.Rects().end());
      if (pieces.size() > kMaxPieces) pieces.assign(1, damage.Bounds());
      for (const Rect& piece : pieces) {
        const Rect area = piece.Intersect(now.bounds());
        if (area.IsEmpty()) continue;
        const Rect part = ChangedPart(now, last_, area);
        if (part.IsEmpty()) continue;
        last_.Copy(now, part.left, part.top, part);
        changed.push_back(part);
      }
    }
    if (changed.empty()) return std::nullopt;
    // Encoding happens outside the lock, from a copy of what changed.
    copy = last_.Clone();
  }
  Frame frame{copy.width(), copy.height(), false, {}};
  frame.key = changed.size() == 1 && changed[0] == copy.bounds();
  for (const Rect& r : changed) frame.rects.push_back(Encode(copy, r));
  return frame;
}

Frame FrameSource::KeyFrame() {
  Surface copy;
  {
    std::lock_guard lock(gdi::Gdi().mutex());
    if (last_.width() == 0) last_ = gdi::TheScreen().Compose().Clone();
    copy = last_.Clone();
  }
  Frame frame{copy.width(), copy.height(), true, {}};
  frame.rects.push_back(Encode(copy, copy.bounds()));
  return frame;
}

std::string EncodeFrameMessage(const Frame& frame) {
  std::string s;
  size_t size = 9;
  for (const FrameRect& r : frame.rects) size += 12 + r.png.size();
  s.reserve(size);
  s.push_back(1);
  s.push_back(frame.key ? 1 : 0);
  Put16(s, frame.width);
  Put16(s, frame.height);
  Put16(s, static_cast<int>(frame.rects.size()));
  for (const FrameRect& r : frame.rects) {
    Put16(s, r.rect.left);
    Put16(s, r.rect.top);
    Put16(s, r.rect.Width());
    Put16(s, r.rect.Height());
    Put32(s, static_cast<uint32_t>(r.png.size()));
    s.append(reinterpret_cast<const char*>(r.png.data()), r.png.size());
  }
  return s;
}

std::optional<Frame> DecodeFrameMessage(const std::string& m) {
  size_t at = 0;
  auto get = [&](size_t bytes) -> std::optional<uint32_t> {
    if (m.size() - at < bytes) return std::nullopt;
    uint32_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(m[at + i])) << (8 * i);
    at += bytes;
    return v;
  };
  auto kind = get(1), key = get(1), w = get(2), h = get(2), count = get(2);
  if (!count || *kind != 1) return std::nullopt;
  Frame f{static_cast<int>(*w), static_cast<int>(*h), *key != 0, {}};
  for (uint32_t i = 0; i < *count; ++i) {
    auto x = get(2), y = get(2), rw = get(2), rh = get(2), n = get(4);
    if (!n || m.size() - at < *n) return std::nullopt;
    FrameRect r{Rect::FromSize(static_cast<int>(*x), static_cast<int>(*y), static_cast<int>(*rw),
                               static_cast<int>(*rh)),
                std::vector<uint8_t>(m.begin() + static_cast<std::ptrdiff_t>(at),
                                     m.begin() + static_cast<std::ptrdiff_t>(at + *n))};
    at += *n;
    f.rects.push_back(std::move(r));
  }
  if (at != m.size()) return std::nullopt;
  return f;
}

}  // namespace pellix::device::console
