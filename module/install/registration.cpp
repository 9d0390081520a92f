#include "install/registration.h"

#include <cstring>

#include "install/message_class.h"
#include "resources/resource.h"

namespace {

// Strings are stored with their terminator.
DWORD StringBytes(LPCWSTR text) { return static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)); }

LONG SetString(HKEY key, LPCWSTR name, LPCWSTR text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), StringBytes(text));
}

LONG SetDword(HKEY key, LPCWSTR name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

HKEY CreateKey(HKEY root, LPCWSTR path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS) return nullptr;
  return key;
}

HKEY OpenKey(HKEY root, LPCWSTR path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, access, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

// The loaded module's full path into `path` (MAX_PATH characters); FALSE when it is not loaded.
BOOL GetOwnPath(LPWSTR path) {
  path[0] = 0;
  HMODULE module = GetModuleHandleW(PELLIX_MODULE_NAME);
  if (!module) return FALSE;
  DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    path[0] = 0;
    return FALSE;
  }
  return TRUE;
}

// The screen's vertical resolution; the display driver's own setting wins over the device context.
DWORD ScreenDpi() {
  DWORD dpi = static_cast<DWORD>(-1);
  if (HDC screen = GetDC(nullptr)) {
    dpi = static_cast<DWORD>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(nullptr, screen);
  }
  if (HKEY driver = OpenKey(HKEY_LOCAL_MACHINE, DISPLAY_DRIVER_KEY, KEY_READ)) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(driver, TEXT("LogicalPixelsY"), nullptr, nullptr,
                         reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
        size == sizeof(value))
      dpi = value;
    RegCloseKey(driver);
  }
  return dpi;
}

}  // namespace

UINT GlyphBitmapForDpi(DWORD dpi) {
  if (dpi < 128) return IDB_GLYPH_LOW;
  if (dpi < 132) return IDB_GLYPH_128;
  if (dpi < 192) return IDB_GLYPH_132;
  return IDB_GLYPH_HIGH;
}

void BuildGlyphInfo(UINT bitmap, BYTE info[GLYPH_INFO_SIZE]) {
  const DWORD words[8] = {GLYPH_INFO_SIZE, bitmap, bitmap, 1, 0, 0, 0, 0};
  for (int i = 0; i < 8; ++i)
    for (int b = 0; b < 4; ++b) info[i * 4 + b] = static_cast<BYTE>(words[i] >> (8 * b));
}

void RegisterRules() {
  RegDeleteKeyW(HKEY_CLASSES_ROOT, PELLIX_CLASS_KEY);
  HKEY classKey = CreateKey(HKEY_CLASSES_ROOT, PELLIX_CLASS_KEY);
  if (!classKey) return;
  HKEY server = CreateKey(classKey, TEXT("InprocServer32"));
  if (!server) {
    RegCloseKey(classKey);
    return;
  }
  if (SetString(server, nullptr, PELLIX_MODULE_NAME) != ERROR_SUCCESS) {
    RegCloseKey(server);
    RegCloseKey(classKey);
    return;
  }
  SetString(server, TEXT("ThreadingModel"), TEXT("Free"));
  RegCloseKey(server);
  RegCloseKey(classKey);

  if (HKEY rules = CreateKey(HKEY_LOCAL_MACHINE, SMS_RULES_KEY)) {
    SetDword(rules, PELLIX_RULE_CLSID_TEXT, 1);
    RegCloseKey(rules);
  }
  if (HKEY classes = CreateKey(HKEY_LOCAL_MACHINE, SMS_MSGCLASSES_KEY)) {
    SetDword(classes, TEXT("IPM.SMStext.Ravlo"), 1);
    RegCloseKey(classes);
  }
}

void UnregisterRules() {
  RegDeleteKeyW(HKEY_CLASSES_ROOT, PELLIX_CLASS_KEY);
  HKEY rules = CreateKey(HKEY_LOCAL_MACHINE, TEXT("\\Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules"));
  if (rules) RegDeleteValueW(rules, PELLIX_RULE_CLSID_TEXT);
  HKEY classes = CreateKey(HKEY_LOCAL_MACHINE, SMS_MSGCLASSES_KEY);
  if (classes) RegDeleteValueW(classes, TEXT("IPM.SMStext.Ravlo"));
  if (rules) RegCloseKey(rules);
  if (classes) RegCloseKey(classes);
}

