// The system class "EDIT": single- and multi-line text boxes, as forms use them for a
// recipient and a message. The window procedure turns messages into EditBuffer operations,
// tells the parent (EN_ notifications through WM_COMMAND), keeps the caret in view and draws
// the lines, the selection and the caret.
#include "windows/edit_control.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "windows/edit_buffer.h"
#include "windows/window_system.h"

namespace pellix::device::windows {
namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text

struct EditState {
  explicit EditState(bool multiline) : buffer(multiline) {}
  EditBuffer buffer;
  HFONT font = nullptr;       // null: the system font
  size_t first_line = 0;      // the top shown line of a multi-line control
  int scroll_x = 0;           // pixels scrolled off the left of a single-line control
  bool focused = false;
};

EditState* StateOf(HWND hwnd) { return reinterpret_cast<EditState*>(GetWindowLongPtrW(hwnd, 0)); }

// Every control's state is owned here as well as pointed to by its window: a device that shuts
// down with controls still open frees windows without WM_NCDESTROY, and the next window system
// lets go of what the previous one's controls left behind.
std::mutex g_statesMutex;
std::unordered_map<HWND, std::unique_ptr<EditState>>& States() {
  static auto* states = new std::unordered_map<HWND, std::unique_ptr<EditState>>();
  return *states;
}

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

void Notify(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd)), code),
               reinterpret_cast<LPARAM>(hwnd));
}

// What the control shows of its text (stars in a password box).
std::u16string Shown(HWND hwnd, const EditBuffer& buffer) {
  if (StyleOf(hwnd) & ES_PASSWORD) return std::u16string(buffer.text().size(), u'*');
  return buffer.text();
}

