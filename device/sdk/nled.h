// Notification LEDs: the handheld's LEDs and its vibrator, which the platform lists as an LED.
#pragma once

#include "windef.h"

#define NLED_COUNT_INFO_ID 0
#define NLED_SUPPORTS_INFO_ID 1
#define NLED_SETTINGS_INFO_ID 2

struct NLED_COUNT_INFO {
  UINT cLeds;
};

struct NLED_SUPPORTS_INFO {
  UINT LedNum;
  LONG lCycleAdjust;  // -1 marks the vibrator
  BOOL fAdjustTotalCycleTime;
  BOOL fAdjustOnTime;
  BOOL fAdjustOffTime;
  BOOL fMetaCycleOn;
  BOOL fMetaCycleOff;
};

struct NLED_SETTINGS_INFO {
  UINT LedNum;
  INT OffOnBlink;  // 0 off, 1 on, 2 blink
  LONG TotalCycleTime;
  LONG OnTime;
  LONG OffTime;
  INT MetaCycleOn;
  INT MetaCycleOff;
};

// nInfoId NLED_COUNT_INFO_ID fills an NLED_COUNT_INFO; NLED_SUPPORTS_INFO_ID an
// NLED_SUPPORTS_INFO whose LedNum the caller set. FALSE for an unknown id or LED.
BOOL NLedGetDeviceInfo(UINT nInfoId, void* pOutput);
// nInfoId NLED_SETTINGS_INFO_ID: switches the LED named by LedNum.
BOOL NLedSetDevice(UINT nDeviceId, void* pInput);
