// A small anti-aliased canvas for drawing smileys: shapes are given in picture pixels (floating
// point) and painted on a grid four times finer, which is averaged down when a frame is taken.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace smileygen {

struct Color {
  float r = 0, g = 0, b = 0, a = 0;
};
inline Color Rgb(int r, int g, int b) { return {r / 255.f, g / 255.f, b / 255.f, 1.f}; }
Color Mix(Color a, Color b, float t);

// One frame after downsampling: RGB over white, with a mask of the pixels that stay
// transparent (nothing drawn there).
struct Frame {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;       // 0xRRGGBB
  std::vector<bool> transparent;
};

class Canvas {
 public:
  Canvas(int width, int height);

  void FillCircle(float cx, float cy, float r, Color c);
  void FillEllipse(float cx, float cy, float rx, float ry, Color c);
  // A ring of width `w` centred on the circle of radius `r`.
  void Ring(float cx, float cy, float r, float w, Color c);
  void EllipseRing(float cx, float cy, float rx, float ry, float w, Color c);
  // A line with round ends.
  void Line(float x0, float y0, float x1, float y1, float w, Color c);
  // An arc of the circle (cx, cy, r) from angle a0 to a1, in degrees, 0 pointing right and 90
  // pointing down.
  void Arc(float cx, float cy, float r, float a0, float a1, float w, Color c);
  void FillRect(float x0, float y0, float x1, float y1, Color c);
  void FillRoundRect(float x0, float y0, float x1, float y1, float radius, Color c);
  // A face disc with a radial gradient from `centre` to `edge` and an outline.
  void Face(float cx, float cy, float r, Color centre, Color edge, Color outline);
  // A heart whose lobes sit at y = cy - size/4, point at cy + size/2.
  void Heart(float cx, float cy, float size, Color c);
  // Paints every fine sample that `inside` accepts with the colour `paint` gives.
  void Shape(float x0, float y0, float x1, float y1, const std::function<bool(float, float)>& inside,
             const std::function<Color(float, float)>& paint);

  Frame Take() const;

 private:
  static constexpr int kScale = 4;
  int width_, height_;
  std::vector<Color> fine_;
};

}  // namespace smileygen
