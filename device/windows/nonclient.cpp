#include "windows/nonclient.h"

#include "winsysinfo.h"

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

}  // namespace pellix::device::windows
