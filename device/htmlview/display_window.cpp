// htmlview.dll: the "DISPLAYCLASS" window and its canvas child, and InitHTMLControl (ordinal 1).
// The view answers the document messages; the canvas, which covers the view's client area,
// takes the stylus and keys (programs subclass it to learn where the person tapped) and paints.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "htmlview/display_queries.h"
#include "htmlview/display_view.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "kernel/module_loader.h"
#include "com/memory_stream.h"

#include <windows.h>
#include <htmlctrl.h>

using pellix::device::htmlview::DisplayView;

namespace {

constexpr WCHAR kCanvasClass[] = u"DISPLAYCLASS_CANVAS";
constexpr UINT_PTR kLongPressTimer = 1;
constexpr UINT kLongPressMs = 700;
constexpr int kLineStep = 16;
constexpr UINT kCopyToStream = WM_USER + 119;

// Views by window. Each is used only by its window's thread; the lock guards the map itself.
std::mutex g_views_mutex;
std::map<HWND, std::unique_ptr<DisplayView>> g_views;

DisplayView* ViewOf(HWND window) {
  std::lock_guard lock(g_views_mutex);
  auto it = g_views.find(window);
  return it == g_views.end() ? nullptr : it->second.get();
}

struct CanvasState {
  bool pressed = false;
  bool long_pressed = false;
  POINT down{};
  DWORD down_time = 0;
};
std::mutex g_canvas_mutex;
std::map<HWND, CanvasState> g_canvases;

CanvasState& CanvasOf(HWND canvas) {
  std::lock_guard lock(g_canvas_mutex);
  return g_canvases[canvas];
}

POINT PointOf(LPARAM lParam) {
  return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// A visible point of a link to `target`, in canvas coordinates: the view is searched on a grid
// of 3 pixels, fine enough for the smallest text a page can show.
LRESULT FindLinkPoint(DisplayView& view, const std::u16string* target, POINT* out) {
  if (!target || !out || !view.page().laid_out()) return FALSE;
  RECT client{};
  GetClientRect(view.canvas() ? view.canvas() : view.window(), &client);
  for (int y = 1; y < client.bottom; y += 3) {
    for (int x = 1; x < client.right; x += 3) {
      auto href = view.page().LinkAt(x, y + view.scroll_y());
      if (href && *href == *target) {
        *out = POINT{x, y};
        return TRUE;
      }
    }
  }
  return FALSE;
}

LRESULT CopySelection(DisplayView& view, LPARAM lParam) {
  auto** out = reinterpret_cast<IStream**>(lParam);
  if (!out) return FALSE;
  *out = nullptr;
  const std::u16string text = view.page().SelectedText();
  if (text.empty()) return FALSE;
  std::vector<uint8_t> bytes(text.size() * sizeof(char16_t));
  std::memcpy(bytes.data(), text.data(), bytes.size());
  *out = pellix::device::com::MemoryStream::Create(std::move(bytes));
  return *out ? TRUE : FALSE;
}

std::u16string EscapePlainText(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'\n': out += u"<br>"; break;
      case u'\r': break;
      default: out += c;
    }
  }
  return out;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto view = std::make_unique<DisplayView>(hwnd);
    // Text is as large to the eye on a VGA handheld as on a QVGA one.
    const pellix::device::Profile& profile = pellix::device::Device::Get().profile();
    view->page().SetScreen(profile.screen_width, profile.screen_height, profile.dpi);
    RECT r{};
    GetClientRect(hwnd, &r);
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    HWND canvas = CreateWindowExW(0, kCanvasClass, u"", WS_CHILD | WS_VISIBLE, 0, 0, r.right - r.left,
                                  r.bottom - r.top, hwnd, nullptr, create ? create->hInstance : nullptr, nullptr);
    if (!canvas) return -1;
    view->set_canvas(canvas);
    std::lock_guard lock(g_views_mutex);
    g_views[hwnd] = std::move(view);
    return 0;
  }
  DisplayView* view = ViewOf(hwnd);
  if (!view) return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCDESTROY: {
      std::unique_ptr<DisplayView> gone;
      {
        std::lock_guard lock(g_views_mutex);
        auto it = g_views.find(hwnd);
        gone = std::move(it->second);
        g_views.erase(it);
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_SETTEXT: {
      // Any text replaces the document; the empty text just empties the view.
      view->Clear();
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      if (text && *text) {
        view->page().AddText(text);
        view->EndOfSource();
      }
      DefWindowProcW(hwnd, msg, wParam, lParam);
      return TRUE;
    }
    case pellix::device::htmlview::kQueryText:
      if (auto* out = reinterpret_cast<std::u16string*>(lParam)) *out = view->page().Text();
      return TRUE;
    case pellix::device::htmlview::kQueryLinkPoint:
      return FindLinkPoint(*view, reinterpret_cast<const std::u16string*>(wParam), reinterpret_cast<POINT*>(lParam));
    case WM_SIZE:
      view->Resized();
      return 0;
    case WM_SETFOCUS:
      if (view->canvas()) SetFocus(view->canvas());
      return 0;
    case WM_VSCROLL: {
      const int page = [&] {
        RECT r{};
        GetClientRect(hwnd, &r);
        return std::max<int>(kLineStep, r.bottom - r.top - kLineStep);
      }();
      switch (LOWORD(wParam)) {
        case SB_LINEUP: view->ScrollBy(-kLineStep); break;
        case SB_LINEDOWN: view->ScrollBy(kLineStep); break;
        case SB_PAGEUP: view->ScrollBy(-page); break;
        case SB_PAGEDOWN: view->ScrollBy(page); break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: view->ScrollTo(static_cast<short>(HIWORD(wParam))); break;
        case SB_TOP: view->ScrollTo(0); break;
        case SB_BOTTOM: view->ScrollTo(view->max_scroll()); break;
        default: break;
      }
      return 0;
    }
    case DTM_CLEAR:
      view->Clear();
      return 0;
    case DTM_ADDTEXTW:
      if (lParam) view->page().AddText(reinterpret_cast<LPCWSTR>(lParam));
      return 0;
    case DTM_ADDTEXT:
      // Narrow text, as Latin-1 bytes; wParam TRUE means plain text rather than HTML.
      if (lParam) {
        std::u16string wide;
        for (const char* p = reinterpret_cast<const char*>(lParam); *p; ++p)
          wide += static_cast<char16_t>(static_cast<unsigned char>(*p));
        view->page().AddText(wParam ? EscapePlainText(wide) : wide);
      }
      return 0;
    case DTM_ADDSTYLE:
      if (lParam) view->page().AddStyle(reinterpret_cast<LPCWSTR>(lParam));
      return 0;
    case DTM_ZOOMLEVEL:
      view->SetZoom(static_cast<int>(lParam));
      return 0;
    case DTM_ENABLESHRINK:
      view->page().SetShrink(lParam != 0);
      return 0;
    case DTM_ENDOFSOURCE:
      view->EndOfSource();
      return 0;
    case DTM_LAYOUTHEIGHT:
      return view->page().height();
    case DTM_LAYOUTWIDTH:
      return view->page().width();
    case DTM_SELECTALL:
      view->page().SelectAll();
      return 0;
    case DTM_ISSELECTION:
      return view->page().has_selection() ? TRUE : FALSE;
    case kCopyToStream:
      return CopySelection(*view, lParam);
    case DTM_SETIMAGE:
      return view->SetImage(reinterpret_cast<const INLINEIMAGEINFO*>(lParam)) ? TRUE : FALSE;
    case DTM_IMAGEFAIL:
      return view->ImageFail(static_cast<DWORD>(lParam)) ? TRUE : FALSE;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

LRESULT CALLBACK CanvasProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND owner = GetParent(hwnd);
  DisplayView* view = owner ? ViewOf(owner) : nullptr;
  switch (msg) {
    case WM_NCDESTROY: {
      std::lock_guard lock(g_canvas_mutex);
      g_canvases.erase(hwnd);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_ERASEBKGND:
      return 1;  // the page paints every pixel
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc && view) view->Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      CanvasState& state = CanvasOf(hwnd);
      state.pressed = true;
      state.long_pressed = false;
      state.down = PointOf(lParam);
      state.down_time = static_cast<DWORD>(GetMessageTime());
      SetTimer(hwnd, kLongPressTimer, kLongPressMs, nullptr);
      if (owner) SetFocus(hwnd);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kLongPressTimer) {
        KillTimer(hwnd, kLongPressTimer);
        CanvasState& state = CanvasOf(hwnd);
        if (state.pressed && view) {
          state.long_pressed = true;
          view->ContextMenu(state.down);
        }
      }
      return 0;
    case WM_LBUTTONUP: {
      KillTimer(hwnd, kLongPressTimer);
      CanvasState& state = CanvasOf(hwnd);
      const bool tap = state.pressed && !state.long_pressed;
      state.pressed = false;
      if (!tap || !view) return 0;
      // The input's own times decide: a thread that was busy while the stylus was held reads
      // the release before its timer, and the press was long all the same.
      if (static_cast<DWORD>(GetMessageTime()) - state.down_time >= kLongPressMs) {
        state.long_pressed = true;
        view->ContextMenu(state.down);
      } else {
        view->Tap(PointOf(lParam));
      }
      return 0;
    }
    case WM_CONTEXTMENU:
      if (view) {
        POINT p = PointOf(lParam);
        if (lParam == -1) {
          RECT r{};
          GetClientRect(hwnd, &r);
          p = POINT{(r.right - r.left) / 2, (r.bottom - r.top) / 2};
        } else {
          ScreenToClient(hwnd, &p);
        }
        view->ContextMenu(p);
      }
      return 0;
    case WM_KEYDOWN:
      if (!view) return 0;
      switch (wParam) {
        case VK_UP: view->ScrollBy(-kLineStep); break;
        case VK_DOWN: view->ScrollBy(kLineStep); break;
        case VK_PRIOR: view->ScrollBy(-std::max(kLineStep, view->max_scroll() / 4)); break;
        case VK_NEXT: view->ScrollBy(std::max(kLineStep, view->max_scroll() / 4)); break;
        case VK_APPS: {
          RECT r{};
          GetClientRect(hwnd, &r);
          view->ContextMenu(POINT{(r.right - r.left) / 2, (r.bottom - r.top) / 2});
          break;
        }
        default: break;
      }
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

bool RegisterOne(HINSTANCE instance, LPCWSTR name, WNDPROC proc) {
  WNDCLASSW existing{};
  if (GetClassInfoW(instance, name, &existing)) return true;
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.lpszClassName = name;
  return RegisterClassW(&wc) != 0;
}

}  // namespace

BOOL InitHTMLControl(HINSTANCE hinst) {
  // The classes are global, so any module may create views whatever instance it passes.
  const bool ok = RegisterOne(hinst, DISPLAYCLASS, ViewProc) && RegisterOne(hinst, kCanvasClass, CanvasProc);
  return ok ? TRUE : FALSE;
}

namespace {

const bool kRegistered = [] {
  pellix::device::BuiltinLibrary library;
  library.exports = {{"InitHTMLControl", 1, reinterpret_cast<void*>(&InitHTMLControl)}};
  return pellix::device::RegisterBuiltinLibrary(u"htmlview.dll", std::move(library));
}();

}  // namespace
