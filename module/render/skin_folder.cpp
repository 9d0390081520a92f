#include "render/skin_folder.h"

#include "core/settings.h"

BOOL GetSkinFolder(LPWSTR out, size_t cch, LPCWSTR skinName) {
  if (!out || cch == 0) return FALSE;
  out[0] = 0;
  size_t installLength = wcslen(g_Settings.InstallDir);
  HRESULT hr = StringCchCopyW(out, cch, g_Settings.InstallDir);
  if (SUCCEEDED(hr) && (installLength == 0 || g_Settings.InstallDir[installLength - 1] != u'\\'))
    hr = StringCchCatW(out, cch, TEXT("\\"));
  if (SUCCEEDED(hr)) hr = StringCchCatW(out, cch, TEXT("Skins\\"));
  if (SUCCEEDED(hr)) hr = StringCchCatW(out, cch, skinName ? skinName : g_Settings.SkinName);
  if (SUCCEEDED(hr)) hr = StringCchCatW(out, cch, TEXT("\\"));
  return SUCCEEDED(hr);
}

BOOL PathToAnsi(LPCWSTR path, LPSTR out, int cbOut) {
  if (!path || !out || cbOut <= 0) return FALSE;
  if (cbOut > 256) cbOut = 256;
  int n = WideCharToMultiByte(CP_ACP, 0, path, -1, out, cbOut, nullptr, nullptr);
  if (n <= 0) {
    out[0] = 0;
    return FALSE;
  }
  return TRUE;
}
