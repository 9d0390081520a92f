#include "windows/soft_keys.h"

#include <mutex>

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

}  // namespace pellix::device::windows
