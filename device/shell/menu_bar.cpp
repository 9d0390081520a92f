#include "shell/menu_bar.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

#include "kernel/device.h"
#include "kernel/platform_error.h"
#include "windows/soft_keys.h"

#include <aygshell.h>
#include <libloader.h>

namespace pellix::device::shell {

namespace {

struct Bar {
  HWND parent = nullptr;
  HMENU menu = nullptr;
  bool owns_menu = false;
};

// Bars by window; the lock guards the map, each bar is changed only on its own thread.
std::mutex g_bars_mutex;
std::map<HWND, Bar> g_bars;

std::optional<Bar> BarOf(HWND hwnd) {
  std::lock_guard lock(g_bars_mutex);
  auto it = g_bars.find(hwnd);
  if (it == g_bars.end()) return std::nullopt;
  return it->second;
}

std::u16string ItemText(HMENU menu, int position) {
  WCHAR text[64] = {};
  if (!menu || GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION) <= 0) return {};
  std::u16string s(text);
  std::erase(s, u'&');
  return s;
}

void Press(HWND hwnd, int which) {
  const auto bar = BarOf(hwnd);
  if (!bar || !bar->menu || which < 0 || which > 1) return;
  // A press that waited in the queue while its window went away acts on nothing.
  if (!IsWindowVisible(bar->parent)) return;
  if (which >= GetMenuItemCount(bar->menu)) return;
  if (HMENU popup = GetSubMenu(bar->menu, which)) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const UINT align = which == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
    const int x = which == 0 ? r.left : r.right;
    TrackPopupMenuEx(popup, align | TPM_BOTTOMALIGN, x, r.top, bar->parent, nullptr);
    return;
  }
  const UINT id = GetMenuItemID(bar->menu, which);
  if (id == static_cast<UINT>(-1) || id == 0) return;
  SendMessageW(bar->parent, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(hwnd));
}

void PaintBar(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (dc) {
    RECT r{};
    GetClientRect(hwnd, &r);
    HBRUSH back = CreateSolidBrush(RGB(0x20, 0x30, 0x60));
    FillRect(dc, &r, back);
    DeleteObject(back);
    const auto bar = BarOf(hwnd);
    if (bar && bar->menu) {
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
      const int pad = 3 * GetSystemMetrics(SM_CXEDGE);
      RECT left = r, right = r;
      left.left += pad;
      left.right = r.right / 2;
      right.left = r.right / 2;
      right.right -= pad;
      const std::u16string l = ItemText(bar->menu, 0), rt = ItemText(bar->menu, 1);
      DrawTextW(dc, l.c_str(), static_cast<int>(l.size()), &left, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
      DrawTextW(dc, rt.c_str(), static_cast<int>(rt.size()), &right, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK MenuBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      PaintBar(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONUP: {
      RECT r{};
      GetClientRect(hwnd, &r);
      Press(hwnd, static_cast<short>(LOWORD(lParam)) < r.right / 2 ? 0 : 1);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_F1 || wParam == VK_F2) Press(hwnd, wParam == VK_F1 ? 0 : 1);
      return 0;
    case kPressSoftKey:
      Press(hwnd, static_cast<int>(wParam));
      return 0;
    case SHCMBM_GETMENU: {
      const auto bar = BarOf(hwnd);
      return reinterpret_cast<LRESULT>(bar ? bar->menu : nullptr);
    }
    case SHCMBM_GETSUBMENU: {
      // lParam names the soft key by its command id, or by its position (0 or 1).
      const auto bar = BarOf(hwnd);
      if (!bar || !bar->menu) return 0;
      const int count = GetMenuItemCount(bar->menu);
      for (int i = 0; i < count; ++i) {
        if (static_cast<LPARAM>(GetMenuItemID(bar->menu, i)) == lParam || i == lParam)
          return reinterpret_cast<LRESULT>(GetSubMenu(bar->menu, i));
      }
      return 0;
    }
    case WM_NCDESTROY: {
      std::optional<Bar> gone;
      {
        std::lock_guard lock(g_bars_mutex);
        if (auto it = g_bars.find(hwnd); it != g_bars.end()) {
          gone = it->second;
          g_bars.erase(it);
        }
      }
      if (gone && gone->owns_menu && gone->menu) DestroyMenu(gone->menu);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool RegisterBarClass() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = MenuBarProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = MENUBAR_CLASSNAME;
    if (RegisterClassW(&wc) == 0) return false;
    // From now on the soft keys act on the bar on screen; with none shown they stay keys.
    windows::SetSoftKeyHandler([](int which, bool up) {
      HWND bar = SoftKeyBar();
      if (!bar) return false;
      if (!up) PressSoftKey(which, bar);
      return true;
    });
    return true;
  }();
  return registered;
}

}  // namespace

HWND CreateMenuBarWindow(HWND parent, HMENU menu, bool owns_menu, bool visible) {
  if (!RegisterBarClass() || !IsWindow(parent)) return nullptr;
  // The bar covers the desktop's soft-key bar exactly: both are SM_CYMENU high.
  const int height = GetSystemMetrics(SM_CYMENU);
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, MENUBAR_CLASSNAME, u"", WS_POPUP, 0,
                              GetSystemMetrics(SM_CYSCREEN) - height, GetSystemMetrics(SM_CXSCREEN), height,
                              parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) return nullptr;
  if (!windows::MarkSoftKeyBar(hwnd)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  {
    std::lock_guard lock(g_bars_mutex);
    g_bars[hwnd] = Bar{parent, menu, owns_menu};
  }
  if (visible) ShowWindow(hwnd, SW_SHOW);
  return hwnd;
}

HWND SoftKeyBar() { return windows::FrontSoftKeyBar(); }

bool PressSoftKey(int which, HWND bar) {
  if (!bar) bar = SoftKeyBar();
  if (!bar || !BarOf(bar)) return false;
  return PostMessageW(bar, kPressSoftKey, static_cast<WPARAM>(which), 0) != FALSE;
}

std::u16string SoftKeyText(HWND bar, int which) {
  const auto b = BarOf(bar);
  return b ? ItemText(b->menu, which) : std::u16string();
}

}  // namespace pellix::device::shell

BOOL SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  using pellix::device::SetPlatformError;
  if (!pmbi || pmbi->cbSize < 36 || !pmbi->hwndParent) {
    SetPlatformError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pmbi->hwndMB = nullptr;
  HMENU menu = nullptr;
  if (!(pmbi->dwFlags & SHCMBF_EMPTYBAR)) {
    // Without SHCMBF_HMENU the id names a toolbar resource; the device keeps both as menus.
    menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
    if (!menu) return FALSE;
  }
  HWND bar = pellix::device::shell::CreateMenuBarWindow(pmbi->hwndParent, menu, true,
                                                        !(pmbi->dwFlags & SHCMBF_HIDDEN));
  if (!bar) {
    if (menu) DestroyMenu(menu);
    return FALSE;
  }
  pmbi->hwndMB = bar;
  return TRUE;
}
