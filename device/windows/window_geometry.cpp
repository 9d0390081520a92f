// Window geometry, z-order, visibility, update regions and hit testing.
#include <algorithm>
#include <cstring>

#include "kernel/device.h"
#include "kernel/thread_id.h"
#include "windows/nonclient.h"
#include "windows/window_system.h"

namespace pellix::device::windows {
namespace {

RECT ToRECT(const gdi::Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace

gdi::Rect WindowSystem::ComputeClient(DWORD style, DWORD ex_style, int width, int height) const {
  NonClientInsets insets = InsetsFor(style, ex_style);
  gdi::Rect client{insets.left, insets.top, width - insets.right, height - insets.bottom};
  if (client.right < client.left) client.right = client.left;
  if (client.bottom < client.top) client.bottom = client.top;
  return client;
}

std::vector<Window*>& WindowSystem::SiblingsOf(Window& w) {
  return w.parent ? w.parent->children : top_level_;
}

void WindowSystem::PlaceInZOrder(Window& w, HWND insert_after) {
  std::vector<Window*>& list = SiblingsOf(w);
  std::erase(list, &w);
  if (insert_after == HWND_TOPMOST && !w.parent) w.ex_style |= WS_EX_TOPMOST;
  if (insert_after == HWND_NOTOPMOST && !w.parent) w.ex_style &= ~WS_EX_TOPMOST;
  size_t index = 0;
  if (insert_after == HWND_BOTTOM) {
    index = list.size();
    // Top-level windows stay below topmost ones only when they are not topmost themselves.
    if (!w.parent && w.IsTopmost())
      while (index > 0 && !list[index - 1]->IsTopmost()) --index;
  } else if (insert_after == HWND_TOP || insert_after == HWND_TOPMOST ||
             insert_after == HWND_NOTOPMOST) {
    // The top of its band: topmost windows above the rest.
    if (!w.parent && !w.IsTopmost())
      while (index < list.size() && list[index]->IsTopmost()) ++index;
  } else {
    auto it = std::find_if(list.begin(), list.end(),
                           [&](Window* x) { return x->handle == insert_after; });
    index = it == list.end() ? 0 : static_cast<size_t>(it - list.begin()) + 1;
    if (!w.parent) {
      size_t first_plain = 0;
      while (first_plain < list.size() && list[first_plain]->IsTopmost()) ++first_plain;
      index = w.IsTopmost() ? std::min(index, first_plain) : std::max(index, first_plain);
    }
  }
  list.insert(list.begin() + static_cast<long>(std::min(index, list.size())), &w);
}

POINT WindowSystem::WindowOrigin(const Window& w) const {
  if (!w.parent) return POINT{w.rect.left, w.rect.top};
  POINT p = ClientOrigin(*w.parent);
  return POINT{p.x + w.rect.left, p.y + w.rect.top};
}

POINT WindowSystem::ClientOrigin(const Window& w) const {
  POINT p = WindowOrigin(w);
  return POINT{p.x + w.client.left, p.y + w.client.top};
}

bool WindowSystem::VisibleLocked(const Window& w) const {
  for (const Window* x = &w; x; x = x->parent)
    if (!x->IsVisibleFlag()) return false;
  return true;
}

std::optional<RECT> WindowSystem::ScreenRect(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  POINT o = WindowOrigin(*w);
  return RECT{o.x, o.y, o.x + w->rect.Width(), o.y + w->rect.Height()};
}

std::optional<RECT> WindowSystem::ClientRectOnScreen(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  POINT o = ClientOrigin(*w);
  return RECT{o.x, o.y, o.x + w->client.Width(), o.y + w->client.Height()};
}

bool WindowSystem::IsVisible(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  return w && VisibleLocked(*w);
}

// ---- Relations ------------------------------------------------------------------------------

bool WindowSystem::IsDescendantLocked(HWND ancestor, HWND hwnd) {
  Window* w = Find(hwnd);
  for (Window* p = w ? w->parent : nullptr; p; p = p->parent)
    if (p->handle == ancestor) return true;
  return false;
}

bool WindowSystem::IsDescendant(HWND ancestor, HWND hwnd) {
  std::lock_guard lock(mutex_);
  return IsDescendantLocked(ancestor, hwnd);
}

HWND WindowSystem::Relative(HWND hwnd, UINT relation) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
  if (relation == GW_OWNER) return w->owner ? w->owner->handle : nullptr;
  std::vector<Window*>& list = SiblingsOf(*w);
  auto it = std::find(list.begin(), list.end(), w);
  switch (relation) {
    case GW_HWNDFIRST: return list.empty() ? nullptr : list.front()->handle;
    case GW_HWNDLAST: return list.empty() ? nullptr : list.back()->handle;
    case GW_HWNDNEXT:
      return (it == list.end() || it + 1 == list.end()) ? nullptr : (*(it + 1))->handle;
    case GW_HWNDPREV: return (it == list.end() || it == list.begin()) ? nullptr : (*(it - 1))->handle;
    default: return nullptr;
  }
}

HWND WindowSystem::Parent(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return nullptr;
  if (w->parent) return w->parent->handle;
  if ((w->style & WS_POPUP) && w->owner) return w->owner->handle;
  return nullptr;
}

HWND WindowSystem::FindTopLevel(const std::u16string* class_name, const std::u16string* text) {
  std::lock_guard lock(mutex_);
  std::u16string key = class_name ? FoldCase(*class_name) : std::u16string();
  for (Window* w : top_level_) {
    if (class_name && FoldCase(w->window_class->name) != key) continue;
    if (text && w->text != *text) continue;
    return w->handle;
  }
  return nullptr;
}

std::vector<HWND> WindowSystem::TopLevelOfThread(uint32_t thread) {
  std::lock_guard lock(mutex_);
  std::vector<HWND> result;
  for (Window* w : top_level_)
    if (w->thread == thread) result.push_back(w->handle);
  return result;
}

HWND WindowSystem::ChildWithId(HWND parent, LONG_PTR id) {
  std::lock_guard lock(mutex_);
  Window* w = Find(parent);
  if (!w) return nullptr;
  for (Window* c : w->children)
    if (c->id == id) return c->handle;
  return nullptr;
}

std::optional<std::u16string> WindowSystem::Text(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  return w->text;
}

// ---- Window data ----------------------------------------------------------------------------

Result<LONG_PTR> WindowSystem::GetLong(HWND hwnd, int index, size_t width) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_ID: return w->id;
    case GWL_USERDATA: return w->user_data;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->ex_style));
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + width <= w->extra.size()) {
    if (width == sizeof(LONG_PTR)) {
      LONG_PTR value;
      std::memcpy(&value, w->extra.data() + index, sizeof(value));
      return value;
    }
    LONG value;
    std::memcpy(&value, w->extra.data() + index, sizeof(value));
    return static_cast<LONG_PTR>(value);
  }
  return Fail("bad index", ERROR_INVALID_INDEX);
}

