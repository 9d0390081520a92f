#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/templates.h"

#include "render/skin_folder.h"
#include "resources/resource.h"

LPWSTR g_Templates[TEMPLATE_SLOT_COUNT] = {nullptr, nullptr, nullptr};
BOOL g_TemplateBuiltIn[TEMPLATE_SLOT_COUNT] = {FALSE, FALSE, FALSE};
LPWSTR g_StyleSheet = nullptr;

namespace {

const WCHAR kBuiltInStyle[] = TEXT("BODY { font-size: 8pt; }");

struct SlotSource {
  LPCWSTR file;
  UINT resource;
};
const SlotSource kSlots[TEMPLATE_SLOT_COUNT] = {
    {TEXT("bubble.html"), IDS_TEMPLATE_BUBBLE},
    {TEXT("bubblepic.html"), IDS_TEMPLATE_PICTURE},
    {TEXT("form.html"), IDS_TEMPLATE_BUBBLE},
};

// Skin folder + `file`, narrow. FALSE when the path does not fit.
BOOL SkinFilePath(LPCWSTR file, LPSTR narrow, int cb) {
  WCHAR path[MAX_PATH];
  return GetSkinFolder(path, MAX_PATH, nullptr) && SUCCEEDED(StringCchCatW(path, MAX_PATH, file)) &&
         PathToAnsi(path, narrow, cb);
}

void Replace(LPWSTR* target, LPWSTR text) {
  free(*target);
  *target = text;
}

}  // namespace

int BuiltInTemplate(UINT slot, LPCWSTR* text) {
  *text = nullptr;
  // The module's own string table; the pointer form of LoadStringW hands out the read-only
  // resource itself, which is not terminated.
  HINSTANCE module = GetModuleHandleW(TEXT("PellixRule.dll"));
  if (!module) return 0;
  UINT id = slot < TEMPLATE_SLOT_COUNT ? kSlots[slot].resource : IDS_TEMPLATE_BUBBLE;
  LPCWSTR resource = nullptr;
  int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || !resource) return 0;
  *text = resource;
  return length;
}

BOOL ReadTextFile(LPCSTR path, LPWSTR* target) {
  if (!path || !target) return FALSE;
  FILE* file = fopen(path, "rb");
  if (!file) return FALSE;
  long size = 0;
  if (fseek(file, 0, SEEK_END) == 0) size = ftell(file);
  if (size < 0) size = 0;
  fseek(file, 0, SEEK_SET);
  // Two zero bytes end the text whatever it holds.
  auto* bytes = static_cast<char*>(malloc(static_cast<size_t>(size) + 2));
  if (!bytes) {
    fclose(file);
    return FALSE;
  }
  size_t got = size ? fread(bytes, 1, static_cast<size_t>(size), file) : 0;
  bytes[got] = 0;
  bytes[got + 1] = 0;
  fclose(file);

  int length = 0;
  if (got) length = MultiByteToWideChar(CP_ACP, MB_COMPOSITE, bytes, -1, nullptr, 0);
  if (length < 0) length = 0;
  auto* text = static_cast<LPWSTR>(calloc(static_cast<size_t>(length) + 2, sizeof(WCHAR)));
  if (!text) {
    free(bytes);
    return FALSE;
  }
  if (length) MultiByteToWideChar(CP_ACP, MB_COMPOSITE, bytes, -1, text, length);
  free(bytes);
  Replace(target, text);
  return TRUE;
}

void LoadTemplates() {
  for (int slot = 0; slot < TEMPLATE_SLOT_COUNT; ++slot) {
    Replace(&g_Templates[slot], nullptr);
    g_TemplateBuiltIn[slot] = FALSE;
  }
  for (int slot = 0; slot < TEMPLATE_SLOT_COUNT; ++slot) {
    CHAR narrow[256];
    if (SkinFilePath(kSlots[slot].file, narrow, sizeof(narrow)) &&
        ReadTextFile(narrow, &g_Templates[slot]))
      continue;
    LPCWSTR builtIn = nullptr;
    int length = BuiltInTemplate(slot, &builtIn);
    if (length <= 0) continue;  // a host that did not attach the module's resources
    auto* copy = static_cast<LPWSTR>(calloc(static_cast<size_t>(length) + 4, sizeof(WCHAR)));
    if (!copy) continue;
    memcpy(copy, builtIn, static_cast<size_t>(length) * sizeof(WCHAR));
    g_Templates[slot] = copy;
    g_TemplateBuiltIn[slot] = TRUE;
  }
}

void LoadStyleSheet() {
  CHAR narrow[256];
  if (SkinFilePath(TEXT("bubble.css"), narrow, sizeof(narrow)) &&
      ReadTextFile(narrow, &g_StyleSheet))
    return;
  Replace(&g_StyleSheet, _wcsdup(kBuiltInStyle));
}

void FreeTemplates() {
  Replace(&g_StyleSheet, nullptr);
  for (int slot = 0; slot < TEMPLATE_SLOT_COUNT; ++slot) {
    Replace(&g_Templates[slot], nullptr);
    g_TemplateBuiltIn[slot] = FALSE;
  }
}
