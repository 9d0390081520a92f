// coredll: menus and popup menus. A popup menu is tracked by the person (person.h): the call
// waits for their choice and posts it to the owner as WM_COMMAND.
#include <algorithm>
#include <cstring>

#include "person/person.h"
#include "windows/menu.h"
#include "windows/window_system.h"

using pellix::device::windows::MenuItem;
using pellix::device::windows::MenuTable;

namespace {

MenuTable& Menus() { return MenuTable::Get(); }

BOOL MenuFails() {
  SetLastError(ERROR_INVALID_MENU_HANDLE);
  return FALSE;
}

// An item as AppendMenu, InsertMenu and ModifyMenu describe it.
MenuItem ItemFrom(UINT flags, UINT_PTR id, LPCWSTR text) {
  MenuItem item;
  if (flags & MF_SEPARATOR) {
    item.type = MFT_SEPARATOR;
  } else if (flags & MF_BITMAP) {
    item.type = MFT_BITMAP;
  } else if (flags & MF_OWNERDRAW) {
    item.type = MFT_OWNERDRAW;
    item.data = static_cast<DWORD>(reinterpret_cast<uintptr_t>(text));
  } else {
    item.type = MFT_STRING;
    if (text) item.text = text;
  }
  item.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
  if (flags & MF_POPUP) {
    item.submenu = reinterpret_cast<HMENU>(id);
    item.id = static_cast<UINT>(-1);
  } else {
    item.id = static_cast<UINT>(id);
  }
  return item;
}

size_t InsertPosition(HMENU menu, UINT position, UINT flags, HMENU* target) {
  *target = menu;
  if (flags & MF_BYPOSITION) return position;
  auto where = Menus().Locate(menu, position, false);
  if (!where) return static_cast<size_t>(-1);
  *target = where->menu;
  return where->index;
}

}  // namespace

HMENU CreateMenu() { return Menus().Create(false); }
HMENU CreatePopupMenu() { return Menus().Create(true); }

BOOL DestroyMenu(HMENU menu) { return Menus().Destroy(menu) ? TRUE : MenuFails(); }
BOOL IsMenu(HMENU menu) { return Menus().Exists(menu) ? TRUE : FALSE; }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR text) {
  return Menus().Insert(menu, static_cast<size_t>(-1), ItemFrom(flags, id, text)) ? TRUE
                                                                                 : MenuFails();
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  if (!Menus().Exists(menu)) return MenuFails();
  HMENU target = menu;
  size_t index = InsertPosition(menu, position, flags, &target);
  if (index == static_cast<size_t>(-1) && !(flags & MF_BYPOSITION)) return FALSE;
  return Menus().Insert(target, index, ItemFrom(flags, id, text)) ? TRUE : FALSE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR id, LPCWSTR text) {
  MenuItem replacement = ItemFrom(flags, id, text);
  return Menus().Update(menu, position, (flags & MF_BYPOSITION) != 0,
                        [&](MenuItem& item) { item = replacement; })
             ? TRUE
             : FALSE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  return Menus().Remove(menu, position, (flags & MF_BYPOSITION) != 0, true) ? TRUE : FALSE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  return Menus().Remove(menu, position, (flags & MF_BYPOSITION) != 0, false) ? TRUE : FALSE;
}

HMENU GetSubMenu(HMENU menu, int position) {
  if (position < 0) return nullptr;
  auto item = Menus().Item(menu, static_cast<UINT>(position), true);
  return item ? item->submenu : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  int count = -1;
  Menus().With(menu, [&](auto& m) { count = static_cast<int>(m.items.size()); });
  if (count < 0) SetLastError(ERROR_INVALID_MENU_HANDLE);
  return count;
}

UINT GetMenuItemID(HMENU menu, int position) {
  if (position < 0) return static_cast<UINT>(-1);
  auto item = Menus().Item(menu, static_cast<UINT>(position), true);
  if (!item || item->submenu) return static_cast<UINT>(-1);
  return item->id;
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags) {
  auto item = Menus().Item(menu, id, (flags & MF_BYPOSITION) != 0);
  if (!item) return static_cast<UINT>(-1);
  UINT state = item->state | (item->type & (MF_SEPARATOR | MF_BITMAP | MF_OWNERDRAW));
  if (item->submenu) {
    int count = GetMenuItemCount(item->submenu);
    return MAKELONG(state | MF_POPUP, std::max(count, 0));
  }
  return state;
}

int GetMenuStringW(HMENU menu, UINT id, LPWSTR out, int max, UINT flags) {
  auto item = Menus().Item(menu, id, (flags & MF_BYPOSITION) != 0);
  if (!item) return 0;
  if (!out || max <= 0) return static_cast<int>(item->text.size());
  size_t n = std::min(item->text.size(), static_cast<size_t>(max - 1));
  std::memcpy(out, item->text.data(), n * sizeof(WCHAR));
  out[n] = 0;
  return static_cast<int>(n);
}

