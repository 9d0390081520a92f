// The frame around a window's client area: borders, caption and scroll bars, from its styles.
// The sizes are those the system metrics report (SM_CXBORDER, SM_CXDLGFRAME, SM_CYCAPTION,
// SM_CXVSCROLL, SM_CYHSCROLL, SM_CXEDGE).
//
// A window with WS_CAPTION shows its title in a caption bar across its top; with WS_SYSMENU
// the bar ends in a close box, a square as tall as the bar. A tap on the close box closes the
// window (WM_NCLBUTTONUP HTCLOSE -> WM_SYSCOMMAND SC_CLOSE -> WM_CLOSE, in DefWindowProcW).
#pragma once

#include <windows.h>

namespace pellix::device::windows {

struct NonClientInsets {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

NonClientInsets InsetsFor(DWORD style, DWORD ex_style);

// The caption bar and its close box in window coordinates (empty when the window has none)
// for a window `width` pixels wide.
RECT CaptionRect(DWORD style, DWORD ex_style, int width);
RECT CloseBoxRect(DWORD style, DWORD ex_style, int width);

// What lies at `point` (window coordinates) of a window of the given size: HTCLIENT,
// HTCAPTION, HTCLOSE, HTVSCROLL, HTBORDER, or HTNOWHERE outside it.
int NonClientHit(DWORD style, DWORD ex_style, int width, int height, POINT point);
// The same for a point on the screen and a real window.
int HitTestWindow(HWND hwnd, POINT screen_point);

// Draws the caption bar of a window with WS_CAPTION (nothing for others): title on the
// caption colour and, with WS_SYSMENU, the close box.
void PaintCaption(HWND hwnd);

}  // namespace pellix::device::windows
