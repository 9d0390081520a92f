#include "core/settings.h"

PELLIXSETTINGS g_Settings;

SettingText::SettingText() : m_first{{0}, NULL}, m_pool(&m_first), m_current(m_first.text) {
  InitializeCriticalSection(&m_lock);
}

SettingText::~SettingText() {
  for (Buffer* b = m_pool; b != &m_first;) {
    Buffer* next = b->next;
    delete b;
    b = next;
  }
  DeleteCriticalSection(&m_lock);
}

void SettingText::Set(LPCWSTR text) {
  WCHAR wanted[SETTINGS_TEXT_CCH];
  StringCchCopyW(wanted, SETTINGS_TEXT_CCH, text);
  EnterCriticalSection(&m_lock);
  Buffer* found = m_pool;
  while (found && wcscmp(found->text, wanted) != 0) found = found->next;
  if (!found) {
    found = new Buffer;
    StringCchCopyW(found->text, SETTINGS_TEXT_CCH, wanted);
    found->next = m_pool;
    m_pool = found;
  }
  m_current.store(found->text, std::memory_order_release);
  LeaveCriticalSection(&m_lock);
}

namespace {

// The numeric fields as one load computes them. GetSettings fills a copy and publishes each
// field with one store at the end, so a reader on another thread sees the old value or the new
// one, never a default or an unclamped value in between.
struct NumericSettings {
  DWORD Enabled, DeliveryFix, OriginalNotification, SoundEnabled, DebugLogging, Animation,
      EnhanceComposeForm, NotificationReplyDefault, PermanentlyDeleteReports, CompatibilityMode;
  LONG SoundLoop;
  DWORD NewNotifyAll, NewNotifyPicSmiley, Vibrate, VibrateMs, ShowMyBubble, ZoomLevel;
};

// Reads a numeric value raw: the stored type is not checked, and a shorter value replaces only
// its own bytes. A missing or larger value leaves the field as it is.
template <typename T>
void QueryNumber(HKEY key, LPCWSTR name, T* field) {
  static_assert(sizeof(T) == 4);
  DWORD type = 0, size = sizeof(T);
  RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(field), &size);
}

// Reads a text value of at most 255 characters plus terminator into `text`, which is left as
// it was when the value is missing or does not fit. Returns the query's status and the data
// size it reported.
LONG QueryText(HKEY key, LPCWSTR name, WCHAR (&text)[SETTINGS_TEXT_CCH], DWORD* reported) {
  // One spare character so that a value stored without its terminator still ends in one.
  WCHAR buffer[SETTINGS_TEXT_CCH + 1] = {};
  DWORD type = 0, size = SETTINGS_TEXT_CCH * sizeof(WCHAR);
  LONG status = RegQueryValueExW(key, name, NULL, &type, reinterpret_cast<BYTE*>(buffer), &size);
  *reported = size;
  if (status == ERROR_SUCCESS && wcslen(buffer) < SETTINGS_TEXT_CCH)
    StringCchCopyW(text, SETTINGS_TEXT_CCH, buffer);
  return status;
}

template <typename T>
void Publish(T* field, T value) {
  *reinterpret_cast<volatile T*>(field) = value;
}

}  // namespace

