// The frame around a window's client area: borders, caption and scroll bars, from its styles.
// The sizes are those the system metrics report (SM_CXBORDER, SM_CXDLGFRAME, SM_CYCAPTION,
// SM_CXVSCROLL, SM_CYHSCROLL, SM_CXEDGE).
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

}  // namespace pellix::device::windows
