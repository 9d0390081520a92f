// Menu bars: the strip at the bottom of the screen whose two soft keys show a menu's first two
// items. The left soft key is usually a command, the right one a pop-up; a command reaches the
// bar's parent as WM_COMMAND, and a pop-up opens with TrackPopupMenuEx owned by the parent.
//
// Threads: a bar belongs to the thread that created it (its parent's thread). PressSoftKey may
// be called from any thread: it posts the press to the bar, which drops it if its owner has
// been hidden or destroyed meanwhile.
#pragma once

#include <string>

#include <windows.h>

namespace pellix::device::shell {

// Posted to a bar: wParam 0 for the left soft key, 1 for the right one.
inline constexpr UINT kPressSoftKey = WM_USER + 0x300;

// Makes a bar for `menu` at the bottom of the screen, SM_CYMENU high, owned by `parent`. The bar destroys the
// menu with itself when `owns_menu` is true. Null when the window cannot be made or `parent` is no window.
HWND CreateMenuBarWindow(HWND parent, HMENU menu, bool owns_menu, bool visible);

// The bar the soft keys act on and the screen shows: the visible bar of the top-most visible
// top-level window that owns one, however late a bar behind it was shown. Null when none.
HWND SoftKeyBar();
// Presses a soft key (0 left, 1 right) of `bar`, or of SoftKeyBar() when `bar` is null.
bool PressSoftKey(int which, HWND bar = nullptr);
// The texts the bar shows for its soft keys (for screenshots, scripts and tests).
std::u16string SoftKeyText(HWND bar, int which);

}  // namespace pellix::device::shell
