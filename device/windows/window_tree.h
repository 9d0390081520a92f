// What the graphics engine reads of the window system: the windows to compose, in z-order,
// with their geometry, shape and background, and the update regions that WM_PAINT drains.
//
// Every function here is thread-safe: it takes the window system's lock for the duration of
// the call and returns copies, so the results stay valid (though possibly stale) afterwards.
// None of them sends a message or calls a window procedure.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "gdi/region.h"

namespace pellix::device::windows {

struct WindowSnapshot {
  HWND hwnd = nullptr;
  HWND parent = nullptr;           // null for a top-level window
  RECT window_rect{};              // screen coordinates
  RECT client_rect{};              // screen coordinates
  std::optional<gdi::Region> region;  // the window region, in window coordinates
  HBRUSH background = nullptr;     // the class background brush (may be null)
  bool visible = false;            // the window and all its ancestors are visible
  DWORD style = 0;
  DWORD ex_style = 0;
  std::u16string class_name;
  std::u16string text;
};

// Visible windows in painting order: bottom to top, each parent before its children. Children
// are clipped by their parents' client areas when composed; that clipping is left to the reader.
std::vector<WindowSnapshot> VisibleWindows();

// One window, visible or not; nullopt for a handle that is not a window.
std::optional<WindowSnapshot> SnapshotOf(HWND hwnd);

struct UpdateArea {
  gdi::Region region;  // client coordinates
  bool erase = false;  // erase with the class background before painting
};

// Returns the window's invalid area and erase flag and validates the window. An empty region
// when nothing was invalid; nullopt for a handle that is not a window.
std::optional<UpdateArea> TakeUpdateRegion(HWND hwnd);
// Whether the window has an invalid area (a WM_PAINT is due).
bool HasUpdateRegion(HWND hwnd);

// The window a tap at a screen point reaches: the deepest visible, enabled-or-not child of the
// topmost visible window under the point, honouring z-order, parents' client areas and window
// regions. Null over the bare desktop.
HWND WindowFromScreenPoint(POINT screen_point);

// Changes to windows that the graphics engine keeps state for (surfaces). Listeners are called
// without the window system's lock held, on the thread that made the change; they must not
// block on that thread's window procedures.
enum class WindowEvent { kCreated, kResized, kDestroyed };
using WindowListener = std::function<void(HWND, WindowEvent)>;
// Returns an id for RemoveWindowListener.
int AddWindowListener(WindowListener listener);
void RemoveWindowListener(int id);

// A popup menu open on the screen (TrackPopupMenuEx waiting for the person), for screenshots
// and scripts. Items are those of the menu, in order; separators have an empty text and id 0.
struct OpenMenuItem {
  UINT id = 0;
  UINT flags = 0;  // MF_GRAYED, MF_CHECKED, MF_POPUP, MF_SEPARATOR
  std::u16string text;
};
struct OpenMenuSnapshot {
  HMENU menu = nullptr;
  HWND owner = nullptr;
  POINT position{};  // screen coordinates given to TrackPopupMenuEx
  std::vector<OpenMenuItem> items;
};
std::optional<OpenMenuSnapshot> OpenMenu();

}  // namespace pellix::device::windows
