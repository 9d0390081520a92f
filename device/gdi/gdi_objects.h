// The GDI handle table: every HBITMAP, HBRUSH, HPEN, HFONT, HRGN and HDC the device hands
// out, mapped to its engine object. Handles are small numbers, never addresses, so a stale or
// forged handle is looked up and refused rather than dereferenced.
//
// Threads: one table per device (a device component); all access goes through its lock.
// Objects are held by shared_ptr, so a context's saved states (SaveDC) keep what they name
// alive. DeleteObject refuses an object that a context has selected, as the platform does.
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "gdi/font_engine.h"
#include "gdi/region.h"
#include "gdi/surface.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::gdi {

class Bitmap;
class DeviceContext;

enum class ObjectKind { kBitmap, kBrush, kPen, kFont, kRegion };

struct GdiObject {
  explicit GdiObject(ObjectKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  const ObjectKind kind;
  bool stock = false;  // stock objects ignore DeleteObject
};

struct BrushObject : GdiObject {
  explicit BrushObject(std::optional<Pixel> c) : GdiObject(ObjectKind::kBrush), color(c) {}
  std::optional<Pixel> color;  // none: the null (hollow) brush
};

struct PenObject : GdiObject {
  PenObject(std::optional<Pixel> c, int w) : GdiObject(ObjectKind::kPen), color(c), width(w) {}
  std::optional<Pixel> color;  // none: the null pen
  int width;
};

struct FontObject : GdiObject {
  explicit FontObject(Font f) : GdiObject(ObjectKind::kFont), font(f) {}
  Font font;
};

struct RegionObject : GdiObject {
  explicit RegionObject(Region r) : GdiObject(ObjectKind::kRegion), region(std::move(r)) {}
  Region region;
};

class GdiTable {
 public:
  explicit GdiTable(Device& device);
  ~GdiTable();

  // The lock every graphics call holds while it works on objects and surfaces.
  std::recursive_mutex& mutex() { return mutex_; }

  HGDIOBJ Add(std::shared_ptr<GdiObject> object);
  std::shared_ptr<GdiObject> Find(HGDIOBJ handle) const;
  // Handle of an object still in the table (for SelectObject's return value); null if gone.
  HGDIOBJ HandleOf(const GdiObject* object) const;
  // Removes the handle; false for unknown handles and stock objects.
  bool Remove(HGDIOBJ handle);
  HGDIOBJ Stock(int index) const;

  template <typename T>
  std::shared_ptr<T> FindAs(HGDIOBJ handle, ObjectKind kind) const {
    auto object = Find(handle);
    if (!object || object->kind != kind) return nullptr;
    return std::static_pointer_cast<T>(object);
  }

  // Device contexts live in slots that are reused: a deleted context's slot keeps its storage
  // for the next one, and its handle carries the slot's generation, so a stale handle is
  // refused rather than reaching the context that reuses the slot.
  HDC AddDC(DeviceContext dc);
  DeviceContext* FindDC(HDC hdc) const;
  bool RemoveDC(HDC hdc);
  // Whether a context other than `except` has `object` selected now (its bitmap, brush, pen
  // or font; states kept by SaveDC do not count). Stock objects are shared and never are.
  bool IsSelected(const GdiObject& object, const DeviceContext* except = nullptr) const;

  // The system font at the profile's dots per inch.
  Font SystemFont() const { return system_font_; }
  // The 1x1 monochrome bitmap a new memory context holds.
  std::shared_ptr<Bitmap> DefaultBitmap() const { return default_bitmap_; }

 private:
  mutable std::recursive_mutex mutex_;
  std::unordered_map<uintptr_t, std::shared_ptr<GdiObject>> objects_;
  std::unordered_map<const GdiObject*, uintptr_t> handles_;
  struct DcSlot {
    std::unique_ptr<DeviceContext> dc;  // kept while free, for the next context
    uint32_t generation = 0;
    bool in_use = false;
  };
  DcSlot* SlotOf(HDC hdc) const;
  std::vector<DcSlot> dc_slots_;
  std::vector<uint32_t> free_dc_slots_;
  uintptr_t next_ = 0x1000;
  HGDIOBJ stock_[16] = {};
  Font system_font_;
  std::shared_ptr<Bitmap> default_bitmap_;
};

// The table of the booted device.
GdiTable& Gdi();

// ---- The window system's view of graphics objects ----

// The region behind an HRGN, or null. The pointer lives until the handle is deleted.
const Region* RegionFromHandle(HRGN region);
// Makes the region behind `handle` a copy of `value`: its region type, or ERROR for a handle
// that is no region.
int AssignRegion(HRGN handle, const Region& value);
// The colour a brush paints, or none for the null brush and unknown handles. Accepts the
// platform's system colour brushes written as (HBRUSH)(COLOR_xxx + 1).
std::optional<Pixel> BrushColor(HBRUSH brush);
// The colour of a system colour index (COLOR_WINDOW, ...); black for unknown indexes.
Pixel SystemColor(int index);
// The brush of a system colour (GetSysColorBrush); null for unknown indexes.
std::shared_ptr<BrushObject> SystemColorBrush(int index);
bool SetSystemColor(int index, Pixel color);

}  // namespace pellix::device::gdi
