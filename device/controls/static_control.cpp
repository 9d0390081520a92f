// The "STATIC" control: a text, or with SS_BITMAP a picture set with STM_SETIMAGE, and with
// SS_NOTIFY a click told to the parent as WM_COMMAND STN_CLICKED.
//
// The control draws the bitmap it is given but never owns it: the program deletes it after
// destroying the control (or after replacing it, with the handle STM_SETIMAGE hands back).
#include <windows.h>

#include "windows/system_classes.h"

namespace {

constexpr int kImageSlot = 0;  // the window's extra bytes: the image handle

HBITMAP ImageOf(HWND hwnd) { return reinterpret_cast<HBITMAP>(GetWindowLongPtrW(hwnd, kImageSlot)); }

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

void Notify(HWND hwnd, WORD code) {
  if (!(Style(hwnd) & SS_NOTIFY)) return;
  HWND parent = GetParent(hwnd);
  if (parent)
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& client, bool centered) {
  BITMAP info{};
  if (GetObjectType(bitmap) != OBJ_BITMAP || !GetObjectW(bitmap, sizeof info, &info)) return;
  HDC memory = CreateCompatibleDC(dc);
  // Refused while the program has the bitmap selected elsewhere: nothing to draw then.
  HGDIOBJ old = SelectObject(memory, bitmap);
  if (old) {
    const int x = centered ? (client.right - info.bmWidth) / 2 : 0;
    const int y = centered ? (client.bottom - info.bmHeight) / 2 : 0;
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
  }
  DeleteDC(memory);
}

void DrawLabel(HWND hwnd, HDC dc, RECT client, DWORD style) {
  WCHAR text[256];
  const int length = GetWindowTextW(hwnd, text, 256);
  if (length <= 0) return;
  UINT format = DT_NOPREFIX;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER: format |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: format |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_LEFTNOWORDWRAP: format |= DT_LEFT | DT_SINGLELINE; break;
    default: format |= DT_LEFT | DT_WORDBREAK; break;
  }
  if (style & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, IsWindowEnabled(hwnd) ? GetSysColor(COLOR_STATICTEXT) : GetSysColor(COLOR_GRAYTEXT));
  DrawTextW(dc, text, length, &client, format);
}

void Paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  // The parent may choose the background, as for every static control.
  HWND parent = GetParent(hwnd);
  HBRUSH brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                                reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(hwnd)))
                        : nullptr;
  FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_STATIC));
  const DWORD style = Style(hwnd);
  if ((style & SS_TYPEMASK) == SS_BITMAP) DrawBitmap(dc, ImageOf(hwnd), client, (style & SS_CENTERIMAGE) != 0);
  else DrawLabel(hwnd, dc, client, style);
  EndPaint(hwnd, &ps);
}

LRESULT SetImage(HWND hwnd, WPARAM type, LPARAM image) {
  if ((Style(hwnd) & SS_TYPEMASK) != SS_BITMAP || type != IMAGE_BITMAP) return 0;
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(image);
  BITMAP info{};
  if (bitmap && (GetObjectType(bitmap) != OBJ_BITMAP || !GetObjectW(bitmap, sizeof info, &info))) return 0;
  const LONG_PTR previous = SetWindowLongPtrW(hwnd, kImageSlot, image);
  // Without SS_CENTERIMAGE the control takes the picture's size.
  if (bitmap && !(Style(hwnd) & SS_CENTERIMAGE))
    SetWindowPos(hwnd, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd, nullptr, TRUE);
  return previous;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole in WM_PAINT
    case STM_SETIMAGE:
      return SetImage(hwnd, wParam, lParam);
    case STM_GETIMAGE:
      return wParam == IMAGE_BITMAP && (Style(hwnd) & SS_TYPEMASK) == SS_BITMAP ? GetWindowLongPtrW(hwnd, kImageSlot) : 0;
    case WM_LBUTTONDOWN:
      Notify(hwnd, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      Notify(hwnd, STN_DBLCLK);
      return 0;
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT result = DefWindowProcW(hwnd, message, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

const bool kRegistered = [] {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = StaticProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = u"STATIC";
  return pellix::device::windows::AddSystemClass(wc);
}();

}  // namespace
