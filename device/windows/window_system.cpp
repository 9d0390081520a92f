#include "windows/window_system.h"

#include <algorithm>
#include <atomic>

#include "kernel/device.h"
#include "kernel/thread_id.h"
#include "windows/edit_control.h"

namespace pellix::device::windows {
namespace {

// The instance pointer is read without a lock on every call; `g_instance_mutex` orders the
// thread-exit hook against the window system's destruction.
std::atomic<WindowSystem*> g_instance{nullptr};
std::mutex g_instance_mutex;

// Tells the window system when a device thread that had a queue ends.
struct ThreadExitHook {
  uint32_t thread = 0;
  ~ThreadExitHook() {
    if (thread == 0) return;
    std::lock_guard lock(g_instance_mutex);
    if (WindowSystem* system = g_instance.load()) system->OnThreadExit(thread);
  }
};
thread_local ThreadExitHook t_exit_hook;

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = towlower(c);
  return out;
}

WindowSystem::WindowSystem(Device& device) : device_(device), clock_(device.clock()) {
  std::lock_guard lock(g_instance_mutex);
  g_instance.store(this);
  InstallWindowView(true);
  RegisterEditClass(*this);
}

WindowSystem::~WindowSystem() {
  InstallWindowView(false);
  std::lock_guard lock(g_instance_mutex);
  g_instance.store(nullptr);
  std::lock_guard inner(mutex_);
  for (auto& [thread, queue] : queues_) queue->Close();
}

WindowSystem& WindowSystem::Get() {
  if (WindowSystem* system = g_instance.load(std::memory_order_acquire)) return *system;
  return Device::Get().Component<WindowSystem>();
}

WindowSystem* WindowSystem::Existing() { return g_instance.load(std::memory_order_acquire); }

// The window system is made at boot: the graphics side reaches it while holding its own lock.
PELLIX_BOOT_COMPONENT(WindowSystem);

// ---- Classes ------------------------------------------------------------------------------

Result<ATOM> WindowSystem::RegisterClass(const WNDCLASSW& wc) {
  if (wc.lpszClassName == nullptr || wc.lpfnWndProc == nullptr)
    return Fail("class without name or procedure", ERROR_INVALID_PARAMETER);
  if (reinterpret_cast<uintptr_t>(wc.lpszClassName) < 0x10000)
    return Fail("class name is an atom", ERROR_INVALID_PARAMETER);
  std::u16string name(wc.lpszClassName);
  if (name.empty()) return Fail("empty class name", ERROR_INVALID_PARAMETER);
  std::lock_guard lock(mutex_);
  std::u16string key = FoldCase(name);
  if (classes_.count(key)) return Fail("class exists", ERROR_CLASS_ALREADY_EXISTS);
  auto cls = std::make_shared<WindowClass>();
  cls->name = name;
  cls->atom = next_atom_++;
  cls->style = wc.style;
  cls->proc = wc.lpfnWndProc;
  cls->class_extra = std::max(0, wc.cbClsExtra);
  cls->window_extra = std::max(0, wc.cbWndExtra);
  cls->instance = wc.hInstance;
  cls->icon = wc.hIcon;
  cls->cursor = wc.hCursor;
  cls->background = wc.hbrBackground;
  classes_[key] = cls;
  return cls->atom;
}

Status WindowSystem::UnregisterClass(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  auto it = classes_.find(FoldCase(name));
  if (it == classes_.end()) return Fail("no such class", ERROR_CLASS_DOES_NOT_EXIST);
  for (auto& [handle, window] : windows_)
    if (window->window_class == it->second) return Fail("class in use", ERROR_ACCESS_DENIED);
  classes_.erase(it);
  return Status::Ok();
}

std::shared_ptr<const WindowClass> WindowSystem::FindClass(const WCHAR* name_or_atom) {
  if (name_or_atom == nullptr) return nullptr;
  std::lock_guard lock(mutex_);
  auto atom = reinterpret_cast<uintptr_t>(name_or_atom);
  if (atom < 0x10000) {
    for (auto& [key, cls] : classes_)
      if (cls->atom == atom) return cls;
    return nullptr;
  }
  auto it = classes_.find(FoldCase(name_or_atom));
  return it == classes_.end() ? nullptr : it->second;
}

// ---- Lookup and queues ----------------------------------------------------------------------

Window* WindowSystem::Find(HWND hwnd) {
  auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
  if (it == windows_.end() || it->second->lifecycle == Lifecycle::kGone) return nullptr;
  return it->second.get();
}

std::shared_ptr<MessageQueue> WindowSystem::QueueOf(uint32_t thread, bool create) {
  auto it = queues_.find(thread);
  if (it != queues_.end()) return it->second;
  if (!create) return nullptr;
  auto queue = std::make_shared<MessageQueue>(thread);
  queues_[thread] = queue;
  return queue;
}

std::shared_ptr<MessageQueue> WindowSystem::CurrentQueue() {
  uint32_t thread = CurrentThreadId();
  auto it = queues_.find(thread);
  if (it != queues_.end()) return it->second;
  t_exit_hook.thread = thread;
  return QueueOf(thread, true);
}

bool WindowSystem::IsWindow(HWND hwnd) {
  std::lock_guard lock(mutex_);
  return Find(hwnd) != nullptr;
}

bool WindowSystem::With(HWND hwnd, const std::function<void(Window&)>& fn) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return false;
  fn(*w);
  return true;
}

std::optional<uint32_t> WindowSystem::ThreadOf(HWND hwnd) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return std::nullopt;
  return w->thread;
}

void WindowSystem::OnThreadExit(uint32_t thread) {
  std::vector<HWND> gone;
  {
    std::lock_guard lock(mutex_);
    auto queue = QueueOf(thread, false);
    if (!queue) return;
    // The thread can no longer run window procedures: its windows go without messages.
    std::vector<Window*> owned = queue->windows;
    for (Window* w : owned) {
      if (w->lifecycle == Lifecycle::kGone) continue;
      gone.push_back(w->handle);
    }
    for (HWND hwnd : gone) {
      if (Window* w = Find(hwnd)) {
        Unlink(*w);
        Discard(*w);
      }
    }
    queue->Close();
    queues_.erase(thread);
  }
  for (HWND hwnd : gone) Emit(hwnd, WindowEvent::kDestroyed);
}

// ---- Listeners ------------------------------------------------------------------------------

int WindowSystem::AddListener(WindowListener listener) {
  std::lock_guard lock(listeners_mutex_);
  int id = next_listener_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void WindowSystem::RemoveListener(int id) {
  std::lock_guard lock(listeners_mutex_);
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void WindowSystem::Emit(HWND hwnd, WindowEvent event) {
  std::vector<WindowListener> copy;
  {
    std::lock_guard lock(listeners_mutex_);
    for (auto& [id, listener] : listeners_) copy.push_back(listener);
  }
  for (auto& listener : copy) listener(hwnd, event);
}

}  // namespace pellix::device::windows
