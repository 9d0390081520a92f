// pellix-device windows: the windows on the device's screen, so that a handle can be found for
// `screenshot --window`.
#include <cstdio>
#include <string>

#include "command.h"
#include "gdi/window_view.h"
#include "kernel/device.h"

#include <windows.h>

namespace pellix::tool {
namespace {

std::string Text(HWND hwnd, bool class_name) {
  WCHAR buffer[256] = {};
  const int n = class_name ? GetClassNameW(hwnd, buffer, 256) : GetWindowTextW(hwnd, buffer, 256);
  std::string text = device::Utf16ToUtf8(std::u16string(buffer, n > 0 ? static_cast<size_t>(n) : 0));
  // One window a line, its fields apart: line breaks and tabs in a title are shown escaped.
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

int Windows(Invocation& inv) {
  if (!ParseArguments(inv)) return kUsageStatus;
  if (!BootImage(inv)) return 1;
  // Bottom to top, as the screen composes them: a parent before its children.
  for (const device::gdi::WindowInfo& w : device::gdi::Windows().VisibleWindows()) {
    const device::gdi::Rect& r = w.window;
    std::printf("0x%llx\t%s\t%s\t%d,%d %dx%d", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w.hwnd)),
                Text(w.hwnd, true).c_str(), Text(w.hwnd, false).c_str(), r.left, r.top, r.Width(), r.Height());
    if (w.parent)
      std::printf("\tchild of 0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(w.parent)));
    std::printf("\n");
  }
  return 0;
}

}  // namespace

PELLIX_COMMAND("windows", "windows",
               "list the windows on the screen: handle, class, title, position and size (for screenshot --window)",
               Windows);

}  // namespace pellix::tool
