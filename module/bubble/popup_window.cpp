#include "bubble/popup_window.h"

#include <htmlctrl.h>

#include "core/debug_log.h"
#include "render/templates.h"
#include "rule/module_entry.h"
#include "skin/skin.h"

namespace {

// "htmlview.dll" as mySHOnceInit loaded it, or null.
HMODULE g_hHtmlLibrary = nullptr;

}  // namespace

BOOL mySHOnceInit() {
  WriteLog(TEXT("mySHOnceInit()\r\n"));
  LoadStyleSheet();
  LoadSkin();
  if (!g_hHtmlLibrary) g_hHtmlLibrary = LoadLibraryW(TEXT("htmlview.dll"));
  using InitProc = BOOL (*)(HINSTANCE);
  auto init = g_hHtmlLibrary ? reinterpret_cast<InitProc>(GetProcAddressW(
                                   g_hHtmlLibrary, reinterpret_cast<LPCWSTR>(ULONG_PTR{1})))
                             : nullptr;
  return init ? init(ModuleInstance()) : FALSE;
}

void mySHOnceDeInit() {
  WriteLog(TEXT("mySHOnceDeInit()\r\n"));
  if (g_hHtmlLibrary) FreeLibrary(g_hHtmlLibrary);
  g_hHtmlLibrary = nullptr;
  // The style sheet and the three page templates.
  FreeTemplates();
}
