// Helpers shared by the files that implement the SDK's graphics calls (gdi_api_*.cpp): the
// table lock, handle lookups and the platform's last-error reporting.
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR

#include <windows.h>

#include <mutex>

#include "gdi/bitmap.h"
#include "gdi/device_context.h"
#include "gdi/gdi_objects.h"

namespace pellix::device::gdi {

// The screen's depth as the platform reports it (GetDeviceCaps BITSPIXEL, device bitmaps).
inline constexpr int kScreenBitsPerPixel = 16;

// Holds the GDI lock for the duration of one SDK call.
class ApiLock {
 public:
  ApiLock() : table_(Gdi()), lock_(table_.mutex()) {}
  GdiTable& table() { return table_; }

 private:
  GdiTable& table_;
  std::lock_guard<std::recursive_mutex> lock_;
};

inline Rect ToRect(const RECT& r) { return Rect{r.left, r.top, r.right, r.bottom}; }
inline RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Region type codes of the region calls.
inline int RegionType(const Region& r) {
  return r.IsEmpty() ? NULLREGION : r.Rects().size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// The font a context draws with.
Font CurrentFont(ApiLock& api, const DeviceContext& dc);

}  // namespace pellix::device::gdi