// Measures text with the control's font on `dc`.
class Metrics {
 public:
  Metrics(HWND hwnd, EditState& state) : hwnd_(hwnd), dc_(GetDC(hwnd)) {
    old_ = SelectObject(dc_, state.font ? state.font : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    line_height_ = std::max<int>(1, tm.tmHeight);
  }
  ~Metrics() {
    SelectObject(dc_, old_);
    ReleaseDC(hwnd_, dc_);
  }
  int Width(std::u16string_view text) const {
    if (text.empty()) return 0;
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
  }
  int line_height() const { return line_height_; }

 private:
  HWND hwnd_;
  HDC dc_;
  HGDIOBJ old_;
  int line_height_ = 1;
};

RECT TextArea(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  InflateRect(&r, -kMargin, -kMargin);
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

struct Layout {
  std::u16string shown;
  std::vector<EditLine> lines;
};

Layout LayOut(HWND hwnd, EditState& state, const Metrics& metrics) {
  Layout layout;
  layout.shown = Shown(hwnd, state.buffer);
  RECT area = TextArea(hwnd);
  const bool wrap = !(StyleOf(hwnd) & ES_AUTOHSCROLL) || state.buffer.multiline();
  layout.lines = LayOutLines(layout.shown, state.buffer.multiline(), wrap ? area.right - area.left : 0,
                             [&](std::u16string_view run) { return metrics.Width(run); });
  return layout;
}

// Scrolls so that the caret shows.
void ScrollToCaret(HWND hwnd, EditState& state) {
  Metrics metrics(hwnd, state);
  Layout layout = LayOut(hwnd, state, metrics);
  RECT area = TextArea(hwnd);
  const size_t caret = state.buffer.caret();
  if (state.buffer.multiline()) {
    const size_t line = LineOf(layout.lines, caret);
    const size_t visible = std::max<size_t>(1, static_cast<size_t>((area.bottom - area.top) / metrics.line_height()));
    if (line < state.first_line) state.first_line = line;
    if (line >= state.first_line + visible) state.first_line = line + 1 - visible;
  } else {
    const int x = metrics.Width(std::u16string_view(layout.shown).substr(0, caret));
    const int width = area.right - area.left;
    if (x < state.scroll_x) state.scroll_x = x;
    if (x > state.scroll_x + width - 1) state.scroll_x = x - width + 1;
    if (state.scroll_x < 0) state.scroll_x = 0;
  }
}

// The text position under a client point.
size_t HitTest(HWND hwnd, EditState& state, POINT point) {
  Metrics metrics(hwnd, state);
  Layout layout = LayOut(hwnd, state, metrics);
  RECT area = TextArea(hwnd);
  size_t line = 0;
  if (state.buffer.multiline()) {
    const int row = std::max(0, static_cast<int>(point.y - area.top)) / metrics.line_height();
    line = std::min(layout.lines.size() - 1, state.first_line + static_cast<size_t>(row));
  }
  const EditLine& l = layout.lines[line];
  const int x = point.x - area.left + (state.buffer.multiline() ? 0 : state.scroll_x);
  std::u16string_view text = std::u16string_view(layout.shown).substr(l.start, l.length);
  // The nearest boundary between characters.
  for (size_t i = 0; i < text.size(); ++i) {
    const int left = metrics.Width(text.substr(0, i));
    const int right = metrics.Width(text.substr(0, i + 1));
    if (x < (left + right) / 2) return l.start + i;
  }
  return l.start + l.length;
}

// Moves the caret a shown line up or down, keeping its pixel column.
void MoveVertically(HWND hwnd, EditState& state, int delta, bool extend) {
  Metrics metrics(hwnd, state);
  Layout layout = LayOut(hwnd, state, metrics);
  const size_t caret = state.buffer.caret();
  const size_t line = LineOf(layout.lines, caret);
  const long target = static_cast<long>(line) + delta;
  if (target < 0) return state.buffer.MoveTo(0, extend);
  if (target >= static_cast<long>(layout.lines.size()))
    return state.buffer.MoveTo(state.buffer.text().size(), extend);
  const EditLine& from = layout.lines[line];
  const int x = metrics.Width(std::u16string_view(layout.shown).substr(from.start, caret - from.start));
  const EditLine& to = layout.lines[static_cast<size_t>(target)];
  std::u16string_view text = std::u16string_view(layout.shown).substr(to.start, to.length);
  size_t position = to.start + to.length;
  for (size_t i = 0; i < text.size(); ++i) {
    if (x < (metrics.Width(text.substr(0, i)) + metrics.Width(text.substr(0, i + 1))) / 2) {
      position = to.start + i;
      break;
    }
  }
  state.buffer.MoveTo(position, extend);
}

void Changed(HWND hwnd, EditState& state, bool fitted) {
  // The window text follows the buffer, so whatever reads window texts sees what is typed.
  DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.buffer.text().c_str()));
  ScrollToCaret(hwnd, state);
  InvalidateRect(hwnd, nullptr, TRUE);
  Notify(hwnd, EN_UPDATE);
  Notify(hwnd, EN_CHANGE);
  if (!fitted) Notify(hwnd, EN_MAXTEXT);
}

