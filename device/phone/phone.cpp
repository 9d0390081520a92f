#include "phone/phone.h"

#include <algorithm>
#include <mutex>

#include "inbox/sms_forms.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "kernel/module_loader.h"
#include "shell/app_thread.h"
#include "shell/menu_bar.h"

namespace pellix::device::phone {
namespace {

constexpr int kEndCommand = 1201;

struct Call {
  HWND window = nullptr;
  HWND bar = nullptr;
  std::u16string number;
  std::u16string name;
};

std::mutex g_mutex;  // guards g_call: read from any thread, changed on the application thread
Call g_call;

// A dialable number: digits, a leading "+", and the characters people write between digits.
bool Dialable(std::u16string_view number) {
  if (number.empty() || number.size() > kMaxNumber) return false;
  bool digit = false;
  for (size_t i = 0; i < number.size(); ++i) {
    const char16_t c = number[i];
    if (c >= u'0' && c <= u'9') {
      digit = true;
    } else if (!(c == u'+' && i == 0) && c != u' ' && c != u'-' && c != u'(' && c != u')' && c != u'.' &&
               c != u'*' && c != u'#') {
      return false;
    }
  }
  return digit;
}

void EndCall(HWND hwnd) {
  std::u16string number;
  {
    std::lock_guard lock(g_mutex);
    if (g_call.window != hwnd) return;
    number = g_call.number;
    g_call = Call{};
  }
  Device::Get().journal().Append(journal_kind::kCall, "ended " + Utf16ToUtf8(number));
  DestroyWindow(hwnd);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client{};
  GetClientRect(hwnd, &client);
  Call call;
  {
    std::lock_guard lock(g_mutex);
    call = g_call;
  }
  HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const int line = std::max<int>(1, tm.tmHeight) + 4;
  int y = client.bottom / 4;
  auto centred = [&](const std::u16string& text, COLORREF colour) {
    RECT r{0, y, client.right, y + line};
    SetTextColor(dc, colour);
    DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
    y += line;
  };
  centred(u"Calling...", RGB(0x60, 0x60, 0x60));
  if (!call.name.empty()) centred(call.name, RGB(0, 0, 0));
  centred(call.number, RGB(0, 0, 0));
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_F4) EndCall(hwnd);  // the phone's End key
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == kEndCommand) EndCall(hwnd);
      return 0;
    case WM_CLOSE:
      EndCall(hwnd);
      return 0;
    case WM_DESTROY: {
      HWND bar = nullptr;
      {
        std::lock_guard lock(g_mutex);
        bar = g_call.window == hwnd ? g_call.bar : nullptr;
        if (g_call.window == hwnd) g_call = Call{};
      }
      if (bar && IsWindow(bar)) DestroyWindow(bar);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

HRESULT OpenCallWindow(const std::u16string& number, const std::u16string& name) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(nullptr, kCallWindowClass, &wc)) {
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = CallProc;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kCallWindowClass;
    if (!RegisterClassW(&wc)) return E_FAIL;
  }
  {
    std::lock_guard lock(g_mutex);
    if (g_call.window) return E_FAIL;
    g_call.number = number;
    g_call.name = name;
  }
  const int top = GetSystemMetrics(SM_CYCAPTION);
  const int height = std::max(1, GetSystemMetrics(SM_CYSCREEN) - top - GetSystemMetrics(SM_CYMENU));
  HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, kCallWindowClass, u"Phone", WS_POPUP | WS_VISIBLE, 0, top,
                              GetSystemMetrics(SM_CXSCREEN), height, nullptr, nullptr, nullptr, nullptr);
  if (!hwnd) {
    std::lock_guard lock(g_mutex);
    g_call = Call{};
    return E_FAIL;
  }
  HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, kEndCommand, u"End");
  HWND bar = shell::CreateMenuBarWindow(hwnd, menu, true, true);
  {
    std::lock_guard lock(g_mutex);
    g_call.window = hwnd;
    g_call.bar = bar;
  }
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  return S_OK;
}

const bool kRegistered = RegisterBuiltinLibrary(
    u"cellcore.dll", {.exports = {{"", 110, reinterpret_cast<void*>(&PhoneMakeCall)}}});

}  // namespace

extern "C" LONG PhoneMakeCall(LPCWSTR number, LPCWSTR, LPCWSTR, LPCWSTR) {
  Device* device = Device::Current();
  if (device == nullptr) return E_FAIL;
  // Read at most one character past the limit, so that an unterminated buffer is never overrun.
  std::u16string dialled;
  if (number) {
    for (size_t i = 0; i <= kMaxNumber && number[i]; ++i) dialled.push_back(number[i]);
  }
  if (!Dialable(dialled)) {
    device->journal().Append(journal_kind::kCall, "refused: not a number: " + Utf16ToUtf8(dialled));
    return E_INVALIDARG;
  }
  if (CallWindow()) {
    device->journal().Append(journal_kind::kCall, "refused: a call is in progress: " + Utf16ToUtf8(dialled));
    return E_FAIL;
  }
  const std::u16string name = inbox::ContactNameFor(dialled);
  HRESULT hr = E_FAIL;
  if (!shell::AppThread::Get().Run([&] { hr = OpenCallWindow(dialled, name); }) || FAILED(hr)) return E_FAIL;
  device->journal().Append(journal_kind::kCall, "dialled " + Utf16ToUtf8(dialled) +
                                                    (name.empty() ? "" : " (" + Utf16ToUtf8(name) + ")"));
  return S_OK;
}

HWND CallWindow() {
  std::lock_guard lock(g_mutex);
  return g_call.window;
}

std::u16string CallNumber() {
  std::lock_guard lock(g_mutex);
  return g_call.number;
}

std::u16string CallName() {
  std::lock_guard lock(g_mutex);
  return g_call.name;
}

bool HangUp() {
  HWND window = CallWindow();
  if (!window) return false;
  return shell::AppThread::Get().Run([window] { EndCall(window); });
}

}  // namespace pellix::device::phone
