// coredll: synthesised key strokes and the key state. keybd_event sends key messages to the
// window with the focus (or the active window when nothing has it) through its thread's input
// queue, and journals the stroke.
#include <array>
#include <atomic>

#include "kernel/device.h"
#include "person/person.h"
#include "windows/soft_keys.h"
#include "windows/window_system.h"

namespace {

// Down state of each virtual key, bit 0x80; toggled state, bit 0x01.
std::array<std::atomic<uint8_t>, 256> g_keys{};

}  // namespace

void keybd_event(BYTE vk, BYTE scan, DWORD flags, DWORD) {
  using namespace pellix::device;
  bool up = (flags & KEYEVENTF_KEYUP) != 0;
  if (up) {
    g_keys[vk].fetch_and(static_cast<uint8_t>(~0x80));
  } else {
    uint8_t was = g_keys[vk].fetch_or(0x80);
    if (!(was & 0x80)) g_keys[vk].fetch_xor(0x01);
  }
  if (windows::RouteSoftKey(vk, up)) {
    Device::Get().journal().Append(journal_kind::kInput, std::string("key ") + (up ? "up " : "down ") +
                                                             DescribeKey(vk) + " -> soft key bar");
    return;
  }
  windows::WindowSystem& system = windows::WindowSystem::Get();
  HWND target = system.Focus();
  if (!target) target = system.Active();
  LPARAM lparam = 1 | (static_cast<LPARAM>(scan) << 16);
  if (flags & KEYEVENTF_EXTENDEDKEY) lparam |= LPARAM{1} << 24;
  if (up) lparam |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
  bool delivered = false;
  if (target) {
    Device& device = Device::Get();
    delivered = static_cast<bool>(system.PostInput(target, up ? WM_KEYUP : WM_KEYDOWN, vk, lparam,
                                                   device.clock().TickCount(), POINT{}));
  }
  Device::Get().journal().Append(
      journal_kind::kInput, std::string("key ") + (up ? "up " : "down ") + DescribeKey(vk) +
                                ((flags & KEYEVENTF_EXTENDEDKEY) ? " extended" : "") + " -> " +
                                (delivered ? DescribeWindow(target) : std::string("nobody")));
}

SHORT GetKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  uint8_t state = g_keys[static_cast<size_t>(vk)].load();
  return static_cast<SHORT>(((state & 0x80) ? 0x8000 : 0) | (state & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
  if (vk < 0 || vk > 255) return 0;
  return (g_keys[static_cast<size_t>(vk)].load() & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}
