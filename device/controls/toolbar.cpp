// The common controls toolbar, "ToolbarWindow32": a row (or, with TBSTYLE_WRAPABLE, rows) of
// picture buttons. Pictures are added with TB_ADDBITMAP and copied, so the program may free its
// bitmap afterwards; buttons with TB_ADDBUTTONSW. A tap on an enabled button sends the parent
// WM_COMMAND with the button's identifier and the toolbar's handle.
//
// Layout choices where the platform leaves room:
//  - a button is never narrower than its picture and the 7 x 6 pixels of padding around it,
//    whatever TB_SETBUTTONSIZE and TB_SETBUTTONWIDTH ask, so pictures never overlap;
//  - a wrapable toolbar keeps its width: TB_SETROWS spreads the buttons over more rows than
//    they need when asked to, and over as many more as the width requires when allowed to.
// The state is the device's, reached through the window's extra bytes; it belongs to the
// window's thread.
#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "kernel/device.h"
#include "windows/system_classes.h"

namespace {

constexpr int kStateSlot = 0;
constexpr size_t kMaxButtons = 1024;
constexpr size_t kMaxImages = 1024;
constexpr int kPadX = 7, kPadY = 6;  // around a button's picture
constexpr int kDivider = 2;          // the line above a toolbar without CCS_NODIVIDER

struct Button {
  int image = 0;
  int command = 0;
  BYTE state = 0;
  BYTE style = 0;
  DWORD_PTR data = 0;
};

struct Toolbar {
  size_t button_struct_size = 0;  // 0 until TB_BUTTONSTRUCTSIZE: the host's record
  SIZE button_size{24, 22};
  SIZE bitmap_size{16, 15};
  int min_width = 0, max_width = 0;
  int indent = 0;
  int rows_wanted = 1;
  bool more_rows = true;
  std::vector<Button> buttons;
  std::vector<HBITMAP> images;  // the toolbar's own copies, one per picture
  int pressed = -1;             // the button held down, by index

  // Where each button lies (client coordinates; empty for hidden ones), and the row count.
  std::vector<RECT> rects;
  int rows = 0;
};

// Every toolbar's state, owned by the device: a toolbar still open when the device shuts down
// (which destroys no windows) goes with it. The window's extra bytes point into it.
struct Toolbars {
  explicit Toolbars(pellix::device::Device&) {}
  std::mutex mutex;
  std::unordered_map<HWND, std::unique_ptr<Toolbar>> all;
};

Toolbars& AllToolbars() { return pellix::device::Device::Get().Component<Toolbars>(); }

Toolbar* StateOf(HWND hwnd) {
  auto* state = reinterpret_cast<Toolbar*>(GetWindowLongPtrW(hwnd, kStateSlot));
  if (!state && IsWindow(hwnd)) {
    auto owned = std::make_unique<Toolbar>();
    state = owned.get();
    {
      Toolbars& toolbars = AllToolbars();
      std::lock_guard lock(toolbars.mutex);
      toolbars.all[hwnd] = std::move(owned);
    }
    SetWindowLongPtrW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(state));
  }
  return state;
}

void Forget(HWND hwnd) {
  std::unique_ptr<Toolbar> state;
  {
    Toolbars& toolbars = AllToolbars();
    std::lock_guard lock(toolbars.mutex);
    auto it = toolbars.all.find(hwnd);
    if (it == toolbars.all.end()) return;
    state = std::move(it->second);
    toolbars.all.erase(it);
  }
  for (HBITMAP image : state->images) DeleteObject(image);
}

SIZE ButtonSize(const Toolbar& t) {
  int width = std::max<int>({t.button_size.cx, t.min_width, t.bitmap_size.cx + kPadX});
  if (t.max_width > 0) width = std::min(width, std::max<int>(t.max_width, t.bitmap_size.cx + kPadX));
  return SIZE{width, std::max<int>(t.button_size.cy, t.bitmap_size.cy + kPadY)};
}

bool IsSeparator(const Button& b) { return (b.style & TBSTYLE_SEP) != 0; }

