// coredll: classes, windows, geometry, focus and activation. Thin wrappers over the
// WindowSystem; each turns the engine's error into the platform's last error.
#include <algorithm>
#include <cstring>

#include "gdi/gdi_objects.h"
#include "windows/window_system.h"

using pellix::device::Error;
using pellix::device::windows::CreateParams;
using pellix::device::windows::WindowSystem;

namespace {

WindowSystem& System() { return WindowSystem::Get(); }

template <typename T>
T Fails(const Error& error, T value) {
  SetLastError(static_cast<DWORD>(error.code));
  return value;
}

bool IsAtom(const WCHAR* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

}  // namespace

// ---- Classes --------------------------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc) return Fails(pellix::device::Fail("", ERROR_INVALID_PARAMETER), ATOM{0});
  auto result = System().RegisterClass(*wc);
  return result ? *result : Fails(result.error(), ATOM{0});
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE) {
  if (!name || IsAtom(name)) return Fails(pellix::device::Fail("", ERROR_INVALID_PARAMETER), FALSE);
  auto status = System().UnregisterClass(name);
  return status ? TRUE : Fails(status.error(), FALSE);
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR name, LPWNDCLASSW out) {
  auto cls = System().FindClass(name);
  if (!cls) return Fails(pellix::device::Fail("", ERROR_CLASS_DOES_NOT_EXIST), FALSE);
  if (out) {
    out->style = cls->style;
    out->lpfnWndProc = cls->proc;
    out->cbClsExtra = cls->class_extra;
    out->cbWndExtra = cls->window_extra;
    out->hInstance = cls->instance;
    out->hIcon = cls->icon;
    out->hCursor = cls->cursor;
    out->hbrBackground = cls->background;
    out->lpszMenuName = nullptr;
    out->lpszClassName = IsAtom(name) ? cls->name.c_str() : name;
  }
  return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR out, int max) {
  std::u16string name;
  if (!System().With(hwnd, [&](auto& w) { name = w.window_class->name; }))
    return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), 0);
  if (!out || max <= 0) return 0;
  size_t n = std::min(name.size(), static_cast<size_t>(max - 1));
  std::memcpy(out, name.data(), n * sizeof(WCHAR));
  out[n] = 0;
  return static_cast<int>(n);
}

DWORD GetClassLongW(HWND hwnd, int index) {
  DWORD value = 0;
  bool known = true;
  if (!System().With(hwnd, [&](auto& w) {
        switch (index) {
          case GCL_STYLE: value = w.window_class->style; break;
          case GCL_HBRBACKGROUND:
            value = static_cast<DWORD>(reinterpret_cast<uintptr_t>(w.window_class->background));
            break;
          default: known = false;
        }
      }))
    return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), DWORD{0});
  return known ? value : Fails(pellix::device::Fail("", ERROR_INVALID_INDEX), DWORD{0});
}

// ---- Creation and destruction ---------------------------------------------------------------

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
  if (!class_name) return Fails(pellix::device::Fail("", ERROR_INVALID_PARAMETER), HWND{});
  CreateParams p;
  p.ex_style = ex_style;
  if (IsAtom(class_name))
    p.class_atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(class_name));
  else
    p.class_name = class_name;
  if (window_name) p.text = window_name;
  p.style = style;
  p.x = x;
  p.y = y;
  p.width = width;
  p.height = height;
  p.parent = parent;
  p.menu = menu;
  p.instance = instance;
  p.param = param;
  auto result = System().CreateWindow(p);
  return result ? *result : Fails(result.error(), HWND{});
}

BOOL DestroyWindow(HWND hwnd) {
  auto status = System().DestroyWindow(hwnd);
  return status ? TRUE : Fails(status.error(), FALSE);
}

BOOL IsWindow(HWND hwnd) { return System().IsWindow(hwnd) ? TRUE : FALSE; }
BOOL IsWindowVisible(HWND hwnd) { return System().IsVisible(hwnd) ? TRUE : FALSE; }

BOOL IsWindowEnabled(HWND hwnd) {
  bool enabled = false;
  System().With(hwnd, [&](auto& w) { enabled = !(w.style & WS_DISABLED); });
  return enabled ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) { return System().IsDescendant(parent, hwnd) ? TRUE : FALSE; }

HWND GetWindow(HWND hwnd, UINT relation) {
  if (!System().IsWindow(hwnd)) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), HWND{});
  return System().Relative(hwnd, relation);
}

