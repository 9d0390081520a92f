#include "shell/title_bar.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "gdi/device_context.h"
#include "gdi/gdi_objects.h"
#include "kernel/device.h"
#include "kernel/icons.h"
#include "shell/notification_manager.h"

#include <libloader.h>

namespace pellix::device::shell {

namespace {

constexpr WCHAR kStripClass[] = u"SHTITLEICONS";
// Sizes follow the system metrics, so the strip matches the desktop's title bar at every dpi.
int IconSize() { return GetSystemMetrics(SM_CXSMICON); }
int Slot() { return IconSize() + 2 * GetSystemMetrics(SM_CXBORDER); }  // one icon's place
// Room kept free for the signal bars and the battery at the right end of the title bar.
int RightReserve() { return GetSystemMetrics(SM_CXICON) + GetSystemMetrics(SM_CXSMICON) + 2 * GetSystemMetrics(SM_CXEDGE); }

std::atomic<HWND> g_strip{nullptr};

struct StripState {
  NotificationManager* manager = nullptr;
  std::vector<Notification> listed;
};
std::mutex g_state_mutex;
StripState g_state;  // the strip's, read and written on the manager's thread

LRESULT CALLBACK StripProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        RECT r{};
        GetClientRect(hwnd, &r);
        HBRUSH back = CreateSolidBrush(RGB(0x13, 0x3C, 0x8B));
        FillRect(dc, &r, back);
        DeleteObject(back);
        std::lock_guard lock(g_state_mutex);
        const int icon = IconSize(), slot = Slot(), top = (r.bottom - icon) / 2;
        for (size_t i = 0; i < g_state.listed.size(); ++i)
          DrawIconInto(dc, g_state.listed[i].icon, static_cast<int>(i) * slot + 1, top, icon);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONUP: {
      const int slot = static_cast<short>(LOWORD(lParam)) / Slot();
      NotificationKey key;
      NotificationManager* manager = nullptr;
      {
        std::lock_guard lock(g_state_mutex);
        if (slot < 0 || static_cast<size_t>(slot) >= g_state.listed.size()) return 0;
        key = g_state.listed[static_cast<size_t>(slot)].key;
        manager = g_state.manager;
      }
      if (manager) manager->Redisplay(key);
      return 0;
    }
    case WM_NCDESTROY:
      g_strip.store(nullptr);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

void DrawIconInto(HDC dc, HICON icon, int x, int y, int size) {
  std::shared_ptr<const IconImage> image = icon ? Device::Get().Component<IconTable>().Find(icon) : nullptr;
  const bool usable = image && image->width > 0 && image->height > 0 &&
                      image->pixels.size() >= static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
  gdi::GdiTable& table = gdi::Gdi();
  std::lock_guard lock(table.mutex());
  gdi::DeviceContext* context = table.FindDC(dc);
  if (!context) return;
  std::optional<gdi::DrawTarget> target = context->BeginDraw();
  if (!target) return;
  for (int row = 0; row < size; ++row) {
    const int ty = target->origin_y + y + row;
    for (int col = 0; col < size; ++col) {
      const int tx = target->origin_x + x + col;
      if (!target->clip.Contains(tx, ty) || !target->surface->bounds().Contains(tx, ty)) continue;
      if (!usable) {
        if (row == 0 || col == 0 || row == size - 1 || col == size - 1) target->surface->Set(tx, ty, 0xFFFFFF);
        continue;
      }
      const int sy = row * image->height / size, sx = col * image->width / size;
      const uint32_t argb = image->pixels[static_cast<size_t>(sy) * static_cast<size_t>(image->width) + sx];
      const uint32_t a = argb >> 24;
      if (a == 0) continue;
      const gdi::Pixel under = target->surface->At(tx, ty);
      auto mix = [a](uint32_t over, uint32_t back) { return (over * a + back * (255 - a) + 127) / 255; };
      target->surface->Set(tx, ty,
                           (mix((argb >> 16) & 0xFF, (under >> 16) & 0xFF) << 16) |
                               (mix((argb >> 8) & 0xFF, (under >> 8) & 0xFF) << 8) | mix(argb & 0xFF, under & 0xFF));
    }
  }
  context->EndDraw(*target);
}

void TitleBarIcons::Refresh() {
  std::vector<Notification> listed = manager_.TitleBar();
  std::vector<DWORD> ids;
  for (const Notification& n : listed) ids.push_back(n.key.id);
  if (ids == shown_ids_ && (window_ != nullptr) == !ids.empty()) return;
  shown_ids_ = ids;
  {
    std::lock_guard lock(g_state_mutex);
    g_state.manager = &manager_;
    g_state.listed = std::move(listed);
  }
  if (ids.empty()) {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    return;
  }
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = StripProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kStripClass;
    return RegisterClassW(&wc) != 0;
  }();
  if (!registered) return;
  const int width = static_cast<int>(ids.size()) * Slot();
  const int height = std::max(1, GetSystemMetrics(SM_CYCAPTION));
  const int x = std::max(0, GetSystemMetrics(SM_CXSCREEN) - RightReserve() - width);
  if (!window_ || !IsWindow(window_)) {
    window_ = CreateWindowExW(WS_EX_TOPMOST, kStripClass, u"", WS_POPUP, x, 0, width, height, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (!window_) return;
    g_strip.store(window_);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
  } else {
    MoveWindow(window_, x, 0, width, height, FALSE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

HWND TitleBarStrip() { return g_strip.load(); }

}  // namespace pellix::device::shell
