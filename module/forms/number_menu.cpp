#include "forms/number_menu.h"

#include "resources/resource.h"
#include "rule/module_entry.h"

void TrackNumberMenu(HWND owner, POINT at) {
  HMENU menu = LoadMenuW(ModuleInstance(), MAKEINTRESOURCE(IDR_MENU_NUMBER));
  if (!menu) return;
  if (HMENU popup = GetSubMenu(menu, 0)) TrackPopupMenuEx(popup, 0, at.x, at.y, owner, nullptr);
  DestroyMenu(menu);
}
