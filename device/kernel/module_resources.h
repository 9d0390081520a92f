// Reading the resources a module carries: finding one by type and id through the module's
// instance handle, and decoding the two binary forms the resource compiler emits (menu
// templates and device-independent bitmaps). The decoders take untrusted bytes: they check
// every length and never read past the data they are given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <libloader.h>
#include <pellixres.h>

#include "kernel/result.h"

namespace pellix::device {

// The resource of `type` (an RT_ number) and `id` in the module, or null. The data stays
// valid while the module is loaded. A null module means the host program, which has none.
const PELLIX_RESOURCE* FindModuleResource(HMODULE module, uint16_t type, uint16_t id);

// Menu item flags as a template stores them.
namespace menu_flags {
inline constexpr uint16_t kGrayed = 0x0001;
inline constexpr uint16_t kDisabled = 0x0002;
inline constexpr uint16_t kChecked = 0x0008;
inline constexpr uint16_t kPopup = 0x0010;
inline constexpr uint16_t kEnd = 0x0080;
inline constexpr uint16_t kSeparator = 0x0800;
}  // namespace menu_flags

struct MenuTemplateItem {
  uint16_t flags = 0;  // as stored, without kEnd
  uint16_t id = 0;     // 0 for pop-ups
  std::u16string text;
  std::vector<MenuTemplateItem> children;  // pop-ups only

  // A plain item with id 0 and no text is how a template spells a separator.
  bool is_separator() const {
    return (flags & menu_flags::kSeparator) ||
           (!(flags & menu_flags::kPopup) && id == 0 && text.empty());
  }
};

// Parses a menu template into its top-level items. Pop-ups nest at most kMaxMenuDepth deep.
inline constexpr int kMaxMenuDepth = 16;
Result<std::vector<MenuTemplateItem>> ParseMenuTemplate(std::span<const uint8_t> data);

// Something a menu template can be built into: the window manager's menus for LoadMenuW,
// or a recorder in tests. Handles are opaque to the walk.
class MenuSink {
 public:
  virtual ~MenuSink() = default;
  virtual void* CreateBar() = 0;
  virtual void* CreatePopup() = 0;
  virtual bool AppendItem(void* menu, uint16_t flags, uint16_t id, const std::u16string& text) = 0;
  virtual bool AppendPopup(void* menu, void* popup, uint16_t flags, const std::u16string& text) = 0;
  virtual bool AppendSeparator(void* menu) = 0;
  virtual void Destroy(void* menu) = 0;
};

// Builds `items` into a new bar from `sink`; on failure destroys what it made and returns null.
void* BuildMenu(const std::vector<MenuTemplateItem>& items, MenuSink& sink);

// A decoded bitmap: top-down rows of 0xAARRGGBB pixels (alpha 0xFF unless the data had one).
struct DibImage {
  int width = 0;
  int height = 0;
  int bits_per_pixel = 0;  // as stored
  std::vector<uint32_t> pixels;
};

// Largest picture a resource may describe, in pixels per side and in all.
inline constexpr int kMaxDibSide = 4096;
inline constexpr int64_t kMaxDibPixels = 4 * 1024 * 1024;
// Decodes a device-independent bitmap (BITMAPINFOHEADER, colour table, pixels): 1, 4, 8, 16,
// 24 and 32 bits per pixel, uncompressed, rows bottom-up or (negative height) top-down.
Result<DibImage> ParseDib(std::span<const uint8_t> data);

// Scales by nearest neighbour; `width` and `height` must be at least 1.
DibImage ScaleDib(const DibImage& image, int width, int height);

}  // namespace pellix::device
