#include "windows/menu.h"

#include "kernel/device.h"

namespace pellix::device::windows {

std::u16string VisibleMenuText(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\t') break;
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') out += u'&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

MenuTable::MenuTable(Device&) {}

MenuTable& MenuTable::Get() { return Device::Get().Component<MenuTable>(); }

HMENU MenuTable::Create(bool popup) {
  std::lock_guard lock(mutex_);
  auto menu = std::make_unique<Menu>();
  menu->popup = popup;
  uintptr_t handle = next_handle_;
  next_handle_ += 4;
  menus_[handle] = std::move(menu);
  return reinterpret_cast<HMENU>(handle);
}

void MenuTable::DestroyLocked(HMENU handle) {
  auto it = menus_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == menus_.end()) return;
  std::unique_ptr<Menu> menu = std::move(it->second);
  menus_.erase(it);
  for (const MenuItem& item : menu->items)
    if (item.submenu) DestroyLocked(item.submenu);
}

bool MenuTable::Destroy(HMENU menu) {
  std::lock_guard lock(mutex_);
  if (!menus_.count(reinterpret_cast<uintptr_t>(menu))) return false;
  DestroyLocked(menu);
  return true;
}

bool MenuTable::Exists(HMENU menu) {
  std::lock_guard lock(mutex_);
  return menus_.count(reinterpret_cast<uintptr_t>(menu)) != 0;
}

bool MenuTable::With(HMENU handle, const std::function<void(Menu&)>& fn) {
  std::lock_guard lock(mutex_);
  auto it = menus_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == menus_.end()) return false;
  fn(*it->second);
  return true;
}

std::optional<ItemLocation> MenuTable::LocateLocked(HMENU handle, UINT item, bool by_position,
                                                    int depth) {
  auto it = menus_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == menus_.end() || depth > 16) return std::nullopt;
  const std::vector<MenuItem>& items = it->second->items;
  if (by_position) {
    if (item >= items.size()) return std::nullopt;
    return ItemLocation{handle, item};
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].submenu) {
      if (auto found = LocateLocked(items[i].submenu, item, false, depth + 1)) return found;
    } else if (items[i].id == item && !(items[i].type & MFT_SEPARATOR)) {
      return ItemLocation{handle, i};
    }
  }
  return std::nullopt;
}

std::optional<ItemLocation> MenuTable::Locate(HMENU menu, UINT item, bool by_position) {
  std::lock_guard lock(mutex_);
  return LocateLocked(menu, item, by_position, 0);
}

std::optional<MenuItem> MenuTable::Item(HMENU menu, UINT item, bool by_position) {
  std::lock_guard lock(mutex_);
  auto where = LocateLocked(menu, item, by_position, 0);
  if (!where) return std::nullopt;
  return menus_[reinterpret_cast<uintptr_t>(where->menu)]->items[where->index];
}

bool MenuTable::Update(HMENU menu, UINT item, bool by_position,
                       const std::function<void(MenuItem&)>& fn) {
  std::lock_guard lock(mutex_);
  auto where = LocateLocked(menu, item, by_position, 0);
  if (!where) return false;
  fn(menus_[reinterpret_cast<uintptr_t>(where->menu)]->items[where->index]);
  return true;
}

bool MenuTable::Insert(HMENU handle, size_t position, MenuItem item) {
  std::lock_guard lock(mutex_);
  auto it = menus_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == menus_.end()) return false;
  if (item.submenu && !menus_.count(reinterpret_cast<uintptr_t>(item.submenu))) return false;
  std::vector<MenuItem>& items = it->second->items;
  position = std::min(position, items.size());
  items.insert(items.begin() + static_cast<long>(position), std::move(item));
  return true;
}

bool MenuTable::Remove(HMENU menu, UINT item, bool by_position, bool destroy_submenu) {
  std::lock_guard lock(mutex_);
  auto where = LocateLocked(menu, item, by_position, 0);
  if (!where) return false;
  std::vector<MenuItem>& items = menus_[reinterpret_cast<uintptr_t>(where->menu)]->items;
  HMENU submenu = items[where->index].submenu;
  items.erase(items.begin() + static_cast<long>(where->index));
  if (destroy_submenu && submenu) DestroyLocked(submenu);
  return true;
}

std::vector<MenuItem> MenuTable::Items(HMENU handle) {
  std::lock_guard lock(mutex_);
  auto it = menus_.find(reinterpret_cast<uintptr_t>(handle));
  return it == menus_.end() ? std::vector<MenuItem>{} : it->second->items;
}

}  // namespace pellix::device::windows
