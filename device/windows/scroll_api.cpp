// coredll: a window's own scroll bars (WS_HSCROLL / WS_VSCROLL) and scrolling its contents.
// Scroll bar controls (SB_CTL) are not offered.
#include <algorithm>

#include "windows/window_system.h"

using pellix::device::windows::ScrollBarState;
using pellix::device::windows::WindowSystem;

namespace {

constexpr int kNullRegion = 1;
constexpr int kSimpleRegion = 2;

bool ValidBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

// The page never exceeds the range and the position stays where a full page still fits.
void Clamp(ScrollBarState& s) {
  long long range = static_cast<long long>(s.max) - s.min + 1;
  if (range < 0) range = 0;
  if (static_cast<long long>(s.page) > range) s.page = static_cast<UINT>(range);
  long long top = static_cast<long long>(s.max) - std::max<long long>(static_cast<long long>(s.page) - 1, 0);
  if (top < s.min) top = s.min;
  s.pos = static_cast<int>(std::clamp<long long>(s.pos, s.min, top));
}

}  // namespace

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
  if (!info || !ValidBar(bar)) return 0;
  int pos = 0;
  bool ok = WindowSystem::Get().With(hwnd, [&](auto& w) {
    ScrollBarState& s = w.scroll[bar];
    if (info->fMask & SIF_RANGE) {
      s.min = info->nMin;
      s.max = info->nMax;
    }
    if (info->fMask & SIF_PAGE) s.page = info->nPage;
    if (info->fMask & SIF_POS) s.pos = info->nPos;
    Clamp(s);
    s.track_pos = s.pos;
    pos = s.pos;
  });
  if (!ok) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
  return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
  if (!info || !ValidBar(bar) || !(info->fMask & SIF_ALL)) return FALSE;
  bool ok = WindowSystem::Get().With(hwnd, [&](auto& w) {
    const ScrollBarState& s = w.scroll[bar];
    if (info->fMask & SIF_RANGE) {
      info->nMin = s.min;
      info->nMax = s.max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s.page;
    if (info->fMask & SIF_POS) info->nPos = s.pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.track_pos;
  });
  if (!ok) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return ok ? TRUE : FALSE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  if (!ValidBar(bar)) return 0;
  int previous = 0;
  bool ok = WindowSystem::Get().With(hwnd, [&](auto& w) {
    ScrollBarState& s = w.scroll[bar];
    previous = s.pos;
    s.pos = pos;
    Clamp(s);
    s.track_pos = s.pos;
  });
  if (!ok) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
  return previous;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO info{sizeof(info), SIF_POS, 0, 0, 0, 0, 0};
  return GetScrollInfo(hwnd, bar, &info) ? info.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
  SCROLLINFO info{sizeof(info), SIF_RANGE, min, max, 0, 0, 0};
  return ValidBar(bar) && IsWindow(hwnd) ? (SetScrollInfo(hwnd, bar, &info, redraw), TRUE) : FALSE;
}

BOOL GetScrollRange(HWND hwnd, int bar, LPINT min, LPINT max) {
  SCROLLINFO info{sizeof(info), SIF_RANGE, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(hwnd, bar, &info)) return FALSE;
  if (min) *min = info.nMin;
  if (max) *max = info.nMax;
  return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  DWORD bits = bar == SB_HORZ ? WS_HSCROLL : bar == SB_VERT ? WS_VSCROLL
               : bar == SB_BOTH ? (WS_HSCROLL | WS_VSCROLL) : 0;
  if (!bits || !IsWindow(hwnd)) return FALSE;
  DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  DWORD next = show ? (style | bits) : (style & ~bits);
  if (next != style) {
    SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(next));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
  bool ok = WindowSystem::Get().With(hwnd, [&](auto& w) {
    for (int b = SB_HORZ; b <= SB_VERT; ++b)
      if (static_cast<UINT>(b) == bar || bar == SB_BOTH) w.scroll[b].enabled = arrows != ESB_DISABLE_BOTH;
  });
  return ok ? TRUE : FALSE;
}

// The window's own pixels are not moved: with retained window surfaces the uncovered area is
// simply painted again when SW_INVALIDATE asks for it. Children move with SW_SCROLLCHILDREN.
int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN,
                   LPRECT update, UINT flags) {
  RECT area{};
  if (!GetClientRect(hwnd, &area)) return 0;
  if (scroll) IntersectRect(&area, &area, scroll);
  if (clip) IntersectRect(&area, &area, clip);
  if (flags & SW_SCROLLCHILDREN) (void)WindowSystem::Get().ScrollChildren(hwnd, dx, dy);
  // The strip that the moved contents uncover.
  RECT uncovered{};
  if (dy > 0) uncovered = RECT{area.left, area.top, area.right, std::min(area.bottom, area.top + dy)};
  else if (dy < 0) uncovered = RECT{area.left, std::max(area.top, area.bottom + dy), area.right, area.bottom};
  if (dx != 0) {
    RECT strip = dx > 0 ? RECT{area.left, area.top, std::min(area.right, area.left + dx), area.bottom}
                        : RECT{std::max(area.left, area.right + dx), area.top, area.right, area.bottom};
    UnionRect(&uncovered, &uncovered, &strip);
  }
  if (update) *update = uncovered;
  if (flags & SW_INVALIDATE) InvalidateRect(hwnd, &area, (flags & SW_ERASE) ? TRUE : FALSE);
  return IsRectEmpty(&uncovered) ? kNullRegion : kSimpleRegion;
}