Result<LONG_PTR> WindowSystem::SetLong(HWND hwnd, int index, LONG_PTR value, size_t width) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  LONG_PTR previous = 0;
  switch (index) {
    case GWL_WNDPROC:
      previous = reinterpret_cast<LONG_PTR>(w->proc);
      // A null procedure changes nothing; the current one is returned.
      if (value != 0) w->proc = reinterpret_cast<WNDPROC>(value);
      return previous;
    case GWL_ID:
      previous = w->id;
      w->id = value;
      return previous;
    case GWL_USERDATA:
      previous = w->user_data;
      w->user_data = value;
      return previous;
    case GWL_STYLE:
      previous = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(value);
      return previous;
    case GWL_EXSTYLE:
      previous = static_cast<LONG>(w->ex_style);
      w->ex_style = static_cast<DWORD>(value);
      return previous;
    default: break;
  }
  if (index >= 0 && static_cast<size_t>(index) + width <= w->extra.size()) {
    if (width == sizeof(LONG_PTR)) {
      LONG_PTR old_value;
      std::memcpy(&old_value, w->extra.data() + index, sizeof(old_value));
      std::memcpy(w->extra.data() + index, &value, sizeof(value));
      return old_value;
    }
    LONG old_value;
    std::memcpy(&old_value, w->extra.data() + index, sizeof(old_value));
    LONG new_value = static_cast<LONG>(value);
    std::memcpy(w->extra.data() + index, &new_value, sizeof(new_value));
    return static_cast<LONG_PTR>(old_value);
  }
  return Fail("bad index", ERROR_INVALID_INDEX);
}

// ---- Visibility and position ----------------------------------------------------------------

Result<bool> WindowSystem::Show(HWND hwnd, int command) {
  bool show = command != SW_HIDE;
  bool was_visible = false, top_level = false, activate = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    was_visible = w->IsVisibleFlag();
    top_level = w->parent == nullptr;
    activate = show && top_level && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
               command != SW_SHOWMINNOACTIVE && !(w->ex_style & WS_EX_NOACTIVATE);
  }
  if (was_visible != show) {
    Send(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return was_visible;
    if (show) {
      w->style |= WS_VISIBLE;
      InvalidateTreeLocked(*w);
    } else {
      w->style &= ~WS_VISIBLE;
    }
  }
  if (!show) {
    HWND focus = Focus();
    if (focus && (focus == hwnd || IsDescendant(hwnd, focus))) SetFocus(nullptr);
    if (Active() == hwnd) {
      // Activation passes to the next visible top-level window, if there is one.
      HWND next = nullptr;
      {
        std::lock_guard lock(mutex_);
        for (Window* t : top_level_)
          if (t->handle != hwnd && t->IsVisibleFlag() && t->lifecycle == Lifecycle::kAlive &&
              !(t->ex_style & WS_EX_NOACTIVATE)) {
            next = t->handle;
            break;
          }
      }
      SetActive(next, WA_ACTIVE);
    }
  } else if (activate) {
    SetActive(hwnd, WA_ACTIVE);
  }
  return was_visible;
}

