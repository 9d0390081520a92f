// The notifications the title bar lists: a strip of icons in the screen's title bar, left of
// the signal and battery, one for each notification whose display time is over (and each icon
// notification). A tap on one displays that notification again.
//
// Threads: everything here runs on the notification manager's thread, which owns the strip's
// window.
#pragma once

#include <vector>

#include <windows.h>

namespace pellix::device::shell {

class NotificationManager;
struct NotificationKey;

// Draws `icon` scaled to a `size`-pixel square at (x, y) of the context, blended by its alpha;
// a white frame when the handle is no icon.
void DrawIconInto(HDC dc, HICON icon, int x, int y, int size);

class TitleBarIcons {
 public:
  explicit TitleBarIcons(NotificationManager& manager) : manager_(manager) {}

  // Brings the strip up to date with the manager's list; cheap when nothing changed.
  void Refresh();
  // The strip's window, or null while nothing is listed.
  HWND window() const { return window_; }

 private:
  NotificationManager& manager_;
  HWND window_ = nullptr;
  std::vector<DWORD> shown_ids_;
};

// The strip on screen, or null.
HWND TitleBarStrip();

}  // namespace pellix::device::shell