void Layout(HWND hwnd, Toolbar& t) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  RECT client{};
  GetClientRect(hwnd, &client);
  const SIZE size = ButtonSize(t);
  const bool wrap = (style & TBSTYLE_WRAPABLE) != 0;
  const int top = (style & CCS_NODIVIDER) ? 0 : kDivider;

  size_t visible = 0;
  for (const Button& b : t.buttons)
    if (!(b.state & TBSTATE_HIDDEN)) ++visible;
  // How many buttons a row holds: as many as fit, or fewer when more rows are wanted.
  size_t per_row = visible ? visible : 1;
  if (wrap) {
    const int fit = std::max<int>(1, (client.right - t.indent) / std::max<int>(1, size.cx));
    per_row = static_cast<size_t>(fit);
    if (t.rows_wanted > 1 && visible > 0) {
      const size_t spread = (visible + static_cast<size_t>(t.rows_wanted) - 1) / static_cast<size_t>(t.rows_wanted);
      if (spread < per_row || !t.more_rows) per_row = std::min(per_row, spread);
    }
  }

  t.rects.assign(t.buttons.size(), RECT{0, 0, 0, 0});
  int x = t.indent, row = 0;
  size_t in_row = 0;
  for (size_t i = 0; i < t.buttons.size(); ++i) {
    const Button& b = t.buttons[i];
    if (b.state & TBSTATE_HIDDEN) continue;
    const int width = IsSeparator(b) ? (b.image > 0 ? b.image : 8) : size.cx;
    const bool full = in_row >= per_row || (wrap && in_row > 0 && x + width > client.right);
    if (in_row > 0 && (full || (i > 0 && (t.buttons[i - 1].state & TBSTATE_WRAP)))) {
      ++row;
      x = t.indent;
      in_row = 0;
    }
    t.rects[i] = RECT{x, top + row * size.cy, x + width, top + (row + 1) * size.cy};
    x += width;
    ++in_row;
  }
  t.rows = visible ? row + 1 : 0;
}

int ButtonAt(const Toolbar& t, POINT p) {
  for (size_t i = 0; i < t.rects.size(); ++i) {
    const RECT& r = t.rects[i];
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return static_cast<int>(i);
  }
  return -1;
}

int IndexOf(const Toolbar& t, int command) {
  for (size_t i = 0; i < t.buttons.size(); ++i)
    if (t.buttons[i].command == command) return static_cast<int>(i);
  return -1;
}

// Copies `count` pictures of the toolbar's picture size from the left of `source`.
LRESULT AddBitmap(Toolbar& t, int count, const TBADDBITMAP* add) {
  if (!add || add->hInst || count <= 0 || t.images.size() + static_cast<size_t>(count) > kMaxImages) return -1;
  HBITMAP source = reinterpret_cast<HBITMAP>(add->nID);
  BITMAP info{};
  if (GetObjectType(source) != OBJ_BITMAP || !GetObjectW(source, sizeof info, &info)) return -1;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
  HGDIOBJ old_from = SelectObject(from, source);
  LRESULT first = -1;
  if (old_from) {  // refused while the program has it selected elsewhere
    first = static_cast<LRESULT>(t.images.size());
    const RECT cell{0, 0, t.bitmap_size.cx, t.bitmap_size.cy};
    for (int i = 0; i < count; ++i) {
      HBITMAP copy = CreateCompatibleBitmap(screen, t.bitmap_size.cx, t.bitmap_size.cy);
      HGDIOBJ old_to = SelectObject(to, copy);
      FillRect(to, &cell, GetSysColorBrush(COLOR_BTNFACE));
      BitBlt(to, 0, 0, t.bitmap_size.cx, t.bitmap_size.cy, from, i * t.bitmap_size.cx, 0, SRCCOPY);
      SelectObject(to, old_to);
      t.images.push_back(copy);
    }
    SelectObject(from, old_from);
  }
  DeleteDC(from);
  DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return first;
}

LRESULT AddButtons(HWND hwnd, Toolbar& t, size_t count, const void* records) {
  // The records are this host's TBBUTTON, whether the program named the platform's size or ours.
  const size_t size = t.button_struct_size;
  if (size != 0 && size != TBBUTTON_PLATFORM_SIZE && size != sizeof(TBBUTTON)) return FALSE;
  if (!records || count == 0 || t.buttons.size() + count > kMaxButtons) return FALSE;
  const auto* in = static_cast<const TBBUTTON*>(records);
  for (size_t i = 0; i < count; ++i)
    t.buttons.push_back(Button{in[i].iBitmap, in[i].idCommand, in[i].fsState, in[i].fsStyle, in[i].dwData});
  Layout(hwnd, t);
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

LRESULT GetButtonInfo(Toolbar& t, int command, TBBUTTONINFOW* info) {
  if (!info || (info->cbSize != TBBUTTONINFO_PLATFORM_SIZE && info->cbSize != sizeof(TBBUTTONINFOW))) return -1;
  const int index = IndexOf(t, command);
  if (index < 0) return -1;
  const Button& b = t.buttons[static_cast<size_t>(index)];
  if (info->dwMask & TBIF_COMMAND) info->idCommand = b.command;
  if (info->dwMask & TBIF_IMAGE) info->iImage = b.image;
  if (info->dwMask & TBIF_STATE) info->fsState = b.state;
  if (info->dwMask & TBIF_STYLE) info->fsStyle = b.style;
  if (info->dwMask & TBIF_LPARAM) info->lParam = b.data;
  if (info->dwMask & TBIF_SIZE) info->cx = static_cast<WORD>(ButtonSize(t).cx);
  if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) info->pszText[0] = 0;  // no labels
  return index;
}

