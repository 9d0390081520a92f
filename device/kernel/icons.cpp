#include "kernel/icons.h"

#include <functional>

#include "kernel/device.h"

namespace pellix::device {

namespace {

struct SystemPicture {
  uint16_t id;
  const char* name;
};
constexpr SystemPicture kCursors[] = {
    {32512, "IDC_ARROW"}, {32513, "IDC_IBEAM"},   {32514, "IDC_WAIT"},
    {32515, "IDC_CROSS"}, {32516, "IDC_UPARROW"}, {32650, "IDC_APPSTARTING"},
};
constexpr SystemPicture kIcons[] = {
    {32512, "IDI_APPLICATION"}, {32513, "IDI_HAND"},     {32514, "IDI_QUESTION"},
    {32515, "IDI_EXCLAMATION"}, {32516, "IDI_ASTERISK"},
};

// A plain 32 x 32 picture for a system cursor or icon: a black outline on white, with a
// transparent border, enough to be seen on a screenshot.
std::shared_ptr<const IconImage> SystemPictureImage(const char* name) {
  auto image = std::make_shared<IconImage>();
  image->width = image->height = 32;
  image->name = name;
  image->pixels.assign(32 * 32, 0);
  for (int y = 4; y < 28; ++y)
    for (int x = 4; x < 28; ++x) {
      bool edge = x == 4 || y == 4 || x == 27 || y == 27 || x == y || x + y == 31;
      image->pixels[y * 32 + x] = edge ? 0xFF000000u : 0xFFFFFFFFu;
    }
  return image;
}

}  // namespace

IconTable::IconTable(Device&) {}

HICON IconTable::Add(std::shared_ptr<const IconImage> image, bool shared) {
  std::lock_guard lock(mutex_);
  uintptr_t handle = next_handle_;
  next_handle_ += 4;
  icons_[handle] = Entry{std::move(image), shared};
  return reinterpret_cast<HICON>(handle);
}

HICON IconTable::ModuleIcon(HMODULE module, uint16_t id,
                            const std::function<std::shared_ptr<const IconImage>()>& make) {
  auto key = std::make_pair(reinterpret_cast<uintptr_t>(module), id);
  {
    std::lock_guard lock(mutex_);
    auto it = module_icons_.find(key);
    if (it != module_icons_.end()) return it->second;
  }
  auto image = make();
  if (!image) return nullptr;
  HICON icon = Add(std::move(image), true);
  std::lock_guard lock(mutex_);
  auto [it, inserted] = module_icons_.emplace(key, icon);
  return it->second;
}

HCURSOR IconTable::SystemCursor(uint16_t id) {
  for (const auto& c : kCursors) {
    if (c.id != id) continue;
    {
      std::lock_guard lock(mutex_);
      auto it = system_cursors_.find(id);
      if (it != system_cursors_.end()) return it->second;
    }
    HICON icon = Add(SystemPictureImage(c.name), true);
    std::lock_guard lock(mutex_);
    return system_cursors_.emplace(id, icon).first->second;
  }
  return nullptr;
}

HICON IconTable::SystemIcon(uint16_t id) {
  for (const auto& c : kIcons) {
    if (c.id != id) continue;
    {
      std::lock_guard lock(mutex_);
      auto it = system_icons_.find(id);
      if (it != system_icons_.end()) return it->second;
    }
    HICON icon = Add(SystemPictureImage(c.name), true);
    std::lock_guard lock(mutex_);
    return system_icons_.emplace(id, icon).first->second;
  }
  return nullptr;
}

bool IconTable::Destroy(HICON icon) {
  std::lock_guard lock(mutex_);
  auto it = icons_.find(reinterpret_cast<uintptr_t>(icon));
  if (it == icons_.end()) return false;
  if (!it->second.shared) icons_.erase(it);
  return true;
}

std::shared_ptr<const IconImage> IconTable::Find(HICON icon) const {
  std::lock_guard lock(mutex_);
  auto it = icons_.find(reinterpret_cast<uintptr_t>(icon));
  return it == icons_.end() ? nullptr : it->second.image;
}

HCURSOR IconTable::SetCurrentCursor(HCURSOR cursor) {
  std::lock_guard lock(mutex_);
  HCURSOR previous = current_cursor_;
  current_cursor_ = cursor;
  return previous;
}

HCURSOR IconTable::current_cursor() const {
  std::lock_guard lock(mutex_);
  return current_cursor_;
}

IconTable& Icons() { return Device::Get().Component<IconTable>(); }

std::shared_ptr<const IconImage> IconFromHandle(HICON icon) { return Icons().Find(icon); }

HCURSOR CurrentCursor() { return Icons().current_cursor(); }

std::string CursorName(HCURSOR cursor) {
  auto image = Icons().Find(cursor);
  return image ? image->name : std::string();
}

}  // namespace pellix::device
