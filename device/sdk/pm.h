// The power manager: unattended mode, the idle timer and device power requirements.
#pragma once

#include "windef.h"

typedef enum _CEDEVICE_POWER_STATE {
  PwrDeviceUnspecified = -1,
  D0 = 0,  // full on
  D1 = 1,
  D2 = 2,
  D3 = 3,
  D4 = 4,  // off
  PwrDeviceMaximum = 5
} CEDEVICE_POWER_STATE;

#define POWER_NAME 0x00000001
#define POWER_FORCE 0x00001000

#define PPN_REEVALUATESTATE 1
#define PPN_POWERCHANGE 2
#define PPN_UNATTENDEDMODE 3
#define PPN_SUSPENDKEYPRESSED 4
#define PPN_POWERBUTTONPRESSED 5
#define PPN_APPBUTTONPRESSED 7

BOOL PowerPolicyNotify(DWORD message, DWORD data);
void SystemIdleTimerReset();
// Returns a handle to release with ReleasePowerRequirement, or null.
HANDLE SetPowerRequirement(PVOID device, CEDEVICE_POWER_STATE state, ULONG flags, PVOID system,
                           ULONG reserved);
DWORD ReleasePowerRequirement(HANDLE requirement);