// The toolbar's height for its rows, and for CCS_TOP the width of its parent, at its top.
void AutoSize(HWND hwnd, Toolbar& t) {
  const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  if (style & CCS_NORESIZE) return;
  RECT window{}, client{};
  GetWindowRect(hwnd, &window);
  GetClientRect(hwnd, &client);
  const int frame_x = (window.right - window.left) - client.right;
  const int frame_y = (window.bottom - window.top) - client.bottom;
  int width = window.right - window.left;
  HWND parent = GetParent(hwnd);
  RECT area{};
  const bool align = parent && !(style & CCS_NOPARENTALIGN) && GetClientRect(parent, &area);
  if (align) width = area.right;
  // Lay out at the width it will have, then take the height its rows need.
  SetWindowPos(hwnd, nullptr, 0, 0, width, window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout(hwnd, t);
  const int top = (style & CCS_NODIVIDER) ? 0 : kDivider;
  const int height = top + t.rows * ButtonSize(t).cy + frame_y;
  (void)frame_x;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  POINT at{0, 0};
  if (!align || (style & CCS_NOMOVEY)) {
    flags |= SWP_NOMOVE;
  } else if ((style & CCS_BOTTOM) == CCS_BOTTOM) {
    at.y = area.bottom - height;
  }
  SetWindowPos(hwnd, nullptr, at.x, at.y, width, height, flags);
  Layout(hwnd, t);
}

void Paint(HWND hwnd, Toolbar& t) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc) return;
  RECT client{};
  GetClientRect(hwnd, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  HDC memory = CreateCompatibleDC(dc);
  for (size_t i = 0; i < t.buttons.size(); ++i) {
    const Button& b = t.buttons[i];
    const RECT& r = t.rects[i];
    if ((b.state & TBSTATE_HIDDEN) || IsSeparator(b)) continue;
    const bool down = (b.state & TBSTATE_PRESSED) != 0;
    if (down) {
      // A pressed button sinks: shadow above and left, light below and right.
      RECT edge{r.left, r.top, r.right, r.top + 1};
      FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
      edge = RECT{r.left, r.top, r.left + 1, r.bottom};
      FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
      edge = RECT{r.left, r.bottom - 1, r.right, r.bottom};
      FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
      edge = RECT{r.right - 1, r.top, r.right, r.bottom};
      FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    }
    if (b.image < 0 || static_cast<size_t>(b.image) >= t.images.size()) continue;
    HGDIOBJ old = SelectObject(memory, t.images[static_cast<size_t>(b.image)]);
    if (!old) continue;
    const int x = r.left + (r.right - r.left - t.bitmap_size.cx) / 2 + (down ? 1 : 0);
    const int y = r.top + (r.bottom - r.top - t.bitmap_size.cy) / 2 + (down ? 1 : 0);
    BitBlt(dc, x, y, t.bitmap_size.cx, t.bitmap_size.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
  }
  DeleteDC(memory);
  EndPaint(hwnd, &ps);
}

void Invalidate(HWND hwnd, Toolbar& t) {
  Layout(hwnd, t);
  InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CALLBACK ToolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCDESTROY) {
    Forget(hwnd);
    SetWindowLongPtrW(hwnd, kStateSlot, 0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  Toolbar* t = StateOf(hwnd);
  if (!t) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case TB_BUTTONSTRUCTSIZE:
      t->button_struct_size = static_cast<size_t>(wParam);
      return 0;
    case TB_SETBUTTONSIZE:
      t->button_size = SIZE{std::max(1, static_cast<int>(LOWORD(lParam))), std::max(1, static_cast<int>(HIWORD(lParam)))};
      Invalidate(hwnd, *t);
      return TRUE;
    case TB_SETBITMAPSIZE:
      // Only before the first picture: the copies already made have the old size.
      if (!t->images.empty()) return FALSE;
      t->bitmap_size = SIZE{std::max(1, static_cast<int>(LOWORD(lParam))), std::max(1, static_cast<int>(HIWORD(lParam)))};
      Invalidate(hwnd, *t);
      return TRUE;
    case TB_SETBUTTONWIDTH:
      t->min_width = LOWORD(lParam);
      t->max_width = HIWORD(lParam);
      Invalidate(hwnd, *t);
      return TRUE;
    case TB_GETBUTTONSIZE: {
      const SIZE size = ButtonSize(*t);
      return MAKELONG(size.cx, size.cy);
    }
    case TB_SETINDENT:
      t->indent = std::max(0, static_cast<int>(wParam));
      Invalidate(hwnd, *t);
      return TRUE;
    case TB_AUTOSIZE:
      AutoSize(hwnd, *t);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case TB_ADDBITMAP:
      return AddBitmap(*t, static_cast<int>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_ADDBUTTONSW:
      return AddButtons(hwnd, *t, static_cast<size_t>(wParam), reinterpret_cast<const void*>(lParam));
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(t->buttons.size());
    case TB_GETBUTTON: {
      auto* out = reinterpret_cast<TBBUTTON*>(lParam);
      if (!out || wParam >= t->buttons.size()) return FALSE;
      const Button& b = t->buttons[wParam];
      *out = TBBUTTON{};
      out->iBitmap = b.image;
      out->idCommand = b.command;
      out->fsState = b.state;
      out->fsStyle = b.style;
      out->dwData = b.data;
      return TRUE;
    }
    case TB_COMMANDTOINDEX:
      return IndexOf(*t, static_cast<int>(wParam));
    case TB_GETBUTTONINFOW:
      return GetButtonInfo(*t, static_cast<int>(wParam), reinterpret_cast<TBBUTTONINFOW*>(lParam));
    case TB_GETITEMRECT: {
      auto* out = reinterpret_cast<RECT*>(lParam);
      Layout(hwnd, *t);
      if (!out || wParam >= t->buttons.size() || (t->buttons[wParam].state & TBSTATE_HIDDEN)) return FALSE;
      *out = t->rects[wParam];
      return TRUE;
    }
    case TB_SETROWS: {
      t->rows_wanted = std::max(1, static_cast<int>(LOWORD(wParam)));
      t->more_rows = HIWORD(wParam) != 0;
      Invalidate(hwnd, *t);
      if (auto* bound = reinterpret_cast<RECT*>(lParam)) {
        *bound = RECT{0, 0, 0, 0};
        for (const RECT& r : t->rects) {
          bound->right = std::max(bound->right, r.right);
          bound->bottom = std::max(bound->bottom, r.bottom);
        }
      }
      return 0;
    }
    case TB_GETROWS:
      Layout(hwnd, *t);
      return t->rows;
    case TB_ENABLEBUTTON:
    case TB_SETSTATE: {
      const int index = IndexOf(*t, static_cast<int>(wParam));
      if (index < 0) return FALSE;
      BYTE& state = t->buttons[static_cast<size_t>(index)].state;
      if (message == TB_SETSTATE) state = static_cast<BYTE>(LOWORD(lParam));
      else state = static_cast<BYTE>(LOWORD(lParam) ? (state | TBSTATE_ENABLED) : (state & ~TBSTATE_ENABLED));
      Invalidate(hwnd, *t);
      return TRUE;
    }
    case TB_GETSTATE: {
      const int index = IndexOf(*t, static_cast<int>(wParam));
      return index < 0 ? -1 : t->buttons[static_cast<size_t>(index)].state;
    }
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      Layout(hwnd, *t);
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_PAINT:
      Layout(hwnd, *t);
      Paint(hwnd, *t);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN: {
      Layout(hwnd, *t);
      const int index = ButtonAt(*t, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (index < 0) return 0;
      Button& b = t->buttons[static_cast<size_t>(index)];
      if (!(b.state & TBSTATE_ENABLED) || IsSeparator(b)) return 0;
      b.state |= TBSTATE_PRESSED;
      t->pressed = index;
      SetCapture(hwnd);
      InvalidateRect(hwnd, &t->rects[static_cast<size_t>(index)], TRUE);
      return 0;
    }
    case WM_LBUTTONUP: {
      const int index = t->pressed;
      if (index < 0) return 0;
      t->pressed = -1;
      if (GetCapture() == hwnd) ReleaseCapture();
      if (static_cast<size_t>(index) >= t->buttons.size()) return 0;
      Button& b = t->buttons[static_cast<size_t>(index)];
      b.state &= static_cast<BYTE>(~TBSTATE_PRESSED);
      InvalidateRect(hwnd, &t->rects[static_cast<size_t>(index)], TRUE);
      // A press that ends off the button is taken back.
      const POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      if (ButtonAt(*t, p) != index) return 0;
      if (HWND parent = GetParent(hwnd))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(b.command, 0), reinterpret_cast<LPARAM>(hwnd));
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

const bool kRegistered = [] {
  WNDCLASSW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ToolbarProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.lpszClassName = TOOLBARCLASSNAMEW;
  return pellix::device::windows::AddSystemClass(wc);
}();

}  // namespace

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  // The classes exist from boot on; only the record is checked, as the platform does.
  return init && init->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
