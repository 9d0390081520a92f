#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace smileygen {

Color Mix(Color a, Color b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), fine_(static_cast<size_t>(width * height * kScale * kScale)) {}

void Canvas::Shape(float x0, float y0, float x1, float y1,
                   const std::function<bool(float, float)>& inside,
                   const std::function<Color(float, float)>& paint) {
  const int fw = width_ * kScale, fh = height_ * kScale;
  int i0 = std::max(0, static_cast<int>(std::floor(x0 * kScale)) - 1);
  int i1 = std::min(fw - 1, static_cast<int>(std::ceil(x1 * kScale)) + 1);
  int j0 = std::max(0, static_cast<int>(std::floor(y0 * kScale)) - 1);
  int j1 = std::min(fh - 1, static_cast<int>(std::ceil(y1 * kScale)) + 1);
  for (int j = j0; j <= j1; ++j) {
    for (int i = i0; i <= i1; ++i) {
      float x = (i + 0.5f) / kScale, y = (j + 0.5f) / kScale;
      if (!inside(x, y)) continue;
      Color c = paint(x, y);
      Color& d = fine_[static_cast<size_t>(j * fw + i)];
      d = Mix(d, Color{c.r, c.g, c.b, 1.f}, c.a);
      d.a = std::max(d.a, c.a);
    }
  }
}

void Canvas::FillEllipse(float cx, float cy, float rx, float ry, Color c) {
  Shape(cx - rx, cy - ry, cx + rx, cy + ry,
        [=](float x, float y) {
          float dx = (x - cx) / rx, dy = (y - cy) / ry;
          return dx * dx + dy * dy <= 1.f;
        },
        [=](float, float) { return c; });
}

void Canvas::FillCircle(float cx, float cy, float r, Color c) { FillEllipse(cx, cy, r, r, c); }

void Canvas::EllipseRing(float cx, float cy, float rx, float ry, float w, Color c) {
  Shape(cx - rx - w, cy - ry - w, cx + rx + w, cy + ry + w,
        [=](float x, float y) {
          float ox = (x - cx) / (rx + w / 2), oy = (y - cy) / (ry + w / 2);
          float ix = (x - cx) / (rx - w / 2), iy = (y - cy) / (ry - w / 2);
          return ox * ox + oy * oy <= 1.f && ix * ix + iy * iy > 1.f;
        },
        [=](float, float) { return c; });
}

void Canvas::Ring(float cx, float cy, float r, float w, Color c) { EllipseRing(cx, cy, r, r, w, c); }

namespace {
float SegmentDistance(float x, float y, float x0, float y0, float x1, float y1) {
  float dx = x1 - x0, dy = y1 - y0;
  float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0.f;
  t = std::clamp(t, 0.f, 1.f);
  float px = x0 + t * dx - x, py = y0 + t * dy - y;
  return std::sqrt(px * px + py * py);
}
}  // namespace

void Canvas::Line(float x0, float y0, float x1, float y1, float w, Color c) {
  Shape(std::min(x0, x1) - w, std::min(y0, y1) - w, std::max(x0, x1) + w, std::max(y0, y1) + w,
        [=](float x, float y) { return SegmentDistance(x, y, x0, y0, x1, y1) <= w / 2; },
        [=](float, float) { return c; });
}

void Canvas::Arc(float cx, float cy, float r, float a0, float a1, float w, Color c) {
  const float kPi = 3.14159265f;
  const int steps = 24;
  float px = cx + r * std::cos(a0 * kPi / 180), py = cy + r * std::sin(a0 * kPi / 180);
  for (int s = 1; s <= steps; ++s) {
    float a = (a0 + (a1 - a0) * s / steps) * kPi / 180;
    float x = cx + r * std::cos(a), y = cy + r * std::sin(a);
    Line(px, py, x, y, w, c);
    px = x;
    py = y;
  }
}

void Canvas::FillRect(float x0, float y0, float x1, float y1, Color c) {
  Shape(x0, y0, x1, y1, [=](float x, float y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; },
        [=](float, float) { return c; });
}

void Canvas::FillRoundRect(float x0, float y0, float x1, float y1, float radius, Color c) {
  Shape(x0, y0, x1, y1,
        [=](float x, float y) {
          float qx = std::max(std::max(x0 + radius - x, x - (x1 - radius)), 0.f);
          float qy = std::max(std::max(y0 + radius - y, y - (y1 - radius)), 0.f);
          return x >= x0 && x <= x1 && y >= y0 && y <= y1 && qx * qx + qy * qy <= radius * radius;
        },
        [=](float, float) { return c; });
}

void Canvas::Face(float cx, float cy, float r, Color centre, Color edge, Color outline) {
  FillCircle(cx, cy, r, outline);
  float inner = r - 0.9f;
  Shape(cx - inner, cy - inner, cx + inner, cy + inner,
        [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= inner * inner; },
        [=](float x, float y) {
          // Lit from the upper left.
          float dx = x - (cx - r * 0.3f), dy = y - (cy - r * 0.35f);
          float t = std::min(1.f, std::sqrt(dx * dx + dy * dy) / (r * 1.35f));
          return Mix(centre, edge, t);
        });
}

void Canvas::Heart(float cx, float cy, float size, Color c) {
  float lobe = size * 0.28f;
  float ly = cy - size * 0.2f;
  FillCircle(cx - lobe * 0.95f, ly, lobe, c);
  FillCircle(cx + lobe * 0.95f, ly, lobe, c);
  float top = ly + lobe * 0.15f, bottom = cy + size * 0.45f;
  float half = lobe * 1.95f;
  Shape(cx - half, top, cx + half, bottom,
        [=](float x, float y) {
          if (y < top || y > bottom) return false;
          float t = (y - top) / (bottom - top);
          return std::fabs(x - cx) <= half * (1 - t);
        },
        [=](float, float) { return c; });
}

Frame Canvas::Take() const {
  Frame f;
  f.width = width_;
  f.height = height_;
  const int fw = width_ * kScale;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      float r = 0, g = 0, b = 0, a = 0;
      for (int j = 0; j < kScale; ++j) {
        for (int i = 0; i < kScale; ++i) {
          const Color& c = fine_[static_cast<size_t>((y * kScale + j) * fw + x * kScale + i)];
          // Over white, as the picture object draws every frame.
          r += c.r * c.a + (1 - c.a);
          g += c.g * c.a + (1 - c.a);
          b += c.b * c.a + (1 - c.a);
          a += c.a;
        }
      }
      const float n = kScale * kScale;
      auto byte = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.f, 1.f) * 255 + 0.5f); };
      f.rgb.push_back(byte(r / n) << 16 | byte(g / n) << 8 | byte(b / n));
      f.transparent.push_back(a / n < 0.25f);
    }
  }
  return f;
}

}  // namespace smileygen