void RegisterFormModule() {
  WCHAR ownPath[MAX_PATH];
  const BOOL haveOwnPath = GetOwnPath(ownPath);
  if (HKEY own = CreateKey(HKEY_CURRENT_USER, OWN_MSGTYPE_KEY)) {
    if (haveOwnPath) SetString(own, TEXT("DLL"), ownPath);
    RegCloseKey(own);
  }

  HKEY sms = OpenKey(HKEY_CURRENT_USER, SMS_MSGTYPE_KEY, KEY_ALL_ACCESS);
  if (!sms) return;
  // Buffers one character larger than the reads, so that whatever was read is terminated.
  WCHAR current[100 + 1] = {};
  DWORD size = 200;
  RegQueryValueExW(sms, TEXT("DLL"), nullptr, nullptr, reinterpret_cast<LPBYTE>(current), &size);
  const BOOL currentIsRelated = wcsstr(current, RELATED_FORM_MODULE) != nullptr;

  WCHAR saved[100 + 1] = {};
  size = 200;
  if (RegQueryValueExW(sms, TEXT("Ravlo_OriginalDLL"), nullptr, nullptr, reinterpret_cast<LPBYTE>(saved),
                       &size) == ERROR_SUCCESS &&
      !currentIsRelated) {
    // Installed already: the form module saved then is the one to keep.
    RegCloseKey(sms);
    return;
  }

  WCHAR original[50 + 1] = {};
  size = 100;
  if (RegQueryValueExW(sms, TEXT("DLL"), nullptr, nullptr, reinterpret_cast<LPBYTE>(original), &size) ==
          ERROR_SUCCESS &&
      !currentIsRelated)
    RegSetValueExW(sms, TEXT("Ravlo_OriginalDLL"), 0, REG_SZ, reinterpret_cast<const BYTE*>(original), size);

  if (haveOwnPath) SetString(sms, TEXT("DLL"), ownPath);
  RegCloseKey(sms);
}

void RestoreFormModule() {
  RegDeleteKeyW(HKEY_CURRENT_USER, TEXT("Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo\\"));
  HKEY sms = OpenKey(HKEY_CURRENT_USER, SMS_MSGTYPE_KEY, KEY_ALL_ACCESS);
  if (!sms) return;

  WCHAR original[50 + 1] = {};
  DWORD size = 100;
  if (RegQueryValueExW(sms, TEXT("Ravlo_OriginalDLL"), nullptr, nullptr, reinterpret_cast<LPBYTE>(original),
                       &size) == ERROR_SUCCESS) {
    SetString(sms, TEXT("DLL"), original);
    RegDeleteValueW(sms, TEXT("Ravlo_OriginalDLL"));
  }

  BYTE glyph[200];
  DWORD type = 0;
  size = sizeof(glyph);
  if (RegQueryValueExW(sms, TEXT("Ravlo_OriginalGlyphInfo"), nullptr, &type, glyph, &size) ==
      ERROR_SUCCESS) {
    RegDeleteValueW(sms, TEXT("GlyphInfo"));
    RegSetValueExW(sms, TEXT("GlyphInfo"), 0, type, glyph, size);
    RegDeleteValueW(sms, TEXT("Ravlo_OriginalGlyphInfo"));
  }
  RegCloseKey(sms);
}

void WriteGlyphInfo() {
  BYTE info[GLYPH_INFO_SIZE];
  BuildGlyphInfo(GlyphBitmapForDpi(ScreenDpi()), info);

  if (HKEY own = CreateKey(HKEY_CURRENT_USER, OWN_MSGTYPE_KEY)) {
    RegSetValueExW(own, TEXT("GlyphInfo"), 0, REG_BINARY, info, GLYPH_INFO_SIZE);
    RegCloseKey(own);
  }

  HKEY sms = OpenKey(HKEY_CURRENT_USER, SMS_MSGTYPE_KEY, KEY_ALL_ACCESS);
  if (!sms) return;
  // The glyph found before the first installation is saved once and never overwritten.
  if (RegQueryValueExW(sms, TEXT("Ravlo_OriginalGlyphInfo"), nullptr, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    BYTE previous[200];
    DWORD type = 0;
    DWORD size = sizeof(previous);
    if (RegQueryValueExW(sms, TEXT("GlyphInfo"), nullptr, &type, previous, &size) == ERROR_SUCCESS)
      RegSetValueExW(sms, TEXT("Ravlo_OriginalGlyphInfo"), 0, type, previous, size);
  }
  RegSetValueExW(sms, TEXT("GlyphInfo"), 0, REG_BINARY, info, GLYPH_INFO_SIZE);
  RegCloseKey(sms);
}

// An installer's full installation: a failed store conversion has shown its message already,
// and the registry is what installation promises, so the result is always success.
extern "C" DLLEXPORT HRESULT DllRegisterServer() {
  RegisterRules();
  RegisterFormModule();
  WriteGlyphInfo();
  ConvertAllMessages(1);
  return S_OK;
}

extern "C" DLLEXPORT HRESULT DllUnregisterServer() {
  UnregisterRules();
  RestoreFormModule();
  ConvertAllMessages(0);
  return S_OK;
}

extern "C" DLLEXPORT HRESULT DllRegisterRules() {
  RegisterRules();
  return S_OK;
}

extern "C" DLLEXPORT HRESULT DllUnregisterRules() {
  UnregisterRules();
  return S_OK;
}

extern "C" DLLEXPORT HRESULT DllRegisterForms() {
  RegisterFormModule();
  WriteGlyphInfo();
  return ConvertAllMessages(1);
}

extern "C" DLLEXPORT HRESULT DllUnregisterForms() {
  RestoreFormModule();
  return ConvertAllMessages(0);
}
