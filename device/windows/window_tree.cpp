#include "windows/window_tree.h"

#include "gdi/window_view.h"

#include "person/person.h"
#include "windows/window_system.h"

namespace pellix::device::windows {
namespace {

gdi::Rect ToRect(const RECT& r) { return gdi::Rect{r.left, r.top, r.right, r.bottom}; }

gdi::WindowInfo ToInfo(WindowSnapshot& s) {
  return gdi::WindowInfo{s.hwnd, s.parent, ToRect(s.window_rect), ToRect(s.client_rect),
                         std::move(s.region), s.background, s.visible, std::move(s.text)};
}

// What the graphics engine reads, installed while the window system exists.
class SystemWindowView final : public gdi::WindowView {
 public:
  std::vector<gdi::WindowInfo> VisibleWindows() override {
    std::vector<gdi::WindowInfo> out;
    for (WindowSnapshot& s : windows::VisibleWindows()) out.push_back(ToInfo(s));
    return out;
  }
  std::optional<gdi::WindowInfo> Find(HWND hwnd) override {
    // Without the class name, which would be copied for nothing at every paint.
    auto s = WindowSystem::Get().Snapshot(hwnd, false);
    if (!s) return std::nullopt;
    return ToInfo(*s);
  }
  gdi::UpdateArea TakeUpdateRegion(HWND hwnd) override {
    auto area = windows::TakeUpdateRegion(hwnd);
    if (!area) return {};
    return gdi::UpdateArea{std::move(area->region), area->erase};
  }
  bool HasUpdateRegion(HWND hwnd) override { return windows::HasUpdateRegion(hwnd); }
};

SystemWindowView g_view;

}  // namespace

void InstallWindowView(bool install) { gdi::SetWindowView(install ? &g_view : nullptr); }


std::vector<WindowSnapshot> VisibleWindows() { return WindowSystem::Get().Visible(); }

std::optional<WindowSnapshot> SnapshotOf(HWND hwnd) { return WindowSystem::Get().Snapshot(hwnd); }

std::optional<UpdateArea> TakeUpdateRegion(HWND hwnd) { return WindowSystem::Get().TakeUpdate(hwnd); }

bool HasUpdateRegion(HWND hwnd) { return WindowSystem::Get().HasUpdate(hwnd); }

HWND WindowFromScreenPoint(POINT screen_point) { return WindowSystem::Get().HitTest(screen_point); }

int AddWindowListener(WindowListener listener) {
  return WindowSystem::Get().AddListener(std::move(listener));
}

void RemoveWindowListener(int id) { WindowSystem::Get().RemoveListener(id); }

std::optional<OpenMenuSnapshot> OpenMenu() { return Person::Get().OpenMenu(); }

}  // namespace pellix::device::windows
