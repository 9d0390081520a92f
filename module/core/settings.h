// The settings record: process-wide configuration read from
// HKEY_CURRENT_USER\Software\Halvane Quorrin Softwares\Pellix. Only GetSettings writes it;
// every other part of the module reads the fields directly.
#pragma once

#include <windows.h>

#include <atomic>

#define PELLIX_SETTINGS_KEY TEXT("Software\\Halvane Quorrin Softwares\\Pellix")
#define PELLIX_BUBBLE_CLASS_KEY \
  TEXT("ControlPanel\\Notifications\\{6b1d4e82-3fa7-41c9-9d25-8e07c6a3f1b4}")
#define SETTINGS_TEXT_CCH 256

// A text setting of 256 wide characters, terminator included, that readers on other threads
// may use while GetSettings runs. Every distinct text gets a buffer of its own that is never
// written again and lives as long as the process; a change publishes another buffer with one
// atomic store. A reader therefore always sees a whole text, old or new, and a pointer it holds
// stays valid. The buffers are interned, so switching between the same few texts (a skin and
// back) allocates nothing more.
class SettingText {
 public:
  SettingText();
  ~SettingText();
  SettingText(const SettingText&) = delete;
  SettingText& operator=(const SettingText&) = delete;
  operator LPCWSTR() const { return m_current.load(std::memory_order_acquire); }
  LPCWSTR c_str() const { return *this; }
  // Publishes `text`, cut to SETTINGS_TEXT_CCH - 1 characters.
  void Set(LPCWSTR text);

 private:
  struct Buffer {
    WCHAR text[SETTINGS_TEXT_CCH];
    Buffer* next;
  };
  Buffer m_first;                   // the empty text
  Buffer* m_pool;                   // every text published so far; guarded by m_lock
  CRITICAL_SECTION m_lock;
  std::atomic<const WCHAR*> m_current;
};

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
  SettingText SoundFile;
  SettingText SkinName;
  SettingText InstallDir;
};

extern PELLIXSETTINGS g_Settings;

// Loads the record from the registry; returns the error of opening the key, else the status of
// the last value query (InstallDir). 0 is success.
LONG GetSettings();
BOOL IsSmartPhoneDevice();
BOOL IsBubbleSoundOptionSet();
