// Creating and destroying windows.
#include <algorithm>

#include "kernel/device.h"
#include "kernel/thread_id.h"
#include "windows/window_system.h"

namespace pellix::device::windows {

Result<HWND> WindowSystem::CreateWindow(const CreateParams& params) {
  HWND hwnd = nullptr;
  int width = 0, height = 0;
  gdi::Rect client;
  {
    std::lock_guard lock(mutex_);
    std::shared_ptr<const WindowClass> cls;
    if (params.class_atom) {
      for (auto& [key, c] : classes_)
        if (c->atom == params.class_atom) cls = c;
    } else {
      auto it = classes_.find(FoldCase(params.class_name));
      if (it != classes_.end()) cls = it->second;
    }
    if (!cls) return Fail("no such class", ERROR_CANNOT_FIND_WND_CLASS);

    Window* parent = nullptr;
    if (params.parent) {
      parent = Find(params.parent);
      if (!parent) return Fail("bad parent", ERROR_INVALID_WINDOW_HANDLE);
    }
    bool child = (params.style & WS_CHILD) != 0;
    if (child && !parent) return Fail("child without parent", ERROR_INVALID_PARAMETER);

    auto window = std::make_unique<Window>();
    Window& w = *window;
    w.handle = reinterpret_cast<HWND>(next_handle_);
    next_handle_ += 2;
    w.window_class = cls;
    w.thread = CurrentThreadId();
    w.style = params.style;
    w.ex_style = params.ex_style;
    w.proc = cls->proc;
    w.instance = params.instance;
    w.text = params.text;
    w.extra.assign(static_cast<size_t>(cls->window_extra), 0);
    if (child) {
      w.parent = parent;
      w.id = reinterpret_cast<LONG_PTR>(params.menu);
    } else if (parent) {
      // A top-level window created with a parent is owned by that window's top-level ancestor.
      Window* root = parent;
      while (root->parent) root = root->parent;
      w.owner = root;
    }

    const Profile& profile = device_.profile();
    int x = params.x, y = params.y;
    width = params.width;
    height = params.height;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
      width = child ? 0 : profile.screen_width;
      height = child ? 0 : profile.screen_height;
    }
    width = std::max(0, width);
    height = std::max(0, height);
    w.rect = gdi::Rect::FromSize(x, y, width, height);
    w.client = ComputeClient(w.style, w.ex_style, width, height);
    client = w.client;
    hwnd = w.handle;

    windows_[reinterpret_cast<uintptr_t>(hwnd)] = std::move(window);
    std::vector<Window*>& siblings = SiblingsOf(w);
    siblings.push_back(&w);
    PlaceInZOrder(w, HWND_TOP);
    CurrentQueue()->windows.push_back(&w);
    // A new window has never been painted.
    InvalidateLocked(w, nullptr, true);
  }
  Emit(hwnd, WindowEvent::kCreated);

  CREATESTRUCTW cs{};
  cs.lpCreateParams = params.param;
  cs.hInstance = params.instance;
  cs.hMenu = params.menu;
  cs.hwndParent = params.parent;
  cs.cx = width;
  cs.cy = height;
  cs.x = params.x;
  cs.y = params.y;
  cs.style = static_cast<LONG>(params.style);
  cs.lpszName = params.text.c_str();
  cs.lpszClass = params.class_name.c_str();
  cs.dwExStyle = params.ex_style;
  if (Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    (void)DestroyWindow(hwnd);
    return Fail("WM_CREATE refused the window", ERROR_CANNOT_FIND_WND_CLASS);
  }
  if (!IsWindow(hwnd)) return Fail("destroyed during creation", ERROR_INVALID_WINDOW_HANDLE);
  Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.Width(), client.Height()));
  {
    std::optional<RECT> rc = ScreenRect(hwnd);
    POINT origin{};
    With(hwnd, [&](Window& w) {
      if (w.parent) origin = POINT{w.rect.left + w.client.left, w.rect.top + w.client.top};
      else if (rc) origin = POINT{rc->left + w.client.left, rc->top + w.client.top};
    });
    Send(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
  }
  if (params.style & WS_VISIBLE) {
    // Created visible: shown as by ShowWindow, which for a top-level window also activates it.
    With(hwnd, [](Window& w) { w.style &= ~WS_VISIBLE; });
    (void)Show(hwnd, SW_SHOW);
  }
  if (!IsWindow(hwnd)) return Fail("destroyed during creation", ERROR_INVALID_WINDOW_HANDLE);
  return hwnd;
}

