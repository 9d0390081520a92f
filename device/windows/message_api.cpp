// coredll: messages, queues, timers and the default window procedure.
#include <algorithm>
#include <cstring>

#include "kernel/thread_id.h"
#include "windows/nonclient.h"
#include "windows/window_system.h"

using pellix::device::windows::HitTestWindow;
using pellix::device::windows::MessageFilter;
using pellix::device::windows::WindowSystem;

namespace {

WindowSystem& System() { return WindowSystem::Get(); }

// The last message this thread retrieved, for GetMessagePos and GetMessageTime.
thread_local MSG t_last_message{};

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

bool ValidFilterWindow(HWND hwnd) {
  return hwnd == nullptr || hwnd == kThreadMessagesOnly || System().IsWindow(hwnd);
}

// The character a key makes on the handheld's keyboard, or 0.
WCHAR CharacterOf(WPARAM vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<WCHAR>(shift ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return static_cast<WCHAR>(vk);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return static_cast<WCHAR>('0' + vk - VK_NUMPAD0);
  switch (vk) {
    case VK_SPACE: return u' ';
    case VK_RETURN: return u'\r';
    case VK_BACK: return u'\b';
    case VK_TAB: return u'\t';
    case VK_ESCAPE: return 0x1B;
    case VK_MULTIPLY: return u'*';
    case VK_ADD: return u'+';
    case VK_SUBTRACT: return u'-';
    case VK_DECIMAL: return u'.';
    case VK_DIVIDE: return u'/';
    default: return 0;
  }
}

}  // namespace

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!System().IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return System().Send(hwnd, message, wparam, lparam);
}

BOOL SendNotifyMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto status = System().SendNotify(hwnd, message, wparam, lparam);
  if (!status) SetLastError(static_cast<DWORD>(status.error().code));
  return status ? TRUE : FALSE;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto status = System().Post(hwnd, message, wparam, lparam);
  if (!status) SetLastError(static_cast<DWORD>(status.error().code));
  return status ? TRUE : FALSE;
}

BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wparam, LPARAM lparam) {
  auto status = System().PostToThread(thread, message, wparam, lparam);
  if (!status) SetLastError(static_cast<DWORD>(status.error().code));
  return status ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT min, UINT max) {
  if (!msg || !ValidFilterWindow(hwnd)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return -1;
  }
  System().Retrieve(msg, MessageFilter{hwnd, min, max}, true, true);
  t_last_message = *msg;
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT min, UINT max, UINT remove) {
  if (!msg || !ValidFilterWindow(hwnd)) {
    SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!System().Retrieve(msg, MessageFilter{hwnd, min, max}, (remove & PM_REMOVE) != 0, false))
    return FALSE;
  t_last_message = *msg;
  return TRUE;
}

BOOL WaitMessage() {
  System().WaitForMessages(std::nullopt);
  return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  if (WCHAR c = CharacterOf(msg->wParam, shift))
    PostMessageW(msg->hwnd, msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, c, msg->lParam);
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  return System().Dispatch(*msg);
}

void PostQuitMessage(int code) { System().PostQuit(code); }

BOOL InSendMessage() { return System().InSend() ? TRUE : FALSE; }

DWORD GetQueueStatus(UINT flags) {
  DWORD status = System().QueueStatus() & flags;
  return MAKELONG(status, status);
}

DWORD GetMessagePos() {
  return static_cast<DWORD>(MAKELONG(t_last_message.pt.x, t_last_message.pt.y));
}

LONG GetMessageTime() { return static_cast<LONG>(t_last_message.time); }

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  auto result = System().SetTimer(hwnd, id, elapse, proc);
  if (!result) {
    SetLastError(static_cast<DWORD>(result.error().code));
    return 0;
  }
  return *result;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) { return System().KillTimer(hwnd, id) ? TRUE : FALSE; }

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  return proc ? proc(hwnd, message, wparam, lparam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowSystem& system = System();
  switch (message) {
    case WM_SETTEXT: {
      auto* text = reinterpret_cast<const WCHAR*>(lparam);
      return system.With(hwnd, [&](auto& w) { w.text = text ? text : u""; }) ? TRUE : FALSE;
    }
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<WCHAR*>(lparam);
      if (!out || wparam == 0) return 0;
      auto text = system.Text(hwnd);
      if (!text) return 0;
      size_t n = std::min(text->size(), static_cast<size_t>(wparam) - 1);
      std::memcpy(out, text->data(), n * sizeof(WCHAR));
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      auto text = system.Text(hwnd);
      return text ? static_cast<LRESULT>(text->size()) : 0;
    }
    case WM_PAINT:
      // Nothing to draw: the area counts as painted.
      system.TakeUpdate(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_NCHITTEST:
      return HitTestWindow(hwnd, POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
    case WM_NCLBUTTONUP:
      // The close box closes the window when the stylus leaves it there.
      if (wparam == HTCLOSE && (GetWindowLongW(hwnd, GWL_STYLE) & WS_SYSMENU))
        SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, lparam);
      return 0;
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == SC_CLOSE) SendMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_ACTIVATE:
      // The notice may be read after another window has become active (this thread was busy):
      // taking the focus then would take the activation back from that window.
      if (LOWORD(wparam) != WA_INACTIVE && system.Active() == hwnd) {
        HWND focus = system.Focus();
        if (focus != hwnd && !system.IsDescendant(hwnd, focus)) system.SetFocus(hwnd);
      }
      return 0;
    case WM_WINDOWPOSCHANGED: {
      auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
      if (!pos) return 0;
      if (!(pos->flags & SWP_NOSIZE)) {
        RECT client{};
        GetClientRect(hwnd, &client);
        SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
      }
      if (!(pos->flags & SWP_NOMOVE)) {
        POINT origin{};
        ClientToScreen(hwnd, &origin);
        if (HWND parent = GetParent(hwnd); parent && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
          ScreenToClient(parent, &origin);
        SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
      }
      return 0;
    }
    case WM_CANCELMODE:
      if (system.Capture() == hwnd) system.SetCapture(nullptr);
      return 0;
    case WM_MOUSEACTIVATE:
      return 1;  // MA_ACTIVATE
    default:
      return 0;
  }
}
