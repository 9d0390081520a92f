// The screen as the console sends it: frames of changed rectangles, each a PNG picture.
//
// The source composes the screen only when the screen's damage tracking reports damage, and
// then compares the damaged area with the frame it made last, so a frame holds only pixels that
// really changed and a screen that did not change costs one look at the damage and nothing else.
//
// Not synchronised: one owner (the console's network thread) calls it. Takes the GDI lock itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gdi/rect.h"
#include "gdi/surface.h"

namespace pellix::device::console {

struct FrameRect {
  gdi::Rect rect;            // screen coordinates
  std::vector<uint8_t> png;  // the pixels of `rect`
};

struct Frame {
  int width = 0;   // the screen's size
  int height = 0;
  bool key = false;  // the whole screen, to start from
  std::vector<FrameRect> rects;
};

class FrameSource {
 public:
  // What changed since the last Poll or KeyFrame; nullopt when nothing did.
  std::optional<Frame> Poll();
  // The whole screen as it is now, for a page that has just connected. Damage collected so far
  // stays for the next Poll, so other pages still get it.
  Frame KeyFrame();
  // Forgets the last frame (the device was restarted, perhaps with another screen size).
  void Reset() { last_ = gdi::Surface(); }

 private:
  gdi::Surface last_;
};

// The message that carries a frame to the page (a WebSocket binary message), little-endian:
//   u8 kind = 1, u8 key, u16 width, u16 height, u16 count,
//   then per rectangle: u16 x, u16 y, u16 w, u16 h, u32 png_size, png bytes.
std::string EncodeFrameMessage(const Frame& frame);
// The inverse, for tests and tools; nullopt for a malformed message.
std::optional<Frame> DecodeFrameMessage(const std::string& message);

}  // namespace pellix::device::console
