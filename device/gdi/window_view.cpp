#include "gdi/window_view.h"

#include <atomic>

namespace pellix::device::gdi {
namespace {

class NoWindows final : public WindowView {
 public:
  std::vector<WindowInfo> VisibleWindows() override { return {}; }
  std::optional<WindowInfo> Find(HWND) override { return std::nullopt; }
  UpdateArea TakeUpdateRegion(HWND) override { return {}; }
  bool HasUpdateRegion(HWND) override { return false; }
};

NoWindows no_windows;
std::atomic<WindowView*> installed{nullptr};

}  // namespace

void SetWindowView(WindowView* view) { installed.store(view); }

WindowView& Windows() {
  WindowView* view = installed.load();
  return view ? *view : no_windows;
}

}  // namespace pellix::device::gdi
