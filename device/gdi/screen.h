// Screen: the handheld's framebuffer, the desktop under every window, the retained surface of
// each window, and composition. Composition happens on demand (a read of the screen DC, a
// screenshot): desktop first, then the visible windows bottom to top, each clipped by its
// ancestors' client areas and window regions and by its own window region.
//
// A device component. REQUIRES: the GDI table's lock for every call (surfaces are shared
// with the device contexts that draw into them).
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR
#include <optional>
#include <unordered_map>

#include <windows.h>

#include "gdi/region.h"
#include "gdi/surface.h"
#include "gdi/window_view.h"
#include "kernel/result.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::gdi {

class Screen {
 public:
  explicit Screen(Device& device);

  int width() const { return framebuffer_.width(); }
  int height() const { return framebuffer_.height(); }
  // Height of the title bar along the top and of the soft-key bar along the bottom.
  int title_bar_height() const { return title_bar_height_; }
  int soft_key_bar_height() const { return soft_key_bar_height_; }

  // Composes the screen and returns it.
  const Surface& Compose();
  // The framebuffer as last composed; drawing on the screen DC goes here and lasts until the
  // next composition.
  Surface& framebuffer() { return framebuffer_; }
  const Surface& desktop();

  // The retained surface of a window, sized to its window rectangle: created on first use,
  // recreated (filled with the background brush) when the size changed.
  Surface& WindowSurface(const WindowInfo& window);
  void DropWindow(HWND hwnd);
  // The window and its descendants composed over black, sized to its window rectangle.
  Result<Surface> CaptureWindow(HWND hwnd);

  // ---- Damage ----
  // What may have changed on the screen since the last TakeDamage: the places drawn on (in
  // screen coordinates), and every window whose place, shape or visibility changed. Watchers
  // of the screen (the console) compose only when there is damage, and only send what the
  // damaged area really changed.
  void AddDamage(const Rect& screen_rect);
  // Takes the damage collected so far, including the windows whose geometry changed since the
  // last call, clipped to the screen. Empty when nothing changed.
  Region TakeDamage();

  // The part of the screen where `window` shows, in screen coordinates, given the visible
  // list it belongs to (ancestors' client areas and window regions, its own region).
  static Region VisibleRegion(const WindowInfo& window, const std::vector<WindowInfo>& all);

 private:
  void DrawDesktop(int dpi);
  void DrawTitle(Surface& target, std::u16string_view title);
  const std::u16string* ApplicationTitle(const std::vector<WindowInfo>& windows) const;
  void ComposeWindows(Surface& target, const std::vector<WindowInfo>& windows, int origin_x,
                      int origin_y);

  Surface framebuffer_;
  Surface desktop_;
  int dpi_ = 96;
  int title_bar_height_ = 0;
  int soft_key_bar_height_ = 0;
  std::unordered_map<HWND, Surface> windows_;
  Region damage_;
  // The visible windows as TakeDamage last saw them, to find the ones that moved, changed
  // shape, appeared or went away. Damage is kept only once TakeDamage was first called.
  std::vector<WindowInfo> last_layout_;
  bool layout_seen_ = false;
  std::optional<std::u16string> last_title_;  // the application title TakeDamage last saw
};

Screen& TheScreen();

}  // namespace pellix::device::gdi
