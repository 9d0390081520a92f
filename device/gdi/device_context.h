// DeviceContext: the state behind an HDC and the surface it draws on. Three kinds:
//  - memory contexts (CreateCompatibleDC) draw into the bitmap selected into them (a 1x1
//    monochrome bitmap until another is selected);
//  - window contexts (GetDC, GetWindowDC, BeginPaint) draw into the window's retained surface,
//    clipped to its client area (or, for GetWindowDC, the whole window);
//  - screen contexts (GetDC(NULL), CreateDCW("DISPLAY")) read the composed screen.
//
// Coordinates given to a context are relative to its origin (the client area's top-left for
// window contexts). REQUIRES: the GDI table's lock around every use.
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR
#include <memory>
#include <optional>
#include <vector>

#include <windows.h>

#include "gdi/bitmap.h"
#include "gdi/gdi_objects.h"
#include "gdi/region.h"
#include "gdi/surface.h"

namespace pellix::device::gdi {

// Where a drawing operation lands: a surface, the offset of the context's origin on it, and
// the pixels it may change (surface coordinates). Returned by DeviceContext::BeginDraw;
// EndDraw must follow before the table's lock is released.
struct DrawTarget {
  Surface* surface = nullptr;
  int origin_x = 0;
  int origin_y = 0;
  Region clip;
  Bitmap* bitmap = nullptr;  // the selected bitmap, for memory contexts
  // The bitmap's packed bits were not decoded: `surface` is null and the caller writes
  // through the bitmap itself (BeginDraw(kDirect)).
  bool direct = false;
};

class DeviceContext {
 public:
  enum class Kind { kMemory, kWindow, kScreen };

  // Contexts are values; the GDI table keeps them in slots it reuses, so that making one
  // allocates nothing once a context has been made and deleted before.
  static DeviceContext Memory(std::shared_ptr<Bitmap> default_bitmap);
  static DeviceContext Window(HWND hwnd, bool whole_window);
  static DeviceContext Screen();
  DeviceContext(DeviceContext&&) = default;
  DeviceContext& operator=(DeviceContext&&) = default;

  Kind kind() const { return kind_; }
  HWND window() const { return window_; }

  enum class Access { kSurface, kDirect };
  // Prepares the target; nullopt when there is nothing to draw on (a window that is gone).
  // kDirect skips decoding a memory context's bitmap into its shadow surface when the
  // bitmap has one; the caller then writes the bitmap's bits itself.
  std::optional<DrawTarget> BeginDraw(Access access = Access::kSurface);
  void EndDraw(DrawTarget& target);
  // The pixels to read as a blit source, composing the screen first for screen contexts.
  // The offset of the origin is stored in origin_x / origin_y; the clip is the surface.
  std::optional<DrawTarget> BeginRead();

  // Drawing state.
  Pixel text_color = 0x000000;
  Pixel bk_color = 0xFFFFFF;
  int bk_mode = OPAQUE;
  UINT text_align = TA_TOP | TA_LEFT;
  POINT position{0, 0};
  std::shared_ptr<Bitmap> bitmap;  // memory contexts
  std::shared_ptr<BrushObject> brush;
  std::shared_ptr<PenObject> pen;
  std::shared_ptr<FontObject> font;
  std::optional<Region> clip_region;   // SelectClipRgn, in context coordinates
  std::optional<Region> paint_region;  // BeginPaint's update area, in context coordinates

  // Width and height of the drawing area (bitmap, client area or screen).
  Rect Extent();

  // SaveDC / RestoreDC: the drawing state above, on a stack. Save returns the new depth;
  // Restore takes a depth (> 0) or a count back from the top (< 0).
  int Save();
  bool Restore(int level);

 private:
  explicit DeviceContext(Kind kind) : kind_(kind) {}

  struct State {
    Pixel text_color, bk_color;
    int bk_mode;
    UINT text_align;
    POINT position;
    std::shared_ptr<Bitmap> bitmap;
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<PenObject> pen;
    std::shared_ptr<FontObject> font;
    std::optional<Region> clip_region;
  };

  Kind kind_;
  std::vector<State> saved_;
  HWND window_ = nullptr;
  bool whole_window_ = false;
};

}  // namespace pellix::device::gdi