LONG GetSettings() {
  NumericSettings n = {};
  n.NewNotifyPicSmiley = 1;
  n.SoundEnabled = 0;
  n.OriginalNotification = 0;
  n.PermanentlyDeleteReports = 0;
  n.NotificationReplyDefault = 0;
  n.EnhanceComposeForm = 0;
  n.DebugLogging = 0;
  n.Vibrate = 0;
  n.NewNotifyAll = 0;
  n.Animation = 1;
  n.ShowMyBubble = 1;
  n.DeliveryFix = 1;
  n.Enabled = 1;
  n.SoundLoop = 1;
  n.ZoomLevel = 2;
  n.CompatibilityMode = 0;
  // Not reset: a missing value keeps the previous one.
  n.VibrateMs = g_Settings.VibrateMs;
  WCHAR soundFile[SETTINGS_TEXT_CCH], skinName[SETTINGS_TEXT_CCH], installDir[SETTINGS_TEXT_CCH];
  StringCchCopyW(soundFile, SETTINGS_TEXT_CCH, g_Settings.SoundFile);
  StringCchCopyW(installDir, SETTINGS_TEXT_CCH, g_Settings.InstallDir);
  StringCchCopyW(skinName, SETTINGS_TEXT_CCH, TEXT("default"));

  HKEY key = NULL;
  LONG status = RegOpenKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    NKDbgPrintfW(TEXT("Error opening regitery directoy in GetSettings\r\n"));
  } else {
    QueryNumber(key, TEXT("Enabled"), &n.Enabled);
    QueryNumber(key, TEXT("DeliveryFix"), &n.DeliveryFix);
    QueryNumber(key, TEXT("OriginalNotification"), &n.OriginalNotification);
    QueryNumber(key, TEXT("SoundEnabled"), &n.SoundEnabled);
    if (n.SoundEnabled == 1 && IsBubbleSoundOptionSet()) n.SoundEnabled = 0;
    QueryNumber(key, TEXT("DebugLogging"), &n.DebugLogging);
    QueryNumber(key, TEXT("Animation"), &n.Animation);
    QueryNumber(key, TEXT("EnhanceComposeForm"), &n.EnhanceComposeForm);
    QueryNumber(key, TEXT("NotificationReplyDefault"), &n.NotificationReplyDefault);
    QueryNumber(key, TEXT("PermanentlyDeleteReports"), &n.PermanentlyDeleteReports);
    QueryNumber(key, TEXT("CompatibilityMode"), &n.CompatibilityMode);
    QueryNumber(key, TEXT("SoundLoop"), &n.SoundLoop);
    if (n.SoundLoop < 1) n.SoundLoop = 1;
    QueryNumber(key, TEXT("NewNotifyAll"), &n.NewNotifyAll);
    QueryNumber(key, TEXT("NewNotifyPicSmiley"), &n.NewNotifyPicSmiley);
    if (n.NewNotifyAll != 0) n.NewNotifyPicSmiley = 1;
    QueryNumber(key, TEXT("Vibrate"), &n.Vibrate);
    QueryNumber(key, TEXT("VibrateMs"), &n.VibrateMs);
    if (n.VibrateMs < 100) {
      n.VibrateMs = 100;
    } else if (n.VibrateMs > 10000) {
      n.VibrateMs = 10000;
    }
    QueryNumber(key, TEXT("ShowMyBubble"), &n.ShowMyBubble);
    QueryNumber(key, TEXT("ZoomLevel"), &n.ZoomLevel);
    if (n.ZoomLevel > 4) n.ZoomLevel = 4;
    DWORD size = 0;
    QueryText(key, TEXT("SoundFile"), soundFile, &size);
    QueryText(key, TEXT("SkinName"), skinName, &size);
    status = QueryText(key, TEXT("InstallDir"), installDir, &size);
    if (size == 0) {
      installDir[0] = 0;
      SHGetSpecialFolderPath(NULL, installDir, CSIDL_PROGRAM_FILES, FALSE);
      StringCchCatW(installDir, SETTINGS_TEXT_CCH, TEXT("\\Halvane Quorrin\\Pellix\\"));
    }
    RegCloseKey(key);
  }
  if (IsSmartPhoneDevice()) n.ShowMyBubble = 0;

  Publish(&g_Settings.Enabled, n.Enabled);
  Publish(&g_Settings.DeliveryFix, n.DeliveryFix);
  Publish(&g_Settings.OriginalNotification, n.OriginalNotification);
  Publish(&g_Settings.SoundEnabled, n.SoundEnabled);
  Publish(&g_Settings.DebugLogging, n.DebugLogging);
  Publish(&g_Settings.Animation, n.Animation);
  Publish(&g_Settings.EnhanceComposeForm, n.EnhanceComposeForm);
  Publish(&g_Settings.NotificationReplyDefault, n.NotificationReplyDefault);
  Publish(&g_Settings.PermanentlyDeleteReports, n.PermanentlyDeleteReports);
  Publish(&g_Settings.CompatibilityMode, n.CompatibilityMode);
  Publish(&g_Settings.SoundLoop, n.SoundLoop);
  Publish(&g_Settings.NewNotifyAll, n.NewNotifyAll);
  Publish(&g_Settings.NewNotifyPicSmiley, n.NewNotifyPicSmiley);
  Publish(&g_Settings.Vibrate, n.Vibrate);
  Publish(&g_Settings.VibrateMs, n.VibrateMs);
  Publish(&g_Settings.ShowMyBubble, n.ShowMyBubble);
  Publish(&g_Settings.ZoomLevel, n.ZoomLevel);
  g_Settings.SoundFile.Set(soundFile);
  g_Settings.SkinName.Set(skinName);
  g_Settings.InstallDir.Set(installDir);
  return status;
}

BOOL IsSmartPhoneDevice() {
  WCHAR platform[50] = {};  // 100 bytes
  if (!SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(platform), platform, 0)) return FALSE;
  return wcscmp(platform, TEXT("SmartPhone")) == 0;
}

BOOL IsBubbleSoundOptionSet() {
  HKEY key = NULL;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, PELLIX_BUBBLE_CLASS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return FALSE;
  DWORD options = 0, type = 0, size = sizeof(options);
  LONG status = RegQueryValueExW(key, TEXT("Options"), NULL, &type, reinterpret_cast<BYTE*>(&options), &size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS && (options & 1) != 0;
}