Status WindowSystem::SetPosition(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy,
                                 UINT flags) {
  WINDOWPOS pos{hwnd, insert_after, x, y, cx, cy, flags};
  bool resized = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    if (flags & SWP_NOMOVE) {
      pos.x = w->rect.left;
      pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      pos.cx = w->rect.Width();
      pos.cy = w->rect.Height();
    }
  }
  if (!(flags & SWP_NOSENDCHANGING)) Send(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    gdi::Rect next = gdi::Rect::FromSize(pos.x, pos.y, std::max(0, pos.cx), std::max(0, pos.cy));
    resized = next.Width() != w->rect.Width() || next.Height() != w->rect.Height();
    bool moved = next.left != w->rect.left || next.top != w->rect.top;
    if (!resized) pos.flags |= SWP_NOSIZE;
    if (!moved) pos.flags |= SWP_NOMOVE;
    w->rect = next;
    if (resized || (flags & SWP_FRAMECHANGED)) {
      w->client = ComputeClient(w->style, w->ex_style, next.Width(), next.Height());
      w->update = gdi::Region();
      // The surface is made anew at the new size: everything must be painted again.
      InvalidateLocked(*w, nullptr, true);
    }
    if (!(flags & SWP_NOZORDER)) PlaceInZOrder(*w, insert_after);
  }
  if (resized) Emit(hwnd, WindowEvent::kResized);
  if (flags & SWP_SHOWWINDOW) (void)Show(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) (void)Show(hwnd, SW_HIDE);
  Send(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  return Status::Ok();
}

Status WindowSystem::Enable(HWND hwnd, bool enable, bool* was_disabled) {
  bool changed = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    *was_disabled = (w->style & WS_DISABLED) != 0;
    changed = *was_disabled == enable;
    if (enable) w->style &= ~WS_DISABLED;
    else w->style |= WS_DISABLED;
  }
  if (changed) {
    if (!enable && Focus() == hwnd) SetFocus(nullptr);
    Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  }
  return Status::Ok();
}

Status WindowSystem::SetRegion(HWND hwnd, std::optional<gdi::Region> region, bool redraw) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  w->region = std::move(region);
  if (redraw) InvalidateLocked(*w, nullptr, true);
  return Status::Ok();
}

// ---- Update regions -------------------------------------------------------------------------

void WindowSystem::InvalidateLocked(Window& w, const gdi::Rect* client_rect, bool erase) {
  gdi::Rect whole{0, 0, w.client.Width(), w.client.Height()};
  gdi::Rect area = client_rect ? client_rect->Intersect(whole) : whole;
  if (area.IsEmpty()) return;
  w.update = w.update.Union(gdi::Region(area));
  w.erase = w.erase || erase;
  if (std::shared_ptr<MessageQueue> queue = QueueOf(w.thread, false)) queue->Wake();
}

void WindowSystem::InvalidateTreeLocked(Window& w) {
  InvalidateLocked(w, nullptr, true);
  for (Window* c : w.children)
    if (c->IsVisibleFlag()) InvalidateTreeLocked(*c);
}

Status WindowSystem::Invalidate(HWND hwnd, const RECT* rect, bool erase) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  if (rect) {
    gdi::Rect r{rect->left, rect->top, rect->right, rect->bottom};
    InvalidateLocked(*w, &r, erase);
  } else {
    InvalidateLocked(*w, nullptr, erase);
  }
  return Status::Ok();
}

Result<HWND> WindowSystem::Reparent(HWND hwnd, HWND parent) {
  HWND previous = nullptr;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    Window* p = parent ? Find(parent) : nullptr;
    if (!w || (parent && !p)) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    // A window cannot hold itself, directly or through its children.
    if (p && (p == w || IsDescendantLocked(hwnd, parent)))
      return Fail("parent inside the window", ERROR_INVALID_PARAMETER);
    previous = w->parent ? w->parent->handle : nullptr;
    // What it covered in its old place is uncovered now.
    if (w->parent) {
      const gdi::Rect client{0, 0, w->parent->client.Width(), w->parent->client.Height()};
      const gdi::Rect old = w->rect.Intersect(client);
      InvalidateLocked(*w->parent, &old, true);
    } else {
      for (Window* t : top_level_)
        if (t != w) InvalidateTreeLocked(*t);
    }
    std::erase(SiblingsOf(*w), w);
    w->parent = p;
    w->owner = nullptr;
    SiblingsOf(*w).push_back(w);
    PlaceInZOrder(*w, HWND_TOP);
    if (w->IsVisibleFlag()) InvalidateTreeLocked(*w);
  }
  Emit(hwnd, WindowEvent::kResized);  // its surface moves to another place on the screen
  return previous;
}

