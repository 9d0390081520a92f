// The window manager: classes, the window tree with its z-order, focus and activation, and the
// per-thread message queues with sends, posts, timers and on-demand WM_PAINT / WM_TIMER.
//
// One WindowSystem per device (a device component). One lock, `mutex_`, guards every window,
// class and queue; it is never held while a window procedure or a listener runs. Window
// procedures always run on the thread that created the window: a send from another thread
// waits in that thread's queue until the owner retrieves messages or itself waits in a send.
//
// The SDK functions in the *_api.cpp files are thin wrappers over these operations; errors
// come back as Error codes that the surface turns into last-error values.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <windows.h>

#include "kernel/result.h"
#include "windows/message_queue.h"
#include "windows/window.h"
#include "windows/window_tree.h"

namespace pellix::device {
class Device;
class Clock;
}

namespace pellix::device::windows {

struct CreateParams {
  DWORD ex_style = 0;
  std::u16string class_name;
  ATOM class_atom = 0;
  std::u16string text;
  DWORD style = 0;
  int x = 0, y = 0, width = 0, height = 0;
  HWND parent = nullptr;
  HMENU menu = nullptr;
  HINSTANCE instance = nullptr;
  void* param = nullptr;
};

class WindowSystem {
 public:
  explicit WindowSystem(Device& device);
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // The booted device's window system, created on first use.
  static WindowSystem& Get();
  // The window system if one exists (used at thread exit, which may follow shutdown).
  static WindowSystem* Existing();

  Clock& clock() { return clock_; }
  Device& device() { return device_; }

  // ---- Classes ----
  Result<ATOM> RegisterClass(const WNDCLASSW& wc);
  Status UnregisterClass(std::u16string_view name);
  // Looks a class up by name or by atom (a name pointer below 0x10000).
  std::shared_ptr<const WindowClass> FindClass(const WCHAR* name_or_atom);

  // ---- Lifecycle ----
  Result<HWND> CreateWindow(const CreateParams& params);
  Status DestroyWindow(HWND hwnd);
  bool IsWindow(HWND hwnd);

  // ---- Reading and changing window data (each takes the lock) ----
  // Runs `fn` on the window under the lock; false when `hwnd` is not a window.
  bool With(HWND hwnd, const std::function<void(Window&)>& fn);
  std::optional<uint32_t> ThreadOf(HWND hwnd);
  HWND Relative(HWND hwnd, UINT relation);  // GetWindow
  HWND Parent(HWND hwnd);                   // GetParent: the parent, or the owner of a popup
  bool IsDescendant(HWND ancestor, HWND hwnd);
  // `width` is the size of a value kept in the extra bytes: sizeof(LONG) for GetWindowLong,
  // sizeof(LONG_PTR) for GetWindowLongPtr.
  Result<LONG_PTR> GetLong(HWND hwnd, int index, size_t width = sizeof(LONG));
  Result<LONG_PTR> SetLong(HWND hwnd, int index, LONG_PTR value, size_t width = sizeof(LONG));
  std::optional<std::u16string> Text(HWND hwnd);
  HWND FindTopLevel(const std::u16string* class_name, const std::u16string* text);
  std::vector<HWND> TopLevelOfThread(uint32_t thread);
  HWND ChildWithId(HWND parent, LONG_PTR id);

  // ---- Geometry and visibility ----
  std::optional<RECT> ScreenRect(HWND hwnd);
  std::optional<RECT> ClientRectOnScreen(HWND hwnd);
  bool IsVisible(HWND hwnd);  // the window and all its ancestors
  // ShowWindow: returns whether the window was visible before.
  Result<bool> Show(HWND hwnd, int command);
  Status SetPosition(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags);
  Status Enable(HWND hwnd, bool enable, bool* was_disabled);
  Status SetRegion(HWND hwnd, std::optional<gdi::Region> region, bool redraw);
  // Adds `rect` (client coordinates; null for the whole client area) to the update region.
  Status Invalidate(HWND hwnd, const RECT* rect, bool erase);
  Status Validate(HWND hwnd, const RECT* rect);
  void InvalidateAll();
  std::optional<UpdateArea> TakeUpdate(HWND hwnd);
  bool HasUpdate(HWND hwnd);
  Status ScrollChildren(HWND hwnd, int dx, int dy);
  // SetParent: moves the window under `parent` (null: to the top level), keeping its position
  // numbers, now in the new parent's client coordinates. Returns the previous parent.
  Result<HWND> Reparent(HWND hwnd, HWND parent);
  // HitTest and Visible leave out the soft-key bars other than the front one.
  HWND HitTest(POINT screen_point);
  std::vector<WindowSnapshot> Visible();
  // `class_name`: with the class name (the graphics engine's queries do not need it).
  std::optional<WindowSnapshot> Snapshot(HWND hwnd, bool class_name = true);

  // ---- Soft-key bars ----
  // Makes `hwnd`, a top-level window owned by another, that window's soft-key bar. Fails for a
  // child or an unowned window.
  Status MarkSoftKeyBar(HWND hwnd);
  // The bar the soft keys belong to: the visible bar of the top-most visible top-level window
  // that owns one (the highest of its bars when it has several). Null when no such bar exists.
  HWND FrontSoftKeyBar();

