// What the graphics engine reads of the window system: the visible windows in z-order with
// their geometry, and the update regions that painting takes. The window system installs its
// view when it starts (SetWindowView); until then the device has no windows and the screen
// shows the desktop alone. Implementations must be thread-safe: composition and painting run
// on any thread.
//
// Lock order: graphics calls the view while holding the GDI lock, so the window system must
// not hold its own lock while it calls into graphics (RegionFromHandle, BrushColor, ...):
// copy what it needs from graphics first, then take its lock.
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR
#include <optional>
#include <vector>

#include <windows.h>

#include "gdi/region.h"

namespace pellix::device::gdi {

struct WindowInfo {
  HWND hwnd = nullptr;
  HWND parent = nullptr;           // null for top-level windows
  Rect window;                     // screen coordinates
  Rect client;                     // screen coordinates
  std::optional<Region> region;    // window region in window coordinates, if any
  HBRUSH background = nullptr;     // the class background brush
  bool visible = false;            // the window and all its ancestors are shown
  std::u16string text;             // the window's text (a top-level window's title)
};

struct UpdateArea {
  Region region;       // client coordinates
  bool erase = false;  // the background must be erased first
};

class WindowView {
 public:
  virtual ~WindowView() = default;
  // Visible windows bottom to top: a parent comes before its children, and a window before
  // every window above it.
  virtual std::vector<WindowInfo> VisibleWindows() = 0;
  // Any existing window, shown or not; none for a handle that is not a window.
  virtual std::optional<WindowInfo> Find(HWND hwnd) = 0;
  // The invalid area of the window, validated by this call.
  virtual UpdateArea TakeUpdateRegion(HWND hwnd) = 0;
  virtual bool HasUpdateRegion(HWND hwnd) = 0;
};

// Installs the window system's view (null: none). The view must outlive its installation.
void SetWindowView(WindowView* view);
// The installed view, or one that has no windows.
WindowView& Windows();

}  // namespace pellix::device::gdi