HWND GetParent(HWND hwnd) { return System().Parent(hwnd); }

HWND SetParent(HWND child, HWND parent) {
  auto previous = System().Reparent(child, parent);
  if (!previous) return Fails(previous.error(), HWND{});
  SetLastError(0);  // so that a null previous parent reads as success
  return *previous;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
  HWND result = nullptr;
  System().With(hwnd, [&](auto& w) {
    if (flags == GA_PARENT) {
      result = w.parent ? w.parent->handle : nullptr;
    } else {
      auto* x = &w;
      while (x->parent) x = x->parent;
      result = x->handle;
    }
  });
  return result;
}

HWND GetDesktopWindow() { return nullptr; }

HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name) {
  std::u16string cls, text;
  if (class_name && !IsAtom(class_name)) cls = class_name;
  if (window_name) text = window_name;
  return System().FindTopLevel(class_name && !IsAtom(class_name) ? &cls : nullptr,
                               window_name ? &text : nullptr);
}

HWND GetDlgItem(HWND dialog, int id) { return System().ChildWithId(dialog, id); }

int GetDlgCtrlID(HWND hwnd) {
  auto id = System().GetLong(hwnd, GWL_ID);
  return id ? static_cast<int>(*id) : Fails(id.error(), 0);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD process) {
  auto thread = System().ThreadOf(hwnd);
  if (process) *process = thread ? 1 : 0;
  return thread ? *thread : 0;
}

// ---- Window data ----------------------------------------------------------------------------

namespace {

LONG_PTR GetLong(HWND hwnd, int index, size_t width) {
  auto value = System().GetLong(hwnd, index, width);
  return value ? *value : Fails(value.error(), LONG_PTR{0});
}

LONG_PTR SetLong(HWND hwnd, int index, LONG_PTR value, size_t width) {
  auto previous = System().SetLong(hwnd, index, value, width);
  if (!previous) return Fails(previous.error(), LONG_PTR{0});
  SetLastError(0);
  return *previous;
}

}  // namespace

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return GetLong(hwnd, index, sizeof(LONG_PTR)); }

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  return SetLong(hwnd, index, value, sizeof(LONG_PTR));
}

// Procedures and pointers are cut to 32 bits here, as a LONG holds no more on this host.
LONG GetWindowLongW(HWND hwnd, int index) {
  return static_cast<LONG>(GetLong(hwnd, index, sizeof(LONG)));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetLong(hwnd, index, value, sizeof(LONG)));
}

// ---- Text -----------------------------------------------------------------------------------

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!System().IsWindow(hwnd)) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR out, int max) {
  if (!out || max <= 0) return 0;
  out[0] = 0;
  if (!System().IsWindow(hwnd)) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), 0);
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(max),
                                       reinterpret_cast<LPARAM>(out)));
}

int GetWindowTextLengthW(HWND hwnd) {
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---- Geometry -------------------------------------------------------------------------------

BOOL ShowWindow(HWND hwnd, int command) {
  auto was = System().Show(hwnd, command);
  return was ? (*was ? TRUE : FALSE) : Fails(was.error(), FALSE);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
  auto status = System().SetPosition(hwnd, nullptr, x, y, width, height, flags);
  return status ? TRUE : Fails(status.error(), FALSE);
}

BOOL SetWindowPos(HWND hwnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
  auto status = System().SetPosition(hwnd, after, x, y, cx, cy, flags);
  if (!status) return Fails(status.error(), FALSE);
  if (!(flags & SWP_NOACTIVATE) && !(flags & SWP_HIDEWINDOW) && !GetParent(hwnd) &&
      !(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
    System().SetActive(hwnd, WA_ACTIVE);
  return TRUE;
}

BOOL BringWindowToTop(HWND hwnd) {
  return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  auto r = System().ScreenRect(hwnd);
  if (!r) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  if (rect) *rect = *r;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  auto r = System().ClientRectOnScreen(hwnd);
  if (!r) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  if (rect) *rect = RECT{0, 0, r->right - r->left, r->bottom - r->top};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  auto r = System().ClientRectOnScreen(hwnd);
  if (!r || !point) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  point->x += r->left;
  point->y += r->top;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  auto r = System().ClientRectOnScreen(hwnd);
  if (!r || !point) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  point->x -= r->left;
  point->y -= r->top;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
  POINT origin_from{}, origin_to{};
  if (from) {
    auto r = System().ClientRectOnScreen(from);
    if (!r) return 0;
    origin_from = POINT{r->left, r->top};
  }
  if (to) {
    auto r = System().ClientRectOnScreen(to);
    if (!r) return 0;
    origin_to = POINT{r->left, r->top};
  }
  LONG dx = origin_from.x - origin_to.x, dy = origin_from.y - origin_to.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy)));
}

