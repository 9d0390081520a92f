// The handheld's two soft keys, VK_F1 (left) and VK_F2 (right). They belong to the menu bar on
// screen rather than to the focus window, so keyboard input offers them to a handler that the
// shell installs before delivering them as ordinary keys.
//
// Threads: the handler may be set and called from any thread; it is called without any window
// system lock held and must not block on another thread's window procedure.
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

}  // namespace pellix::device::windows
