// ShellExecuteEx: every launch is journalled with its file; a web address opens the device's
// browser, a window on the shell's thread that shows the address.
#include <string>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "kernel/platform_error.h"
#include "shell/notification_manager.h"

#include <htmlctrl.h>
#include <libloader.h>
#include <shellapi.h>

namespace pellix::device::shell {

namespace {

constexpr WCHAR kBrowserClass[] = u"PELLIXBROWSER";

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (a != b) return false;
  }
  return true;
}

LRESULT CALLBACK BrowserProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE: {
      if (HWND view = GetWindow(hwnd, GW_CHILD)) MoveWindow(view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    }
    case WM_NOTIFY: {
      // The browser has no pictures to give.
      const auto* nm = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
      if (nm && nm->hdr.code == NM_INLINE_IMAGE)
        SendMessageW(nm->hdr.hwndFrom, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(nm->dwCookie));
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

std::u16string Escaped(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    if (c == u'<') out += u"&lt;";
    else if (c == u'>') out += u"&gt;";
    else if (c == u'&') out += u"&amp;";
    else if (c == u'"') out += u"&quot;";
    else out += c;
  }
  return out;
}

void OpenBrowser(std::u16string address) {
  static const bool registered = [] {
    InitHTMLControl(GetModuleHandleW(nullptr));
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = BrowserProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kBrowserClass;
    return RegisterClassW(&wc) != 0;
  }();
  if (!registered) return;
  const Profile& profile = Device::Get().profile();
  HWND window = CreateWindowExW(0, kBrowserClass, address.c_str(), WS_POPUP | WS_VISIBLE, 0, 0,
                                profile.screen_width, profile.screen_height, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (!window) return;
  HWND view = CreateWindowExW(0, DISPLAYCLASS, u"", WS_CHILD | WS_VISIBLE, 0, 0, profile.screen_width,
                              profile.screen_height, window, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!view) return;
  const std::u16string page = u"<html><body><p><b>" + Escaped(address) + u"</b></p></body></html>";
  SendMessageW(view, DTM_CLEAR, 0, 0);
  SendMessageW(view, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(page.c_str()));
  SendMessageW(view, DTM_ENDOFSOURCE, 0, 0);
  SetForegroundWindow(window);
}

}  // namespace

bool IsWebAddress(std::u16string_view file) {
  return StartsWithIgnoringCase(file, u"http://") || StartsWithIgnoringCase(file, u"https://") ||
         StartsWithIgnoringCase(file, u"www.");
}

HWND BrowserWindow() { return FindWindowW(kBrowserClass, nullptr); }

}  // namespace pellix::device::shell

BOOL ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  using namespace pellix::device;
  if (!info || info->cbSize < 60 || !info->lpFile || !*info->lpFile) {
    SetPlatformError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Device& device = Device::Get();
  const std::u16string file = info->lpFile;
  const std::u16string parameters = info->lpParameters ? info->lpParameters : u"";
  info->hProcess = nullptr;
  if (shell::IsWebAddress(file)) {
    device.journal().Append(journal_kind::kLaunch, "browser " + Utf16ToUtf8(file));
    device.Component<shell::NotificationManager>().Post([file] { shell::OpenBrowser(file); });
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
    return TRUE;
  }
  // Anything else must be a file of the device.
  std::error_code ec;
  const auto host = device.image().MapPath(file);
  if (!host.ok() || !std::filesystem::exists(host.value(), ec)) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(SE_ERR_FNF));
    SetPlatformError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  std::string line = "open " + Utf16ToUtf8(file);
  if (!parameters.empty()) line += " " + Utf16ToUtf8(parameters);
  device.journal().Append(journal_kind::kLaunch, line);
  info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
  return TRUE;
}
