#include "windows/nonclient.h"

#include <algorithm>

#include "winsysinfo.h"
#include "windows/window_system.h"

namespace pellix::device::windows {

NonClientInsets InsetsFor(DWORD style, DWORD ex_style) {
  int frame = 0;
  if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_CAPTION) == WS_BORDER)
    frame = GetSystemMetrics(SM_CXBORDER);
  else if (style & WS_DLGFRAME)
    frame = GetSystemMetrics(SM_CXDLGFRAME);
  if (ex_style & WS_EX_CLIENTEDGE) frame += GetSystemMetrics(SM_CXEDGE);
  NonClientInsets insets{frame, frame, frame, frame};
  if ((style & WS_CAPTION) == WS_CAPTION) insets.top += GetSystemMetrics(SM_CYCAPTION);
  if (style & WS_VSCROLL) insets.right += GetSystemMetrics(SM_CXVSCROLL);
  if (style & WS_HSCROLL) insets.bottom += GetSystemMetrics(SM_CYHSCROLL);
  return insets;
}

RECT CaptionRect(DWORD style, DWORD ex_style, int width) {
  if ((style & WS_CAPTION) != WS_CAPTION) return RECT{0, 0, 0, 0};
  const NonClientInsets insets = InsetsFor(style & ~(WS_VSCROLL | WS_HSCROLL), ex_style);
  const int top = insets.top - GetSystemMetrics(SM_CYCAPTION);
  return RECT{insets.left, top, std::max<int>(insets.left, width - insets.right), insets.top};
}

RECT CloseBoxRect(DWORD style, DWORD ex_style, int width) {
  const RECT caption = CaptionRect(style, ex_style, width);
  if (!(style & WS_SYSMENU) || caption.bottom <= caption.top) return RECT{0, 0, 0, 0};
  const int side = std::min<int>(caption.bottom - caption.top, caption.right - caption.left);
  return RECT{caption.right - side, caption.top, caption.right, caption.bottom};
}

int NonClientHit(DWORD style, DWORD ex_style, int width, int height, POINT p) {
  if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) return HTNOWHERE;
  const RECT close = CloseBoxRect(style, ex_style, width);
  if (PtInRect(&close, p)) return HTCLOSE;
  const RECT caption = CaptionRect(style, ex_style, width);
  if (PtInRect(&caption, p)) return HTCAPTION;
  const NonClientInsets insets = InsetsFor(style, ex_style);
  const RECT client{insets.left, insets.top, width - insets.right, height - insets.bottom};
  if (PtInRect(&client, p)) return HTCLIENT;
  if ((style & WS_VSCROLL) && p.x >= client.right && p.x < client.right + GetSystemMetrics(SM_CXVSCROLL) &&
      p.y >= client.top && p.y < client.bottom)
    return HTVSCROLL;
  return HTBORDER;
}

int HitTestWindow(HWND hwnd, POINT screen_point) {
  RECT window{};
  if (!GetWindowRect(hwnd, &window)) return HTNOWHERE;
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  const DWORD ex_style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
  return NonClientHit(style, ex_style, window.right - window.left, window.bottom - window.top,
                      POINT{screen_point.x - window.left, screen_point.y - window.top});
}

void PaintCaption(HWND hwnd) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  if ((style & WS_CAPTION) != WS_CAPTION) return;
  const DWORD ex_style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE));
  RECT window{};
  if (!GetWindowRect(hwnd, &window)) return;
  const int width = window.right - window.left;
  RECT caption = CaptionRect(style, ex_style, width);
  if (IsRectEmpty(&caption)) return;
  HDC dc = GetWindowDC(hwnd);
  if (!dc) return;
  FillRect(dc, &caption, GetSysColorBrush(COLOR_ACTIVECAPTION));
  const RECT close = CloseBoxRect(style, ex_style, width);

  // The system's own record of the title: the window procedure need not answer WM_GETTEXT.
  const std::u16string title = WindowSystem::Get().Text(hwnd).value_or(u"");
  const int length = static_cast<int>(std::min<size_t>(title.size(), 256));
  if (length > 0) {
    HGDIOBJ old_font = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    const int pad = std::max(2, (caption.bottom - caption.top) / 6);
    RECT text{caption.left + pad, caption.top, IsRectEmpty(&close) ? caption.right : close.left, caption.bottom};
    DrawTextW(dc, title.c_str(), length, &text, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old_font);
  }
  if (!IsRectEmpty(&close)) {
    // An "x" in the middle of the square, half its size, two pixels thick per 26 of height.
    const int side = close.bottom - close.top;
    const int inset = side / 4;
    HPEN pen = CreatePen(PS_SOLID, std::max(1, side / 13), GetSysColor(COLOR_CAPTIONTEXT));
    HGDIOBJ old_pen = SelectObject(dc, pen);
    MoveToEx(dc, close.left + inset, close.top + inset, nullptr);
    LineTo(dc, close.right - inset, close.bottom - inset);
    MoveToEx(dc, close.right - inset - 1, close.top + inset, nullptr);
    LineTo(dc, close.left + inset - 1, close.bottom - inset);
    SelectObject(dc, old_pen);
    DeleteObject(pen);
  }
  ReleaseDC(hwnd, dc);
}

}  // namespace pellix::device::windows
