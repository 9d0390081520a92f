// The window system's records: a registered class and a window. They are plain data owned by
// the WindowSystem and guarded by its lock; nothing here locks or sends messages.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "gdi/rect.h"
#include "gdi/region.h"

namespace pellix::device::windows {

struct WindowClass {
  std::u16string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int class_extra = 0;
  int window_extra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct ScrollBarState {
  int min = 0;
  int max = 0;
  UINT page = 0;
  int pos = 0;
  int track_pos = 0;
  bool enabled = true;
};

enum class Lifecycle { kAlive, kDestroying, kGone };

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<const WindowClass> window_class;
  uint32_t thread = 0;  // the device thread that created it and runs its procedure
  Window* parent = nullptr;          // set for child windows
  Window* owner = nullptr;           // set for owned top-level windows
  std::vector<Window*> children;     // z-order, topmost first
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR id = 0;                   // GWL_ID (the menu argument of a child)
  LONG_PTR user_data = 0;            // GWL_USERDATA
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  std::u16string text;
  gdi::Rect rect;                    // in the parent's client coordinates (screen for top level)
  gdi::Rect client;                  // the client area in window coordinates
  std::optional<gdi::Region> region; // the window region, window coordinates
  gdi::Region update;                // the invalid area, client coordinates
  bool erase = false;                // the invalid area still needs erasing
  ScrollBarState scroll[2];          // SB_HORZ, SB_VERT
  std::vector<uint8_t> extra;        // cbWndExtra bytes for GetWindowLong(offset)
  Lifecycle lifecycle = Lifecycle::kAlive;
  bool soft_key_bar = false;         // a menu bar, on screen only while its owner is in front

  bool IsChild() const { return (style & WS_CHILD) != 0 && parent != nullptr; }
  bool IsVisibleFlag() const { return (style & WS_VISIBLE) != 0; }
  bool IsTopmost() const { return (ex_style & WS_EX_TOPMOST) != 0; }
};

}  // namespace pellix::device::windows