BOOL GetMenuItemInfoW(HMENU menu, UINT id, BOOL by_position, LPMENUITEMINFOW info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Menus().Exists(menu)) return MenuFails();
  auto item = Menus().Item(menu, id, by_position != FALSE);
  if (!item) return FALSE;
  if (info->fMask & MIIM_TYPE) {
    info->fType = item->type;
    if (item->type == MFT_STRING) {
      // With no buffer only the length is reported; otherwise the text is cut to fit.
      if (info->dwTypeData && info->cch > 0) {
        size_t n = std::min(item->text.size(), static_cast<size_t>(info->cch - 1));
        std::memcpy(info->dwTypeData, item->text.data(), n * sizeof(WCHAR));
        info->dwTypeData[n] = 0;
        info->cch = static_cast<UINT>(n);
      } else {
        info->cch = static_cast<UINT>(item->text.size());
      }
    }
  }
  if (info->fMask & MIIM_STATE) info->fState = item->state;
  if (info->fMask & MIIM_ID) info->wID = item->id;
  if (info->fMask & MIIM_SUBMENU) info->hSubMenu = item->submenu;
  if (info->fMask & MIIM_DATA) info->dwItemData = item->data;
  if (info->fMask & MIIM_CHECKMARKS) info->hbmpChecked = info->hbmpUnchecked = nullptr;
  return TRUE;
}

namespace {

void ApplyInfo(MenuItem& item, const MENUITEMINFOW& info) {
  if (info.fMask & MIIM_TYPE) {
    item.type = info.fType;
    if (info.fType == MFT_STRING) item.text = info.dwTypeData ? info.dwTypeData : u"";
  }
  if (info.fMask & MIIM_STATE) item.state = info.fState;
  if (info.fMask & MIIM_ID) item.id = info.wID;
  if (info.fMask & MIIM_SUBMENU) item.submenu = info.hSubMenu;
  if (info.fMask & MIIM_DATA) item.data = info.dwItemData;
}

}  // namespace

BOOL SetMenuItemInfoW(HMENU menu, UINT id, BOOL by_position, LPCMENUITEMINFOW info) {
  if (!info) return FALSE;
  return Menus().Update(menu, id, by_position != FALSE,
                        [&](MenuItem& item) { ApplyInfo(item, *info); })
             ? TRUE
             : FALSE;
}

BOOL InsertMenuItemW(HMENU menu, UINT id, BOOL by_position, LPCMENUITEMINFOW info) {
  if (!info || !Menus().Exists(menu)) return FALSE;
  MenuItem item;
  ApplyInfo(item, *info);
  HMENU target = menu;
  size_t index = InsertPosition(menu, id, by_position ? MF_BYPOSITION : MF_BYCOMMAND, &target);
  if (index == static_cast<size_t>(-1) && !by_position) index = static_cast<size_t>(-1);
  return Menus().Insert(target, index, std::move(item)) ? TRUE : FALSE;
}

DWORD EnableMenuItem(HMENU menu, UINT id, UINT enable) {
  UINT previous = static_cast<UINT>(-1);
  Menus().Update(menu, id, (enable & MF_BYPOSITION) != 0, [&](MenuItem& item) {
    previous = item.state & (MF_GRAYED | MF_DISABLED);
    item.state = (item.state & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  });
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT id, UINT check) {
  UINT previous = static_cast<UINT>(-1);
  Menus().Update(menu, id, (check & MF_BYPOSITION) != 0, [&](MenuItem& item) {
    previous = item.state & MF_CHECKED;
    item.state = (item.state & ~MF_CHECKED) | (check & MF_CHECKED);
  });
  return previous;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
  bool by_position = (flags & MF_BYPOSITION) != 0;
  bool found = false;
  for (UINT i = first; i <= last; ++i) {
    found |= Menus().Update(menu, i, by_position, [&](MenuItem& item) {
      if (i == check) {
        item.state |= MF_CHECKED;
        item.type |= MFT_RADIOCHECK;
      } else {
        item.state &= ~MF_CHECKED;
      }
    });
    if (i == last) break;
  }
  return found ? TRUE : FALSE;
}

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS) {
  if (!Menus().Exists(menu)) return MenuFails();
  if (!IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!(flags & TPM_NONOTIFY)) {
    SendMessageW(owner, WM_ENTERMENULOOP, TRUE, 0);
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  }
  pellix::device::windows::OpenMenuSnapshot snapshot;
  snapshot.menu = menu;
  snapshot.owner = owner;
  snapshot.position = POINT{x, y};
  for (const MenuItem& item : Menus().Items(menu))
    snapshot.items.push_back(
        {item.submenu ? 0u : item.id,
         static_cast<UINT>(item.state | (item.type & MF_SEPARATOR) | (item.submenu ? MF_POPUP : 0)),
         item.text});
  std::optional<UINT> chosen = pellix::device::Person::Get().ChooseFromMenu(snapshot);
  if (!(flags & TPM_NONOTIFY)) SendMessageW(owner, WM_EXITMENULOOP, TRUE, 0);
  if (!chosen) return FALSE;
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(*chosen);
  PostMessageW(owner, WM_COMMAND, MAKEWPARAM(*chosen, 0), 0);
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL EndMenu() {
  if (pellix::device::Person::Get().OpenMenu())
    pellix::device::Person::Get().AnswerMenu(pellix::device::MenuAnswer::Cancel());
  return TRUE;
}
