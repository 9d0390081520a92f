// The settings record: process-wide configuration read from
// HKEY_CURRENT_USER\Software\Halvane Quorrin Softwares\Pellix. Only GetSettings writes it;
// every other part of the module reads the fields directly.
#pragma once

#include <windows.h>

struct PELLIXSETTINGS {
  // Each numeric field is one aligned 32-bit word, written in one store, so readers on other
  // threads never see a torn value.
  DWORD Enabled;
  DWORD DeliveryFix;
  DWORD OriginalNotification;
  DWORD SoundEnabled;
  DWORD DebugLogging;
  DWORD Animation;
  DWORD EnhanceComposeForm;
  DWORD NotificationReplyDefault;
  DWORD PermanentlyDeleteReports;
  DWORD CompatibilityMode;
  LONG SoundLoop;
  DWORD NewNotifyAll;
  DWORD NewNotifyPicSmiley;
  DWORD Vibrate;
  DWORD VibrateMs;
  DWORD ShowMyBubble;
  DWORD ZoomLevel;
};

extern PELLIXSETTINGS g_Settings;
