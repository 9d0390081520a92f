#include "windows/soft_keys.h"

#include <mutex>

#include "windows/window_system.h"

namespace pellix::device::windows {

namespace {

std::mutex g_mutex;
SoftKeyHandler g_handler;

}  // namespace

void SetSoftKeyHandler(SoftKeyHandler handler) {
  std::lock_guard lock(g_mutex);
  g_handler = std::move(handler);
}

bool RouteSoftKey(BYTE vk, bool up) {
  if (vk != VK_F1 && vk != VK_F2) return false;
  SoftKeyHandler handler;
  {
    std::lock_guard lock(g_mutex);
    handler = g_handler;
  }
  return handler && handler(vk == VK_F1 ? 0 : 1, up);
}

bool MarkSoftKeyBar(HWND bar) { return static_cast<bool>(WindowSystem::Get().MarkSoftKeyBar(bar)); }

HWND FrontSoftKeyBar() { return WindowSystem::Get().FrontSoftKeyBar(); }

Status WindowSystem::MarkSoftKeyBar(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  if (w->parent || !w->owner) return Fail("a bar is an owned top-level window", ERROR_INVALID_PARAMETER);
  w->soft_key_bar = true;
  return Status::Ok();
}

// The bar goes with the window in front, whichever bar was shown last: a bar shown late for a
// window behind (a list filling in under load) must not take the keys of the one on top.
Window* WindowSystem::FrontSoftKeyBarLocked() {
  for (Window* owner : top_level_) {
    if (owner->soft_key_bar || owner->lifecycle != Lifecycle::kAlive || !owner->IsVisibleFlag()) continue;
    for (Window* bar : top_level_) {
      if (bar->soft_key_bar && bar->owner == owner && bar->lifecycle == Lifecycle::kAlive &&
          bar->IsVisibleFlag())
        return bar;
    }
  }
  return nullptr;
}

HWND WindowSystem::FrontSoftKeyBar() {
  std::lock_guard lock(mutex_);
  Window* bar = FrontSoftKeyBarLocked();
  return bar ? bar->handle : nullptr;
}

}  // namespace pellix::device::windows