void Moved(HWND hwnd, EditState& state) {
  ScrollToCaret(hwnd, state);
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Paint(HWND hwnd, EditState& state) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT client{};
  GetClientRect(hwnd, &client);
  const DWORD style = StyleOf(hwnd);
  const bool disabled = (style & WS_DISABLED) != 0;
  const bool read_only = (style & ES_READONLY) != 0;
  FillRect(dc, &client, GetSysColorBrush(disabled || read_only ? COLOR_BTNFACE : COLOR_WINDOW));
  Metrics metrics(hwnd, state);
  Layout layout = LayOut(hwnd, state, metrics);
  HGDIOBJ old_font = SelectObject(dc, state.font ? state.font : GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  RECT area = TextArea(hwnd);
  const size_t sel_start = state.buffer.selection_start();
  const size_t sel_end = state.buffer.selection_end();
  const bool show_selection = state.focused || (style & ES_NOHIDESEL);
  const size_t first = state.buffer.multiline() ? state.first_line : 0;
  const int x0 = area.left - (state.buffer.multiline() ? 0 : state.scroll_x);
  for (size_t i = first; i < layout.lines.size(); ++i) {
    const int y = area.top + static_cast<int>(i - first) * metrics.line_height();
    if (y >= area.bottom) break;
    const EditLine& line = layout.lines[i];
    std::u16string_view text = std::u16string_view(layout.shown).substr(line.start, line.length);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    ExtTextOutW(dc, x0, y, ETO_CLIPPED, &area, text.data(), static_cast<UINT>(text.size()), nullptr);
    // The selected part of this line, drawn again over the highlight.
    const size_t a = std::max(sel_start, line.start);
    const size_t b = std::min(sel_end, line.start + line.length);
    if (show_selection && a < b) {
      const int left = x0 + metrics.Width(text.substr(0, a - line.start));
      const int right = x0 + metrics.Width(text.substr(0, b - line.start));
      RECT band{std::max<LONG>(left, area.left), y, std::min<LONG>(right, area.right),
                std::min<LONG>(y + metrics.line_height(), area.bottom)};
      FillRect(dc, &band, GetSysColorBrush(COLOR_HIGHLIGHT));
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      ExtTextOutW(dc, left, y, ETO_CLIPPED, &band, text.data() + (a - line.start),
                  static_cast<UINT>(b - a), nullptr);
    }
  }
  if (state.focused && !read_only) {
    const size_t caret = state.buffer.caret();
    const size_t i = LineOf(layout.lines, caret);
    if (i >= first) {
      const EditLine& line = layout.lines[i];
      const int x = x0 + metrics.Width(std::u16string_view(layout.shown).substr(line.start, caret - line.start));
      const int y = area.top + static_cast<int>(i - first) * metrics.line_height();
      RECT bar{x, y, x + 1, std::min<LONG>(y + metrics.line_height(), area.bottom)};
      if (x >= area.left && x < area.right && bar.top < bar.bottom)
        FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
  }
  SelectObject(dc, old_font);
  EndPaint(hwnd, &ps);
}

void Copy(HWND hwnd, const EditBuffer& buffer) {
  if (!buffer.has_selection() || (StyleOf(hwnd) & ES_PASSWORD)) return;
  std::u16string_view text = buffer.selected();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(WCHAR));
  if (!block) return;
  auto* out = static_cast<WCHAR*>(GlobalLock(block));
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = 0;
  GlobalUnlock(block);
  if (OpenClipboard(hwnd)) {
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, block)) block = nullptr;
    CloseClipboard();
  }
  if (block) GlobalFree(block);
}

