#include <algorithm>

#include "gdi/bitmap.h"
#include "gdi/device_context.h"
#include "gdi/gdi_api.h"
#include "gdi/gdi_objects.h"
#include "kernel/device.h"

namespace pellix::device::gdi {
namespace {

constexpr int kSystemColorCount = 29;

// The device's colour scheme: a blue caption, light grey controls, white windows.
constexpr Pixel kDefaultSystemColors[kSystemColorCount] = {
    0xC0C0C0,  // COLOR_SCROLLBAR
    0x3A6EA5,  // COLOR_BACKGROUND
    0x0038A8,  // COLOR_ACTIVECAPTION
    0x808080,  // COLOR_INACTIVECAPTION
    0xFFFFFF,  // COLOR_MENU
    0xFFFFFF,  // COLOR_WINDOW
    0x000000,  // COLOR_WINDOWFRAME
    0x000000,  // COLOR_MENUTEXT
    0x000000,  // COLOR_WINDOWTEXT
    0xFFFFFF,  // COLOR_CAPTIONTEXT
    0xC0C0C0,  // COLOR_ACTIVEBORDER
    0xC0C0C0,  // COLOR_INACTIVEBORDER
    0x808080,  // COLOR_APPWORKSPACE
    0x0038A8,  // COLOR_HIGHLIGHT
    0xFFFFFF,  // COLOR_HIGHLIGHTTEXT
    0xD6D3CE,  // COLOR_BTNFACE
    0x808080,  // COLOR_BTNSHADOW
    0x808080,  // COLOR_GRAYTEXT
    0x000000,  // COLOR_BTNTEXT
    0xC0C0C0,  // COLOR_INACTIVECAPTIONTEXT
    0xFFFFFF,  // COLOR_BTNHIGHLIGHT
    0x000000,  // COLOR_3DDKSHADOW
    0xE0E0E0,  // COLOR_3DLIGHT
    0x000000,  // COLOR_INFOTEXT
    0xFFFFE1,  // COLOR_INFOBK
    0xD6D3CE,  // COLOR_STATIC
    0x000000,  // COLOR_STATICTEXT
    0x0038A8,  // COLOR_GRADIENTACTIVECAPTION
    0x808080,  // COLOR_GRADIENTINACTIVECAPTION
};

// Handles below this value are not table entries: (HBRUSH)(COLOR_xxx + 1) lives there.
constexpr uintptr_t kFirstHandle = 0x1000;

struct SystemColors {
  explicit SystemColors(Device&) { std::copy(std::begin(kDefaultSystemColors),
                                             std::end(kDefaultSystemColors), colors); }
  Pixel colors[kSystemColorCount];
  std::shared_ptr<BrushObject> brushes[kSystemColorCount];
};

SystemColors& Colors() { return Device::Get().Component<SystemColors>(); }
PELLIX_BOOT_COMPONENT(SystemColors);

}  // namespace

GdiTable::GdiTable(Device& device) {
  auto stock = [this](int index, std::shared_ptr<GdiObject> object) {
    object->stock = true;
    stock_[index] = Add(std::move(object));
  };
  stock(WHITE_BRUSH, std::make_shared<BrushObject>(0xFFFFFF));
  stock(LTGRAY_BRUSH, std::make_shared<BrushObject>(0xC0C0C0));
  stock(GRAY_BRUSH, std::make_shared<BrushObject>(0x808080));
  stock(DKGRAY_BRUSH, std::make_shared<BrushObject>(0x404040));
  stock(BLACK_BRUSH, std::make_shared<BrushObject>(0x000000));
  stock(NULL_BRUSH, std::make_shared<BrushObject>(std::nullopt));
  stock(WHITE_PEN, std::make_shared<PenObject>(0xFFFFFF, 1));
  stock(BLACK_PEN, std::make_shared<PenObject>(0x000000, 1));
  stock(NULL_PEN, std::make_shared<PenObject>(std::nullopt, 1));
  // The system font: 12 pixels at 96 dots per inch, scaled with the screen's density.
  system_font_ = Font{FontStyle::kRegular, std::max(1, 12 * device.profile().dpi / 96)};
  stock(SYSTEM_FONT, std::make_shared<FontObject>(system_font_));
  // The bitmap every memory context starts with.
  default_bitmap_ = std::move(Bitmap::CreateMonochrome(1, 1, nullptr).value());
  default_bitmap_->stock = true;
  Add(default_bitmap_);
}

GdiTable::~GdiTable() = default;

HGDIOBJ GdiTable::Add(std::shared_ptr<GdiObject> object) {
  std::lock_guard lock(mutex_);
  const uintptr_t handle = next_;
  next_ += 4;
  handles_[object.get()] = handle;
  objects_[handle] = std::move(object);
  return reinterpret_cast<HGDIOBJ>(handle);
}

std::shared_ptr<GdiObject> GdiTable::Find(HGDIOBJ handle) const {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  return it == objects_.end() ? nullptr : it->second;
}

HGDIOBJ GdiTable::HandleOf(const GdiObject* object) const {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(object);
  return it == handles_.end() ? nullptr : reinterpret_cast<HGDIOBJ>(it->second);
}

bool GdiTable::Remove(HGDIOBJ handle) {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
  if (it == objects_.end() || it->second->stock) return false;
  handles_.erase(it->second.get());
  objects_.erase(it);
  return true;
}

HGDIOBJ GdiTable::Stock(int index) const {
  return index >= 0 && index < 16 ? stock_[index] : nullptr;
}

// Context handles live above the object handles: kDcHandleBase + 4 * (generation * kMaxDcs +
// slot). Generations wrap after kDcGenerations reuses of one slot.
constexpr uintptr_t kDcHandleBase = 0x40000000;
constexpr uint32_t kMaxDcs = 4096;
constexpr uint32_t kDcGenerations = 4096;

HDC GdiTable::AddDC(DeviceContext dc) {
  std::lock_guard lock(mutex_);
  uint32_t index;
  if (!free_dc_slots_.empty()) {
    index = free_dc_slots_.back();
    free_dc_slots_.pop_back();
    *dc_slots_[index].dc = std::move(dc);
  } else {
    if (dc_slots_.size() >= kMaxDcs) return nullptr;
    index = static_cast<uint32_t>(dc_slots_.size());
    dc_slots_.push_back(DcSlot{std::make_unique<DeviceContext>(std::move(dc))});
    // Room for every slot to be freed, so that deleting a context never allocates.
    free_dc_slots_.reserve(dc_slots_.capacity());
  }
  DcSlot& slot = dc_slots_[index];
  slot.in_use = true;
  return reinterpret_cast<HDC>(kDcHandleBase + 4 * (uintptr_t{slot.generation} * kMaxDcs + index));
}

GdiTable::DcSlot* GdiTable::SlotOf(HDC hdc) const {
  const uintptr_t value = reinterpret_cast<uintptr_t>(hdc);
  if (value < kDcHandleBase || (value - kDcHandleBase) % 4 != 0) return nullptr;
  const uintptr_t n = (value - kDcHandleBase) / 4;
  const uintptr_t index = n % kMaxDcs, generation = n / kMaxDcs;
  if (index >= dc_slots_.size()) return nullptr;
  auto& slot = const_cast<DcSlot&>(dc_slots_[index]);
  return slot.in_use && slot.generation == generation ? &slot : nullptr;
}

DeviceContext* GdiTable::FindDC(HDC hdc) const {
  std::lock_guard lock(mutex_);
  DcSlot* slot = SlotOf(hdc);
  return slot ? slot->dc.get() : nullptr;
}

bool GdiTable::IsSelected(const GdiObject& object, const DeviceContext* except) const {
  std::lock_guard lock(mutex_);
  if (object.stock) return false;
  for (const DcSlot& slot : dc_slots_) {
    const DeviceContext* dc = slot.dc.get();
    if (!slot.in_use || dc == except) continue;
    if (dc->bitmap.get() == &object || dc->brush.get() == &object || dc->pen.get() == &object ||
        dc->font.get() == &object)
      return true;
  }
  return false;
}

bool GdiTable::RemoveDC(HDC hdc) {
  std::lock_guard lock(mutex_);
  DcSlot* slot = SlotOf(hdc);
  if (!slot) return false;
  // Drop what the context holds now, so that its bitmap can be selected elsewhere.
  *slot->dc = DeviceContext::Screen();
  slot->in_use = false;
  slot->generation = (slot->generation + 1) % kDcGenerations;
  free_dc_slots_.push_back(static_cast<uint32_t>(slot - dc_slots_.data()));
  return true;
}

GdiTable& Gdi() { return Device::Get().Component<GdiTable>(); }
PELLIX_BOOT_COMPONENT(GdiTable);

const Region* RegionFromHandle(HRGN handle) {
  auto region = Gdi().FindAs<RegionObject>(handle, ObjectKind::kRegion);
  return region ? &region->region : nullptr;
}

int AssignRegion(HRGN handle, const Region& value) {
  std::lock_guard lock(Gdi().mutex());
  auto region = Gdi().FindAs<RegionObject>(handle, ObjectKind::kRegion);
  if (!region) return ERROR;
  region->region = value;
  return RegionType(value);
}

std::optional<Pixel> BrushColor(HBRUSH handle) {
  const auto value = reinterpret_cast<uintptr_t>(handle);
  if (value > 0 && value <= kSystemColorCount) return SystemColor(static_cast<int>(value - 1));
  if (value < kFirstHandle) return std::nullopt;
  auto brush = Gdi().FindAs<BrushObject>(handle, ObjectKind::kBrush);
  return brush ? brush->color : std::nullopt;
}

Pixel SystemColor(int index) {
  if (index < 0 || index >= kSystemColorCount) return 0;
  std::lock_guard lock(Gdi().mutex());
  return Colors().colors[index];
}

// System colour brushes are made on first use and follow later colour changes.
std::shared_ptr<BrushObject> SystemColorBrush(int index) {
  if (index < 0 || index >= kSystemColorCount) return nullptr;
  std::lock_guard lock(Gdi().mutex());
  auto& brush = Colors().brushes[index];
  if (!brush) {
    brush = std::make_shared<BrushObject>(Colors().colors[index]);
    brush->stock = true;
    Gdi().Add(brush);
  }
  return brush;
}

bool SetSystemColor(int index, Pixel color) {
  if (index < 0 || index >= kSystemColorCount) return false;
  std::lock_guard lock(Gdi().mutex());
  Colors().colors[index] = color;
  if (Colors().brushes[index]) Colors().brushes[index]->color = color;
  return true;
}

}  // namespace pellix::device::gdi