  // ---- Focus and activation ----
  HWND SetFocus(HWND hwnd);
  HWND Focus();  // the focus window of any thread
  HWND SetActive(HWND hwnd, WORD how);
  HWND Active();  // the active window of any thread
  HWND SetCapture(HWND hwnd);
  HWND Capture();

  // ---- Messages ----
  LRESULT Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Same thread: a direct call. Another thread: queued as sent, without waiting.
  Status SendNotify(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  Status Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  Status PostToThread(uint32_t thread, UINT message, WPARAM wparam, LPARAM lparam);
  // Input (taps and keys): to the input queue of the window's thread, stamped `time`.
  Status PostInput(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, uint32_t time,
                   POINT screen_point);
  void PostQuit(int code);
  // GetMessage (wait = true) and PeekMessage (wait = false, `remove` from PM_REMOVE).
  bool Retrieve(MSG* out, const MessageFilter& filter, bool remove, bool wait);
  // Blocks until the calling thread's queue has something to retrieve (WaitMessage), or the
  // real deadline passes.
  void WaitForMessages(std::optional<std::chrono::steady_clock::time_point> deadline);
  LRESULT Dispatch(const MSG& msg);
  bool InSend();
  DWORD QueueStatus();

  // ---- Timers ----
  Result<UINT_PTR> SetTimer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc);
  bool KillTimer(HWND hwnd, UINT_PTR id);

  // ---- Listeners (the graphics engine's surfaces) ----
  int AddListener(WindowListener listener);
  void RemoveListener(int id);

  // Called when a device thread ends: its windows go without messages, its senders are freed.
  void OnThreadExit(uint32_t thread);

 private:
  friend class ModalLoop;
  using Lock = std::unique_lock<std::mutex>;

  Window* Find(HWND hwnd);  // REQUIRES: mutex_
  bool IsDescendantLocked(HWND ancestor, HWND hwnd);  // REQUIRES: mutex_
  std::shared_ptr<MessageQueue> QueueOf(uint32_t thread, bool create);  // REQUIRES: mutex_
  std::shared_ptr<MessageQueue> CurrentQueue();                          // REQUIRES: mutex_
  LRESULT CallProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT SendAcrossThreads(Lock& lock, const std::shared_ptr<MessageQueue>& target, HWND hwnd,
                            UINT message, WPARAM wparam, LPARAM lparam);
  // Runs the oldest incoming sent message of `queue`; unlocks while the procedure runs.
  void AnswerOneSent(Lock& lock, MessageQueue& queue);
  bool TakePosted(std::deque<MSG>& list, MSG* out, const MessageFilter& filter, bool remove);
  bool MakePaint(MessageQueue& queue, MSG* out, const MessageFilter& filter);
  bool MakeTimer(MessageQueue& queue, MSG* out, const MessageFilter& filter, bool remove);
  bool Accepts(const MessageFilter& filter, HWND hwnd);  // REQUIRES: mutex_
  MSG Stamp(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Geometry helpers. REQUIRES: mutex_
  POINT ClientOrigin(const Window& w) const;  // screen position of the client area's origin
  POINT WindowOrigin(const Window& w) const;  // screen position of the window's origin
  bool VisibleLocked(const Window& w) const;
  void InvalidateLocked(Window& w, const gdi::Rect* client_rect, bool erase);
  void InvalidateTreeLocked(Window& w);
  void PlaceInZOrder(Window& w, HWND insert_after);
  std::vector<Window*>& SiblingsOf(Window& w);
  WindowSnapshot SnapshotLocked(const Window& w, bool class_name = true) const;
  void CollectVisible(Window& w, std::vector<WindowSnapshot>& out);
  Window* HitTestIn(Window& w, POINT screen_point);
  Window* FrontSoftKeyBarLocked();
  gdi::Rect ComputeClient(DWORD style, DWORD ex_style, int width, int height) const;

  // Lifecycle helpers.
  void SendDestroyTree(HWND hwnd);
  void FreeTree(HWND hwnd);
  void Unlink(Window& w);     // REQUIRES: mutex_
  void Discard(Window& w);    // REQUIRES: mutex_; forgets the window and everything queued for it
  void Emit(HWND hwnd, WindowEvent event);

  Device& device_;
  Clock& clock_;
  std::mutex mutex_;
  std::unordered_map<uintptr_t, std::unique_ptr<Window>> windows_;
  std::vector<Window*> top_level_;  // z-order, topmost first
  std::map<std::u16string, std::shared_ptr<WindowClass>> classes_;  // by lower-case name
  ATOM next_atom_ = 0xC000;
  uintptr_t next_handle_ = 0x10010;
  std::unordered_map<uint32_t, std::shared_ptr<MessageQueue>> queues_;
  HWND focus_ = nullptr;
  HWND active_ = nullptr;
  HWND capture_ = nullptr;
  UINT_PTR next_thread_timer_ = 0x7F00;
  std::mutex listeners_mutex_;
  std::vector<std::pair<int, WindowListener>> listeners_;
  int next_listener_ = 1;
};

// Makes the window system what the graphics engine composes (or stops it).
void InstallWindowView(bool install);

// The lower-case form used as the key of class names (matched without regard to case).
std::u16string FoldCase(std::u16string_view text);

}  // namespace pellix::device::windows
