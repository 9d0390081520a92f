// The handheld's two soft keys, VK_F1 (left) and VK_F2 (right). They belong to the menu bar on
// screen rather than to the focus window, so keyboard input offers them to a handler that the
// shell installs before delivering them as ordinary keys. Which bar is on screen follows the
// z-order of the bars' owners; the window system keeps that rule for drawing and taps too.
//
// Threads: the handler may be set and called from any thread; it is called without any window
// system lock held and must not block on another thread's window procedure. The bar functions
// may be called from any thread.
#pragma once

#include <functional>

#include <windows.h>

namespace pellix::device::windows {

// `which` is 0 for the left soft key and 1 for the right one. Returns true when a bar took
// the key, which then reaches no window as WM_KEYDOWN / WM_KEYUP.
using SoftKeyHandler = std::function<bool(int which, bool up)>;

void SetSoftKeyHandler(SoftKeyHandler handler);

// Offers a key stroke to the handler; false for other keys or when nobody took it.
bool RouteSoftKey(BYTE vk, bool up);

// Makes `bar`, a top-level window owned by the window whose soft keys it shows, a soft-key bar.
// False for a child or an unowned window.
bool MarkSoftKeyBar(HWND bar);
// The bar on screen, the one the soft keys belong to: the visible bar of the top-most visible
// top-level window that owns one. A bar shows while its owner is in front, as on the handheld;
// hidden and destroyed owners' bars never count. Null when there is none.
HWND FrontSoftKeyBar();

}  // namespace pellix::device::windows
