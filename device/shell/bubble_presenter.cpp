// The platform's own notification bubble, for sinks that do not show a notification
// themselves: a window at the top of the screen with the title, the HTML through an HTML view
// and the request's soft keys in a menu bar. It lives on the manager's thread.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "gdi/device_context.h"
#include "gdi/gdi_objects.h"
#include "kernel/device.h"
#include "kernel/icons.h"
#include "shell/menu_bar.h"
#include "shell/notification_manager.h"
#include "shell/platform_bubble.h"
#include "shell/title_bar.h"

#include <aygshell.h>
#include <htmlctrl.h>
#include <libloader.h>

namespace pellix::device::shell {

namespace {

constexpr WCHAR kBubbleClass[] = u"SHNOTIFICATIONBUBBLE";

// The bubble's chrome follows the system metrics, so it keeps its proportions at every dots
// per inch: it hangs below the title bar, its caption holds a small icon with an edge above and
// below, and its close box is a square at the caption's right end.
int IconSize() { return GetSystemMetrics(SM_CXSMICON); }
int CaptionHeight() { return GetSystemMetrics(SM_CYSMICON) + 2 * GetSystemMetrics(SM_CYEDGE); }
int BubbleTop() { return GetSystemMetrics(SM_CYCAPTION); }
int Padding() { return GetSystemMetrics(SM_CXEDGE) * 2; }
// The smallest body: two lines of the HTML view's normal text.
int MinBody() { return 2 * GetSystemMetrics(SM_CYSMICON) + 2 * GetSystemMetrics(SM_CYEDGE) * 2; }

RECT CloseBox(const RECT& client) {
  const int side = CaptionHeight();
  return RECT{client.right - side, 0, client.right, side};
}

struct BubbleState {
  Notification notification;
  NotificationManager* manager = nullptr;
  HWND view = nullptr;
  HWND bar = nullptr;
};

std::mutex g_bubble_mutex;
std::map<HWND, std::shared_ptr<BubbleState>> g_bubbles;
HWND g_current = nullptr;

std::shared_ptr<BubbleState> StateOf(HWND hwnd) {
  std::lock_guard lock(g_bubble_mutex);
  auto it = g_bubbles.find(hwnd);
  return it == g_bubbles.end() ? nullptr : it->second;
}

void SendToSink(const BubbleState& s, UINT code, LPCWSTR link = nullptr) {
  if (!s.notification.sink || !IsWindow(s.notification.sink)) return;
  NMSHN nm{};
  nm.hdr.hwndFrom = nullptr;
  nm.hdr.idFrom = s.notification.key.id;
  nm.hdr.code = code;
  nm.lParam = s.notification.lparam;
  nm.pszLink = link;
  SendMessageW(s.notification.sink, WM_NOTIFY, s.notification.key.id, reinterpret_cast<LPARAM>(&nm));
}

// The person closed the bubble: the sink hears of it and the notification goes to the title bar.
void Dismiss(HWND hwnd, const BubbleState& s) {
  SendToSink(s, SHNN_DISMISS);
  s.manager->Conclude(s.notification.key);
  ShowWindow(hwnd, SW_HIDE);
  if (s.bar) ShowWindow(s.bar, SW_HIDE);
}

void Command(HWND hwnd, const BubbleState& s, WPARAM command) {
  if (s.notification.sink) {
    PostMessageW(s.notification.sink, WM_COMMAND, MAKEWPARAM(LOWORD(command), 0),
                 static_cast<LPARAM>(s.notification.key.id));
  }
  DWORD flags = NOTIF_SOFTKEY_FLAGS_DISMISS;
  for (const SoftKeyCommand& key : s.notification.soft_keys) {
    if (LOWORD(key.command) == LOWORD(command)) flags = key.flags;
  }
  if (flags & NOTIF_SOFTKEY_FLAGS_STAYOPEN) return;
  if (flags & NOTIF_SOFTKEY_FLAGS_HIDE) {
    s.manager->Conclude(s.notification.key);
    return;
  }
  Dismiss(hwnd, s);
}

LRESULT CALLBACK BubbleProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto state = StateOf(hwnd);
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc && state) {
        RECT r{};
        GetClientRect(hwnd, &r);
        const int caption_height = CaptionHeight(), icon = IconSize(), pad = Padding();
        RECT caption = r;
        caption.bottom = caption_height;
        HBRUSH brush = CreateSolidBrush(RGB(0x20, 0x30, 0x60));
        FillRect(dc, &caption, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
        RECT close = CloseBox(r);
        DrawTextW(dc, u"x", 1, &close, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        RECT title = caption;
        title.left += pad;
        if (state->notification.icon) {
          DrawIconInto(dc, state->notification.icon, title.left, (caption_height - icon) / 2, icon);
          title.left += icon + pad;
        }
        // A long title ends in "..." before the close box rather than running under it.
        title.right = close.left - pad;
        const std::u16string& text = state->notification.title;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &title,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONUP:
      // The cross in the caption's right corner dismisses the bubble.
      if (state) {
        RECT r{};
        GetClientRect(hwnd, &r);
        const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const RECT close = CloseBox(r);
        if (PtInRect(&close, p)) Dismiss(hwnd, *state);
      }
      return 0;
    case WM_COMMAND:
      if (state) Command(hwnd, *state, wParam);
      return 0;
    case WM_NOTIFY: {
      const auto* nm = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
      if (!state || !nm) return 0;
      if (nm->hdr.code == NM_INLINE_IMAGE) {
        SendMessageW(nm->hdr.hwndFrom, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(nm->dwCookie));
        return 1;
      }
      if (nm->hdr.code == NM_HOTSPOT && nm->szTarget) {
        const std::u16string target = nm->szTarget;
        if (target.rfind(u"cmd:", 0) == 0) {
          Command(hwnd, *state, static_cast<WPARAM>(wcstol(target.c_str() + 4, nullptr, 10)));
        } else {
          SendToSink(*state, SHNN_LINKSEL, target.c_str());
        }
      }
      return 0;
    }
    case WM_NCDESTROY: {
      std::lock_guard lock(g_bubble_mutex);
      g_bubbles.erase(hwnd);
      if (g_current == hwnd) g_current = nullptr;
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool RegisterBubbleClass() {
  static const bool registered = [] {
    InitHTMLControl(GetModuleHandleW(nullptr));
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = BubbleProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kBubbleClass;
    return RegisterClassW(&wc) != 0;
  }();
  return registered;
}

HMENU MenuFor(const Notification& n) {
  // A request with a soft-key menu shows it; otherwise its two titled soft keys.
  if (n.soft_key_menu) return n.soft_key_menu;
  HMENU menu = CreateMenu();
  for (int i = 0; i < NOTIF_NUM_SOFTKEYS; ++i) {
    if (n.soft_key_titles[i].empty()) continue;
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(LOWORD(n.soft_keys[i].command)), n.soft_key_titles[i].c_str());
  }
  if (GetMenuItemCount(menu) == 0) {
    DestroyMenu(menu);
    return nullptr;
  }
  return menu;
}

class WindowPresenter : public NotificationPresenter {
 public:
  explicit WindowPresenter(NotificationManager& manager) : manager_(manager), title_bar_(manager) {}

  void Show(const Notification& n) override {
    if (n.sink && IsWindow(n.sink)) {
      NMSHN nm{};
      nm.hdr.idFrom = n.key.id;
      nm.hdr.code = SHNN_SHOW;
      nm.lParam = n.lparam;
      if (SendMessageW(n.sink, WM_NOTIFY, n.key.id, reinterpret_cast<LPARAM>(&nm)) != 0) return;
    }
    if (!RegisterBubbleClass()) return;
    const int width = GetSystemMetrics(SM_CXSCREEN), caption = CaptionHeight(), top = BubbleTop();
    // The bubble never reaches the soft-key bar, and fits its text up to half the screen.
    const int max_body = std::max(MinBody(), std::min(GetSystemMetrics(SM_CYSCREEN) / 2,
                                                      GetSystemMetrics(SM_CYSCREEN) - top - caption -
                                                          GetSystemMetrics(SM_CYMENU)));
    auto state = std::make_shared<BubbleState>();
    state->notification = n;
    state->manager = &manager_;
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, kBubbleClass, n.title.c_str(), WS_POPUP, 0, top, width,
                                caption + MinBody(), nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return;
    {
      std::lock_guard lock(g_bubble_mutex);
      g_bubbles[hwnd] = state;
      g_current = hwnd;
    }
    state->view = CreateWindowExW(0, DISPLAYCLASS, u"", WS_CHILD | WS_VISIBLE, 0, caption, width, MinBody(), hwnd,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (state->view) {
      SendMessageW(state->view, DTM_CLEAR, 0, 0);
      SendMessageW(state->view, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(n.html.c_str()));
      SendMessageW(state->view, DTM_ENDOFSOURCE, 0, 0);
      const int body =
          std::clamp(static_cast<int>(SendMessageW(state->view, DTM_LAYOUTHEIGHT, 0, 0)), MinBody(), max_body);
      MoveWindow(hwnd, 0, top, width, caption + body, FALSE);
      MoveWindow(state->view, 0, caption, width, body, FALSE);
    }
    if (HMENU menu = MenuFor(n)) state->bar = CreateMenuBarWindow(hwnd, menu, menu != n.soft_key_menu, true);
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
  }

  void Hide(const Notification& n) override {
    std::vector<HWND> gone;
    {
      std::lock_guard lock(g_bubble_mutex);
      for (const auto& [hwnd, state] : g_bubbles) {
        if (state->notification.key == n.key) gone.push_back(hwnd);
      }
    }
    for (HWND hwnd : gone) {
      if (auto state = StateOf(hwnd); state && state->bar) DestroyWindow(state->bar);
      DestroyWindow(hwnd);
    }
  }

  void Pump() override {
    title_bar_.Refresh();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }

 private:
  NotificationManager& manager_;
  TitleBarIcons title_bar_;
};

}  // namespace

std::shared_ptr<NotificationPresenter> MakeWindowPresenter(NotificationManager& manager) {
  return std::make_shared<WindowPresenter>(manager);
}

HWND PlatformBubble() {
  std::lock_guard lock(g_bubble_mutex);
  return g_current;
}

}  // namespace pellix::device::shell
