// Keyboard focus, activation and mouse capture. There is one active window and one focus
// window on the device; the messages announcing a change reach windows of other threads as
// sent notifications, so the thread making the change never waits for them.
#include "windows/window_system.h"

namespace pellix::device::windows {

HWND WindowSystem::Focus() {
  std::lock_guard lock(mutex_);
  return focus_;
}

HWND WindowSystem::Active() {
  std::lock_guard lock(mutex_);
  return active_;
}

HWND WindowSystem::SetFocus(HWND hwnd) {
  if (hwnd) {
    HWND root = nullptr;
    {
      std::lock_guard lock(mutex_);
      Window* w = Find(hwnd);
      if (!w) return nullptr;
      while (w->parent) w = w->parent;
      root = w->handle;
      if (active_ == root) root = nullptr;
    }
    // Focus inside an inactive window activates it first, as a tap would.
    if (root) SetActive(root, WA_ACTIVE);
  }
  HWND old = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (hwnd && !Find(hwnd)) return nullptr;
    old = focus_;
    if (old == hwnd) return old;
    focus_ = hwnd;
  }
  if (old) (void)SendNotify(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd) (void)SendNotify(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND WindowSystem::SetActive(HWND hwnd, WORD how) {
  HWND old = nullptr;
  {
    std::lock_guard lock(mutex_);
    Window* w = nullptr;
    if (hwnd) {
      w = Find(hwnd);
      if (!w) return nullptr;
      while (w->parent) w = w->parent;
      hwnd = w->handle;
    }
    old = active_;
    if (old == hwnd) return old;
    active_ = hwnd;
    if (w) PlaceInZOrder(*w, HWND_TOP);
  }
  if (old) (void)SendNotify(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
  if (hwnd) (void)SendNotify(hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(old));
  return old;
}

HWND WindowSystem::SetCapture(HWND hwnd) {
  std::lock_guard lock(mutex_);
  HWND old = capture_;
  capture_ = (hwnd && Find(hwnd)) ? hwnd : nullptr;
  return old;
}

HWND WindowSystem::Capture() {
  std::lock_guard lock(mutex_);
  return capture_;
}

}  // namespace pellix::device::windows
