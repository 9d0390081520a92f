// Menus: the HMENU handle table and the items of each menu. Menus belong to no thread; every
// operation takes the table's lock and returns copies, so a menu may be built on one thread
// and tracked on another.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

namespace pellix::device {
class Device;
}

namespace pellix::device::windows {

struct MenuItem {
  UINT type = MFT_STRING;  // MFT_STRING, MFT_SEPARATOR, MFT_BITMAP, MFT_OWNERDRAW, MFT_RADIOCHECK
  UINT state = 0;          // MFS_GRAYED, MF_DISABLED, MFS_CHECKED, MFS_DEFAULT
  UINT id = 0;
  HMENU submenu = nullptr;
  std::u16string text;
  DWORD data = 0;
};

struct Menu {
  bool popup = false;
  std::vector<MenuItem> items;
};

// Where an item is: its menu and its position there.
struct ItemLocation {
  HMENU menu = nullptr;
  size_t index = 0;
};

class MenuTable {
 public:
  explicit MenuTable(Device& device);
  static MenuTable& Get();

  HMENU Create(bool popup);
  // Destroys the menu and every submenu it holds.
  bool Destroy(HMENU menu);
  bool Exists(HMENU menu);
  // Runs `fn` on the menu under the lock; false for a handle that is not a menu.
  bool With(HMENU menu, const std::function<void(Menu&)>& fn);
  // By position (MF_BYPOSITION) in `menu`, or by command id searched through submenus.
  std::optional<ItemLocation> Locate(HMENU menu, UINT item, bool by_position);
  std::optional<MenuItem> Item(HMENU menu, UINT item, bool by_position);
  bool Update(HMENU menu, UINT item, bool by_position, const std::function<void(MenuItem&)>& fn);
  // Inserts before `position` (or at the end when it is past the last item).
  bool Insert(HMENU menu, size_t position, MenuItem item);
  // Removes an item; its submenu is destroyed when `destroy_submenu`.
  bool Remove(HMENU menu, UINT item, bool by_position, bool destroy_submenu);
  std::vector<MenuItem> Items(HMENU menu);

 private:
  void DestroyLocked(HMENU menu);  // REQUIRES: mutex_
  std::optional<ItemLocation> LocateLocked(HMENU menu, UINT item, bool by_position, int depth);

  std::mutex mutex_;
  std::unordered_map<uintptr_t, std::unique_ptr<Menu>> menus_;
  uintptr_t next_handle_ = 0x20004;
};

// The text a person reads on a menu item: without the "&" mnemonic marks and the accelerator
// text after a tab.
std::u16string VisibleMenuText(std::u16string_view text);

}  // namespace pellix::device::windows