Status WindowSystem::DestroyWindow(HWND hwnd) {
  std::vector<HWND> owned;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    if (w->thread != CurrentThreadId())
      return Fail("window of another thread", ERROR_ACCESS_DENIED);
    if (w->lifecycle != Lifecycle::kAlive) return Status::Ok();  // already on its way
    for (Window* t : top_level_)
      if (t->owner == w) owned.push_back(t->handle);
  }
  // Hidden first, without activating anything in its place yet.
  if (IsWindow(hwnd)) (void)Show(hwnd, SW_HIDE);
  for (HWND o : owned) (void)DestroyWindow(o);
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w || w->lifecycle != Lifecycle::kAlive) return Status::Ok();
    // Mark the whole tree so that re-entrant DestroyWindow calls do nothing.
    std::vector<Window*> stack{w};
    while (!stack.empty()) {
      Window* x = stack.back();
      stack.pop_back();
      x->lifecycle = Lifecycle::kDestroying;
      for (Window* c : x->children) stack.push_back(c);
    }
    if (focus_ && (focus_ == hwnd || IsDescendantLocked(hwnd, focus_))) focus_ = nullptr;
    if (active_ == hwnd) active_ = nullptr;
    if (capture_ && (capture_ == hwnd || IsDescendantLocked(hwnd, capture_))) capture_ = nullptr;
  }
  SendDestroyTree(hwnd);
  FreeTree(hwnd);
  return Status::Ok();
}

// WM_DESTROY: the window first, then its children, parents before children.
void WindowSystem::SendDestroyTree(HWND hwnd) {
  WNDPROC proc = nullptr;
  std::vector<HWND> children;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows_.end() || it->second->lifecycle != Lifecycle::kDestroying) return;
    proc = it->second->proc;
    for (Window* c : it->second->children) children.push_back(c->handle);
  }
  if (proc) proc(hwnd, WM_DESTROY, 0, 0);
  for (HWND c : children) SendDestroyTree(c);
}

// WM_NCDESTROY: children before parents; a window is unlinked from its parent first, so that
// its parent sees no child left by the time its own WM_NCDESTROY runs.
void WindowSystem::FreeTree(HWND hwnd) {
  std::vector<HWND> children;
  WNDPROC proc = nullptr;
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows_.end() || it->second->lifecycle != Lifecycle::kDestroying) return;
    for (Window* c : it->second->children) children.push_back(c->handle);
  }
  for (HWND c : children) FreeTree(c);
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == windows_.end()) return;
    Unlink(*it->second);
    proc = it->second->proc;
  }
  if (proc) proc(hwnd, WM_NCDESTROY, 0, 0);
  {
    std::lock_guard lock(mutex_);
    auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it != windows_.end()) Discard(*it->second);
  }
  Emit(hwnd, WindowEvent::kDestroyed);
}

void WindowSystem::Unlink(Window& w) {
  std::vector<Window*>& siblings = SiblingsOf(w);
  std::erase(siblings, &w);
  for (Window* t : top_level_)
    if (t->owner == &w) t->owner = nullptr;
}

void WindowSystem::Discard(Window& w) {
  HWND hwnd = w.handle;
  for (Window* c : w.children) c->parent = nullptr;
  w.children.clear();
  if (focus_ == hwnd) focus_ = nullptr;
  if (active_ == hwnd) active_ = nullptr;
  if (capture_ == hwnd) capture_ = nullptr;
  if (std::shared_ptr<MessageQueue> queue = QueueOf(w.thread, false)) {
    queue->ForgetWindow(hwnd);
    std::erase(queue->windows, &w);
  }
  // Sends that other threads address to a window of this thread sit in this thread's queue;
  // senders blocked in any queue for this window are released too.
  for (auto& [thread, queue] : queues_) queue->ForgetWindow(hwnd);
  windows_.erase(reinterpret_cast<uintptr_t>(hwnd));
}

}  // namespace pellix::device::windows
