// aygshell.dll: the activation helpers (ordinals 83 and 84), SHInitExtraControls, and the
// library registration that lets programs reach these by name or ordinal.
#include "kernel/module_loader.h"

#include <aygshell.h>

BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* psai, DWORD) {
  if (!hwnd || !psai) return FALSE;
  if (LOWORD(wParam) == WA_INACTIVE) {
    // Remember which of the window's controls had the focus, to give it back on return.
    HWND focus = GetFocus();
    if (focus && (focus == hwnd || IsChild(hwnd, focus))) psai->hwndLastFocus = focus;
    psai->fActive = 0;
    return TRUE;
  }
  psai->fActive = 1;
  if (psai->hwndLastFocus && IsWindow(psai->hwndLastFocus) &&
      (psai->hwndLastFocus == hwnd || IsChild(hwnd, psai->hwndLastFocus))) {
    SetFocus(psai->hwndLastFocus);
  }
  return TRUE;
}

BOOL SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* psai) {
  if (!hwnd || !psai) return FALSE;
  // The device has no input panel, so only a screen reset concerns a window: the caller lays
  // itself out again, and nothing is moved here.
  return wParam == SETTINGCHANGE_RESET ? TRUE : FALSE;
}

BOOL SHInitExtraControls() { return TRUE; }

namespace {

const bool kRegistered = [] {
  pellix::device::BuiltinLibrary library;
  library.exports = {
      {"SHHandleWMSettingChange", 83, reinterpret_cast<void*>(&SHHandleWMSettingChange)},
      {"SHHandleWMActivate", 84, reinterpret_cast<void*>(&SHHandleWMActivate)},
      {"SHInitExtraControls", 0, reinterpret_cast<void*>(&SHInitExtraControls)},
      {"SHCreateMenuBar", 0, reinterpret_cast<void*>(&SHCreateMenuBar)},
      {"SHNotificationAdd", 0, reinterpret_cast<void*>(&SHNotificationAdd)},
      {"SHNotificationUpdate", 0, reinterpret_cast<void*>(&SHNotificationUpdate)},
      {"SHNotificationRemove", 0, reinterpret_cast<void*>(&SHNotificationRemove)},
      {"SHNotificationGetData", 0, reinterpret_cast<void*>(&SHNotificationGetData)},
  };
  return pellix::device::RegisterBuiltinLibrary(u"aygshell.dll", std::move(library));
}();

}  // namespace