HWND WindowFromPoint(POINT point) { return System().HitTest(point); }

HWND ChildWindowFromPoint(HWND parent, POINT point) {
  POINT screen = point;
  if (!ClientToScreen(parent, &screen)) return nullptr;
  HWND hit = System().HitTest(screen);
  // The direct child of `parent` that holds the hit window, or the parent itself.
  while (hit && hit != parent && GetParent(hit) != parent) hit = GetParent(hit);
  return hit ? hit : parent;
}

int SetWindowRgn(HWND hwnd, HRGN hrgn, BOOL redraw) {
  std::optional<pellix::device::gdi::Region> region;
  if (hrgn) {
    const pellix::device::gdi::Region* source = pellix::device::gdi::RegionFromHandle(hrgn);
    if (!source) return Fails(pellix::device::Fail("", ERROR_INVALID_HANDLE), 0);
    region = *source;
  }
  auto status = System().SetRegion(hwnd, std::move(region), redraw != FALSE);
  if (!status) return Fails(status.error(), 0);
  // The window owns the region from now on: the handle itself is released.
  if (hrgn) DeleteObject(hrgn);
  return 1;
}

int GetWindowRgn(HWND hwnd, HRGN hrgn) {
  std::optional<pellix::device::gdi::Region> region;
  if (!System().With(hwnd, [&](auto& w) { region = w.region; }))
    return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), ERROR);
  if (!region) return ERROR;  // the window has the shape of its rectangle
  const int type = pellix::device::gdi::AssignRegion(hrgn, *region);
  return type != ERROR ? type : Fails(pellix::device::Fail("", ERROR_INVALID_HANDLE), ERROR);
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool was_disabled = false;
  auto status = System().Enable(hwnd, enable != FALSE, &was_disabled);
  return status ? (was_disabled ? TRUE : FALSE) : Fails(status.error(), FALSE);
}

BOOL UpdateWindow(HWND hwnd) {
  if (!System().IsWindow(hwnd)) return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), FALSE);
  // Paints now, bypassing the queue, when the window has something invalid.
  if (System().HasUpdate(hwnd) && System().IsVisible(hwnd)) SendMessageW(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!hwnd) {
    System().InvalidateAll();
    return TRUE;
  }
  auto status = System().Invalidate(hwnd, rect, erase != FALSE);
  return status ? TRUE : Fails(status.error(), FALSE);
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  auto status = System().Validate(hwnd, rect);
  return status ? TRUE : Fails(status.error(), FALSE);
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  bool has = false;
  System().With(hwnd, [&](auto& w) {
    has = !w.update.IsEmpty();
    if (rect) {
      auto b = w.update.Bounds();
      *rect = RECT{b.left, b.top, b.right, b.bottom};
    }
  });
  return has ? TRUE : FALSE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
  if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
  if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
  if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
  return TRUE;
}

// ---- Focus and activation -------------------------------------------------------------------

HWND SetFocus(HWND hwnd) {
  if (hwnd && !System().IsWindow(hwnd))
    return Fails(pellix::device::Fail("", ERROR_INVALID_WINDOW_HANDLE), HWND{});
  return System().SetFocus(hwnd);
}

// The focus and active windows are reported only to the thread that owns them.
HWND GetFocus() {
  HWND focus = System().Focus();
  auto thread = System().ThreadOf(focus);
  return thread && *thread == GetCurrentThreadId() ? focus : nullptr;
}

HWND SetActiveWindow(HWND hwnd) { return System().SetActive(hwnd, WA_ACTIVE); }

HWND GetActiveWindow() {
  HWND active = System().Active();
  auto thread = System().ThreadOf(active);
  return thread && *thread == GetCurrentThreadId() ? active : nullptr;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!System().IsWindow(hwnd)) return FALSE;
  System().SetActive(hwnd, WA_ACTIVE);
  return TRUE;
}

HWND GetForegroundWindow() { return System().Active(); }

HWND SetCapture(HWND hwnd) { return System().SetCapture(hwnd); }
HWND GetCapture() { return System().Capture(); }
BOOL ReleaseCapture() {
  System().SetCapture(nullptr);
  return TRUE;
}