std::u16string ClipboardText(HWND hwnd) {
  std::u16string text;
  if (!OpenClipboard(hwnd)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* chars = static_cast<const WCHAR*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// What the person types: upper or lower case and digits only, as the style asks.
bool AcceptTyped(HWND hwnd, EditState& state, WCHAR c) {
  const DWORD style = StyleOf(hwnd);
  if (style & ES_READONLY) return false;
  if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) {
    MessageBeep(0);
    return false;
  }
  if (style & ES_UPPERCASE) c = static_cast<WCHAR>(towupper(c));
  if (style & ES_LOWERCASE) c = static_cast<WCHAR>(towlower(c));
  const WCHAR text[2] = {c, 0};
  Changed(hwnd, state, state.buffer.ReplaceSelection(std::u16string_view(text, 1), true));
  return true;
}

LRESULT OnChar(HWND hwnd, EditState& state, WCHAR c) {
  const bool read_only = (StyleOf(hwnd) & ES_READONLY) != 0;
  switch (c) {
    case 1:  // Ctrl+A
      state.buffer.SelectAll();
      Moved(hwnd, state);
      return 0;
    case 3:  // Ctrl+C
      Copy(hwnd, state.buffer);
      return 0;
    case 22:  // Ctrl+V
      if (!read_only) SendMessageW(hwnd, WM_PASTE, 0, 0);
      return 0;
    case 24:  // Ctrl+X
      if (!read_only) SendMessageW(hwnd, WM_CUT, 0, 0);
      return 0;
    case 26:  // Ctrl+Z
      if (!read_only) SendMessageW(hwnd, EM_UNDO, 0, 0);
      return 0;
    case VK_BACK:
      if (!read_only && state.buffer.DeleteBackward()) Changed(hwnd, state, true);
      return 0;
    case VK_RETURN:
      if (!read_only && state.buffer.multiline()) AcceptTyped(hwnd, state, u'\r');
      return 0;
    default:
      if (c >= 0x20) AcceptTyped(hwnd, state, c);
      return 0;
  }
}

LRESULT OnKeyDown(HWND hwnd, EditState& state, WPARAM vk) {
  const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  EditBuffer& b = state.buffer;
  switch (vk) {
    case VK_LEFT: b.MoveLeft(shift); break;
    case VK_RIGHT: b.MoveRight(shift); break;
    case VK_HOME: b.MoveTo(b.multiline() ? b.LineStart(b.caret()) : 0, shift); break;
    case VK_END: b.MoveTo(b.multiline() ? b.LineEnd(b.caret()) : b.text().size(), shift); break;
    case VK_UP:
      if (!b.multiline()) return 0;
      MoveVertically(hwnd, state, -1, shift);
      break;
    case VK_DOWN:
      if (!b.multiline()) return 0;
      MoveVertically(hwnd, state, 1, shift);
      break;
    case VK_DELETE:
      if (!(StyleOf(hwnd) & ES_READONLY) && b.DeleteForward()) Changed(hwnd, state, true);
      return 0;
    default: return 0;
  }
  Moved(hwnd, state);
  return 0;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    auto owned = std::make_unique<EditState>((cs->style & ES_MULTILINE) != 0);
    EditState* state = owned.get();
    {
      std::lock_guard lock(g_statesMutex);
      States()[hwnd] = std::move(owned);
    }
    if (cs->lpszName && reinterpret_cast<uintptr_t>(cs->lpszName) >= 0x10000) state->buffer.SetText(cs->lpszName);
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
    return 0;
  }
  EditState* state = StateOf(hwnd);
  if (!state) return DefWindowProcW(hwnd, message, wparam, lparam);
  EditBuffer& b = state->buffer;
  switch (message) {
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, 0, 0);
      {
        std::lock_guard lock(g_statesMutex);
        States().erase(hwnd);
      }
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (b.multiline() ? DLGC_WANTALLKEYS : 0);
    case WM_SETTEXT: {
      auto* text = reinterpret_cast<const WCHAR*>(lparam);
      b.SetText(text ? std::u16string_view(text) : std::u16string_view());
      state->first_line = 0;
      state->scroll_x = 0;
      Changed(hwnd, *state, true);
      return TRUE;
    }
    case WM_GETTEXT: {
      auto* out = reinterpret_cast<WCHAR*>(lparam);
      if (!out || wparam == 0) return 0;
      const size_t n = std::min(b.text().size(), static_cast<size_t>(wparam) - 1);
      std::copy_n(b.text().data(), n, out);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(b.text().size());
    case WM_SETFONT:
      state->font = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(state->font);
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state->focused = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      Notify(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_SIZE:
      Moved(hwnd, *state);
      return 0;
    case WM_PAINT:
      Paint(hwnd, *state);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_LBUTTONDOWN: {
      if (GetFocus() != hwnd) SetFocus(hwnd);
      SetCapture(hwnd);
      POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      b.MoveTo(HitTest(hwnd, *state, p), (wparam & MK_SHIFT) != 0);
      Moved(hwnd, *state);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == hwnd && (wparam & MK_LBUTTON)) {
        POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
        b.MoveTo(HitTest(hwnd, *state, p), true);
        Moved(hwnd, *state);
      }
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_CHAR:
      return OnChar(hwnd, *state, static_cast<WCHAR>(wparam));
    case WM_KEYDOWN:
      return OnKeyDown(hwnd, *state, wparam);
    case WM_COPY:
      Copy(hwnd, b);
      return 0;
    case WM_CUT:
      if (!b.has_selection() || (StyleOf(hwnd) & ES_READONLY)) return 0;
      Copy(hwnd, b);
      b.ReplaceSelection(u"", true);
      Changed(hwnd, *state, true);
      return 0;
    case WM_CLEAR:
      if (!b.has_selection() || (StyleOf(hwnd) & ES_READONLY)) return 0;
      b.ReplaceSelection(u"", true);
      Changed(hwnd, *state, true);
      return 0;
    case WM_PASTE: {
      if (StyleOf(hwnd) & ES_READONLY) return 0;
      std::u16string text = ClipboardText(hwnd);
      if (!text.empty()) Changed(hwnd, *state, b.ReplaceSelection(text, true));
      return 0;
    }
    case EM_GETSEL: {
      const DWORD start = static_cast<DWORD>(std::min<size_t>(b.selection_start(), 0xFFFF));
      const DWORD end = static_cast<DWORD>(std::min<size_t>(b.selection_end(), 0xFFFF));
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = static_cast<DWORD>(b.selection_start());
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = static_cast<DWORD>(b.selection_end());
      return MAKELONG(start, end);
    }
    case EM_SETSEL:
      b.SetSelection(static_cast<long>(static_cast<int>(wparam)), static_cast<long>(static_cast<int>(lparam)));
      Moved(hwnd, *state);
      return 0;
    case EM_REPLACESEL: {
      auto* text = reinterpret_cast<const WCHAR*>(lparam);
      Changed(hwnd, *state, b.ReplaceSelection(text ? std::u16string_view(text) : std::u16string_view(), wparam != 0));
      return 0;
    }
    case EM_SCROLLCARET:
      Moved(hwnd, *state);
      return 0;
    case EM_GETMODIFY:
      return b.modified() ? TRUE : FALSE;
    case EM_SETMODIFY:
      b.set_modified(wparam != 0);
      return 0;
    case EM_LIMITTEXT:
      b.set_limit(static_cast<size_t>(wparam));
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(b.limit());
    case EM_CANUNDO:
      return b.CanUndo() ? TRUE : FALSE;
    case EM_UNDO:
    case WM_UNDO:
      if (!b.Undo()) return FALSE;
      Changed(hwnd, *state, true);
      return TRUE;
    case EM_EMPTYUNDOBUFFER:
      b.EmptyUndo();
      return 0;
    case EM_SETREADONLY: {
      DWORD style = StyleOf(hwnd);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wparam ? (style | ES_READONLY) : (style & ~ES_READONLY)));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case EM_GETLINECOUNT: {
      Metrics metrics(hwnd, *state);
      return static_cast<LRESULT>(LayOut(hwnd, *state, metrics).lines.size());
    }
    case EM_GETFIRSTVISIBLELINE:
      return static_cast<LRESULT>(b.multiline() ? state->first_line : 0);
    case EM_LINEFROMCHAR: {
      Metrics metrics(hwnd, *state);
      const size_t position = static_cast<int>(wparam) < 0 ? b.selection_start() : static_cast<size_t>(wparam);
      return static_cast<LRESULT>(LineOf(LayOut(hwnd, *state, metrics).lines, position));
    }
    case EM_LINEINDEX: {
      Metrics metrics(hwnd, *state);
      auto lines = LayOut(hwnd, *state, metrics).lines;
      const size_t line = static_cast<int>(wparam) < 0 ? LineOf(lines, b.caret()) : static_cast<size_t>(wparam);
      return line < lines.size() ? static_cast<LRESULT>(lines[line].start) : -1;
    }
    case EM_LINELENGTH: {
      Metrics metrics(hwnd, *state);
      auto lines = LayOut(hwnd, *state, metrics).lines;
      const size_t position = static_cast<int>(wparam) < 0 ? b.caret() : static_cast<size_t>(wparam);
      return static_cast<LRESULT>(lines[LineOf(lines, position)].length);
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

void RegisterEditClass(WindowSystem& system) {
  {
    std::lock_guard lock(g_statesMutex);
    States().clear();
  }
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = EditProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hCursor = nullptr;
  wc.lpszClassName = WC_EDIT;
  (void)system.RegisterClass(wc);
}

}  // namespace pellix::device::windows
