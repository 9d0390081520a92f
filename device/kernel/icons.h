// Icons and cursors: pictures with alpha that the shell draws (a notification's icon) and
// the screen shows (the cursor). Handles are owned by this table; icons loaded from a module
// are shared per module and id, as the platform shares them, and outlive DestroyIcon.
//
// Threads: all members may be called from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <windef.h>

namespace pellix::device {

class Device;

struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // top-down 0xAARRGGBB
  std::string name;              // system pictures: "IDC_WAIT", "IDI_APPLICATION", ...
};

class IconTable {
 public:
  explicit IconTable(Device& device);

  // A new icon handle for `image`; `shared` ones survive DestroyIcon.
  HICON Add(std::shared_ptr<const IconImage> image, bool shared);
  // The module icon `id`, made once per module by `make` and shared afterwards.
  HICON ModuleIcon(HMODULE module, uint16_t id,
                   const std::function<std::shared_ptr<const IconImage>()>& make);
  // IDC_ / IDI_ pictures of the system by number (32512...); null for an unknown one.
  HCURSOR SystemCursor(uint16_t id);
  HICON SystemIcon(uint16_t id);
  bool Destroy(HICON icon);
  std::shared_ptr<const IconImage> Find(HICON icon) const;

  // The cursor the screen shows; null until one is set.
  HCURSOR SetCurrentCursor(HCURSOR cursor);
  HCURSOR current_cursor() const;

 private:
  struct Entry {
    std::shared_ptr<const IconImage> image;
    bool shared = false;
  };
  mutable std::mutex mutex_;  // guards everything below
  std::map<uintptr_t, Entry> icons_;
  std::map<std::pair<uintptr_t, uint16_t>, HICON> module_icons_;
  std::map<uint16_t, HICON> system_cursors_;
  std::map<uint16_t, HICON> system_icons_;
  uintptr_t next_handle_ = 0x00C10000;
  HCURSOR current_cursor_ = nullptr;
};

// The booted device's icons and cursors.
IconTable& Icons();

// The picture of an icon or cursor handle, or null; for the shell and the screen.
std::shared_ptr<const IconImage> IconFromHandle(HICON icon);
// The cursor the screen shows now, and its system name ("IDC_WAIT") or "" for another.
HCURSOR CurrentCursor();
std::string CursorName(HCURSOR cursor);

}  // namespace pellix::device