void WindowSystem::InvalidateAll() {
  std::lock_guard lock(mutex_);
  for (auto& [handle, w] : windows_)
    if (w->lifecycle == Lifecycle::kAlive) InvalidateLocked(*w, nullptr, true);
}

Status WindowSystem::Validate(HWND hwnd, const RECT* rect) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  if (rect) {
    w->update = w->update.Subtract(gdi::Region(gdi::Rect{rect->left, rect->top, rect->right, rect->bottom}));
  } else {
    w->update = gdi::Region();
  }
  if (w->update.IsEmpty()) w->erase = false;
  return Status::Ok();
}

std::optional<UpdateArea> WindowSystem::TakeUpdate(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  UpdateArea area{std::move(w->update), w->erase};
  w->update = gdi::Region();
  w->erase = false;
  return area;
}

bool WindowSystem::HasUpdate(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  return w && !w->update.IsEmpty();
}

Status WindowSystem::ScrollChildren(HWND hwnd, int dx, int dy) {
  std::vector<std::pair<HWND, gdi::Rect>> children;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    for (Window* c : w->children) children.emplace_back(c->handle, c->rect);
  }
  for (auto& [child, rect] : children)
    (void)SetPosition(child, nullptr, rect.left + dx, rect.top + dy, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return Status::Ok();
}

// ---- Snapshots and hit testing --------------------------------------------------------------

WindowSnapshot WindowSystem::SnapshotLocked(const Window& w, bool class_name) const {
  WindowSnapshot s;
  s.hwnd = w.handle;
  s.parent = w.parent ? w.parent->handle : nullptr;
  POINT o = WindowOrigin(w);
  s.window_rect = RECT{o.x, o.y, o.x + w.rect.Width(), o.y + w.rect.Height()};
  s.client_rect = ToRECT(w.client.Offset(o.x, o.y));
  s.region = w.region;
  s.background = w.window_class->background;
  s.visible = VisibleLocked(w);
  s.style = w.style;
  s.ex_style = w.ex_style;
  if (class_name) s.class_name = w.window_class->name;
  s.text = w.text;
  return s;
}

void WindowSystem::CollectVisible(Window& w, std::vector<WindowSnapshot>& out) {
  if (!w.IsVisibleFlag() || w.lifecycle == Lifecycle::kGone) return;
  out.push_back(SnapshotLocked(w));
  for (auto it = w.children.rbegin(); it != w.children.rend(); ++it) CollectVisible(**it, out);
}

std::vector<WindowSnapshot> WindowSystem::Visible() {
  std::lock_guard lock(mutex_);
  std::vector<WindowSnapshot> out;
  const Window* bar = FrontSoftKeyBarLocked();
  for (auto it = top_level_.rbegin(); it != top_level_.rend(); ++it) {
    // Every bar covers the same strip; only the front window's is on screen.
    if ((*it)->soft_key_bar && *it != bar) continue;
    CollectVisible(**it, out);
  }
  return out;
}

std::optional<WindowSnapshot> WindowSystem::Snapshot(HWND hwnd, bool class_name) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  return SnapshotLocked(*w, class_name);
}

Window* WindowSystem::HitTestIn(Window& w, POINT p) {
  if (!w.IsVisibleFlag()) return nullptr;
  POINT o = WindowOrigin(w);
  if (!w.rect.Offset(o.x - w.rect.left, o.y - w.rect.top).Contains(p.x, p.y)) return nullptr;
  if (w.region && !w.region->Contains(p.x - o.x, p.y - o.y)) return nullptr;
  // Children are reached only through the parent's client area.
  if (w.client.Offset(o.x, o.y).Contains(p.x, p.y)) {
    for (Window* c : w.children) {
      if (c->style & WS_DISABLED) continue;
      if (Window* hit = HitTestIn(*c, p)) return hit;
    }
  }
  return &w;
}

HWND WindowSystem::HitTest(POINT screen_point) {
  std::lock_guard lock(mutex_);
  const Window* bar = FrontSoftKeyBarLocked();
  for (Window* w : top_level_) {
    if (w->soft_key_bar && w != bar) continue;
    if (Window* hit = HitTestIn(*w, screen_point)) return hit->handle;
  }
  return nullptr;
}

}  // namespace pellix::device::windows
