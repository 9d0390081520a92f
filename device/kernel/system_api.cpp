// coredll: system metrics and parameters from the device's profile; the power manager.
#include <cstring>

#include "kernel/device.h"
#include "kernel/power.h"
#include "pm.h"
#include "windows.h"

using namespace pellix::device;

namespace {

// Sizes of the platform's standard elements at 96 dots per inch; they scale with the screen.
int Scaled(int at96) {
  int dpi = Device::Get().profile().dpi;
  return at96 * dpi / 96;
}

}  // namespace

int GetSystemMetrics(int index) {
  const Profile& p = Device::Get().profile();
  switch (index) {
    case SM_CXSCREEN: return p.screen_width;
    case SM_CYSCREEN: return p.screen_height;
    case SM_CXFULLSCREEN: return p.screen_width;
    case SM_CYFULLSCREEN: return p.screen_height - Scaled(26) - Scaled(26);
    case SM_CXVSCROLL: case SM_CYHSCROLL: return Scaled(13);
    case SM_CYVSCROLL: case SM_CXHSCROLL: return Scaled(13);
    case SM_CYCAPTION: return Scaled(26);
    case SM_CYMENU: return Scaled(26);
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return Scaled(3);
    case SM_CXEDGE: case SM_CYEDGE: return Scaled(2);
    case SM_CXICON: case SM_CYICON: return Scaled(32);
    case SM_CXSMICON: case SM_CYSMICON: return Scaled(16);
    case SM_CXCURSOR: case SM_CYCURSOR: return Scaled(32);
    case SM_CXICONSPACING: case SM_CYICONSPACING: return Scaled(75);
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: return Scaled(4);
    case SM_DEBUG: return 0;
    default: return 0;
  }
}

BOOL SystemParametersInfoW(UINT action, UINT uiParam, PVOID pvParam, UINT) {
  const Profile& p = Device::Get().profile();
  switch (action) {
    case SPI_GETPLATFORMTYPE:
    case SPI_GETOEMINFO: {
      std::u16string text = action == SPI_GETPLATFORMTYPE ? Utf8ToUtf16(p.platform)
                                                          : std::u16string(u"Pellix Device");
      size_t bytes = (text.size() + 1) * sizeof(WCHAR);
      if (!pvParam || uiParam < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
      }
      std::memcpy(pvParam, text.c_str(), bytes);
      return TRUE;
    }
    case SPI_GETWORKAREA: {
      if (!pvParam) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      // Below the title bar; the menu bar belongs to each application's window.
      RECT* r = static_cast<RECT*>(pvParam);
      *r = RECT{0, GetSystemMetrics(SM_CYCAPTION), p.screen_width, p.screen_height};
      return TRUE;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}

BOOL PowerPolicyNotify(DWORD message, DWORD data) {
  PowerManager& power = Device::Get().Component<PowerManager>();
  if (message == PPN_UNATTENDEDMODE) {
    power.SetUnattended(data != 0);
    return TRUE;
  }
  if (message == PPN_REEVALUATESTATE || message == PPN_POWERCHANGE ||
      message == PPN_SUSPENDKEYPRESSED || message == PPN_POWERBUTTONPRESSED ||
      message == PPN_APPBUTTONPRESSED) {
    Device::Get().journal().Append(journal_kind::kPower, "policy notify " + std::to_string(message));
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

void SystemIdleTimerReset() { Device::Get().Component<PowerManager>().ResetIdleTimer(); }

HANDLE SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG, PVOID, ULONG) {
  if (!device || state < D0 || state > D4) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string name = Utf16ToUtf8(static_cast<const WCHAR*>(device));
  return reinterpret_cast<HANDLE>(Device::Get().Component<PowerManager>().SetRequirement(name, state));
}

DWORD ReleasePowerRequirement(HANDLE requirement) {
  bool released = Device::Get().Component<PowerManager>().ReleaseRequirement(
      reinterpret_cast<uintptr_t>(requirement));
  return released ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
