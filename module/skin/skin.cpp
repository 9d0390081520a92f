// The skin description and the skin value of the current screen.
#include "skin/skin.h"

#include "core/settings.h"
#include "skin/ini_reader.h"
#include "skin/skin_expression.h"

const SKINDESCRIPTION g_BuiltInSkin = {
    80,     // NotifyWndHeight
    15,     // NotifyWndStartX
    110,    // NotifyWndStartY
    -30,    // NotifyWndWidth: the screen width less 30
    0,      // CaptionHeight
    {0},    // SkinBMP
    250,    // AlphaBlendBackground
    0,      // DynamicHeight
    0, 0, 0, 0,
    0, 0, 0, 0,
    250,    // GifFrameDelay
    FALSE,  // BottomAnchor
};

SKINDESCRIPTION g_Skin = g_BuiltInSkin;

namespace {

int SystemMetric(int index) { return GetSystemMetrics(index); }

struct EXPRESSIONKEY {
  const char* section;
  const char* key;
  int SKINDESCRIPTION::*field;
};

const EXPRESSIONKEY kGeometryKeys[] = {
    {"Skin", "NotifyWndHeight", &SKINDESCRIPTION::NotifyWndHeight},
    {"Skin", "NotifyWndStartX", &SKINDESCRIPTION::NotifyWndStartX},
    {"Skin", "NotifyWndStartY", &SKINDESCRIPTION::NotifyWndStartY},
    {"Skin", "NotifyWndWidth", &SKINDESCRIPTION::NotifyWndWidth},
    {"Skin", "CaptionHeight", &SKINDESCRIPTION::CaptionHeight},
};

const EXPRESSIONKEY kBorderKeys[] = {
    {"Borders", "Left", &SKINDESCRIPTION::Left},
    {"Borders", "Top", &SKINDESCRIPTION::Top},
    {"Borders", "Right", &SKINDESCRIPTION::Right},
    {"Borders", "Bottom", &SKINDESCRIPTION::Bottom},
    {"Borders", "HTMLLeft", &SKINDESCRIPTION::HTMLLeft},
    {"Borders", "HTMLTop", &SKINDESCRIPTION::HTMLTop},
    {"Borders", "HTMLRight", &SKINDESCRIPTION::HTMLRight},
    {"Borders", "HTMLBottom", &SKINDESCRIPTION::HTMLBottom},
};

// A key that is missing or not a quoted string reads as "0", and so evaluates to 0.
template <size_t N>
void ReadExpressions(int document, const EXPRESSIONKEY (&keys)[N]) {
  char text[INI_LINE_SIZE];
  for (const EXPRESSIONKEY& k : keys) {
    IniGetString(document, k.section, k.key, text);
    g_Skin.*k.field = EvaluateSkinValue(text);
  }
}

}  // namespace

int EvaluateSkinValue(const char* text) {
  return SkinValueFromResult(EvaluateSkinText(text, SystemMetric, &g_Skin.BottomAnchor));
}

void GetSkinFolderPath(WCHAR* folder, size_t cchFolder) {
  if (folder == nullptr || cchFolder == 0) return;
  StringCchCopyW(folder, cchFolder, g_Settings.InstallDir);
  size_t length = wcslen(folder);
  if (length == 0 || folder[length - 1] != TEXT('\\')) StringCchCatW(folder, cchFolder, TEXT("\\"));
  StringCchCatW(folder, cchFolder, TEXT("Skins\\"));
  StringCchCatW(folder, cchFolder, g_Settings.SkinName);
  StringCchCatW(folder, cchFolder, TEXT("\\"));
}

void LoadSkin() {
  // InstallDir and SkinName hold 255 characters each, so the folder always fits here.
  WCHAR folder[2 * 256 + 16];
  GetSkinFolderPath(folder, sizeof(folder) / sizeof(folder[0]));

  WCHAR path[sizeof(folder) / sizeof(folder[0]) + 16];
  StringCchCopyW(path, sizeof(path) / sizeof(path[0]), folder);
  StringCchCatW(path, sizeof(path) / sizeof(path[0]), TEXT("skin.ini"));
  char narrowPath[256];
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, narrowPath, sizeof(narrowPath), nullptr, nullptr) == 0)
    return;
  int document = IniOpen(narrowPath);
  if (document == INI_NO_DOCUMENT) return;

  g_Skin.BottomAnchor = FALSE;
  ReadExpressions(document, kGeometryKeys);

  // A missing key leaves "0", so the path then ends in "0".
  char bitmap[INI_LINE_SIZE];
  IniGetString(document, "Skin", "SkinBMP", bitmap);
  WCHAR wideBitmap[INI_LINE_SIZE];
  if (MultiByteToWideChar(CP_ACP, 0, bitmap, -1, wideBitmap, INI_LINE_SIZE) == 0) wideBitmap[0] = 0;
  StringCchCopyW(g_Skin.SkinBMP, MAX_PATH, folder);
  StringCchCatW(g_Skin.SkinBMP, MAX_PATH, wideBitmap);

  IniGetInteger(document, "Skin", "AlphaBlendBackground", &g_Skin.AlphaBlendBackground);
  IniGetInteger(document, "Skin", "DynamicHeight", &g_Skin.DynamicHeight);
  ReadExpressions(document, kBorderKeys);
  IniGetInteger(document, "Animation", "GifFrameDelay", &g_Skin.GifFrameDelay);
  IniClose(document);
}
