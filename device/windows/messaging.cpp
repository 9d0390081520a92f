// Sending, posting and retrieving messages, and timers.
#include <algorithm>

#include "kernel/clock.h"
#include "kernel/thread_id.h"
#include "windows/nonclient.h"
#include "windows/window_system.h"

namespace pellix::device::windows {
namespace {

constexpr uint32_t kMinimumTimerPeriod = 10;  // device ms, as the platform clamps it
constexpr uint32_t kMaximumTimerPeriod = 0x7FFFFFFF;
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

}  // namespace

MSG WindowSystem::Stamp(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  msg.time = clock_.TickCount();
  return msg;
}

bool WindowSystem::Accepts(const MessageFilter& filter, HWND hwnd) {
  if (filter.hwnd == nullptr) return true;
  if (filter.hwnd == kThreadMessagesOnly) return hwnd == nullptr;
  if (hwnd == filter.hwnd) return true;
  Window* w = Find(hwnd);
  for (Window* p = w ? w->parent : nullptr; p; p = p->parent)
    if (p->handle == filter.hwnd) return true;
  return false;
}

// ---- Calling procedures ---------------------------------------------------------------------

LRESULT WindowSystem::CallProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc = nullptr;
  bool captioned = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(hwnd);
    if (!w) return 0;
    proc = w->proc;
    captioned = (w->style & WS_CAPTION) == WS_CAPTION;
  }
  // The system draws the caption bar; the window paints only its client area.
  if (message == WM_PAINT && captioned) PaintCaption(hwnd);
  return proc ? proc(hwnd, message, wparam, lparam) : 0;
}

void WindowSystem::AnswerOneSent(Lock& lock, MessageQueue& queue) {
  std::shared_ptr<SentMessage> message = queue.sent.front();
  queue.sent.pop_front();
  ++queue.in_send;
  lock.unlock();
  LRESULT result = CallProcedure(message->hwnd, message->message, message->wparam,
                                 message->lparam);
  lock.lock();
  --queue.in_send;
  Answer(*message, result);
}

LRESULT WindowSystem::SendAcrossThreads(Lock& lock, const std::shared_ptr<MessageQueue>& target,
                                        HWND hwnd, UINT message, WPARAM wparam,
                                        LPARAM lparam) {
  std::shared_ptr<MessageQueue> self = CurrentQueue();
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  sent->sender = self;
  target->sent.push_back(sent);
  target->Wake();
  // While waiting, answer what other threads send to this one, so that a send back from the
  // receiver (or a chain through a third thread) completes instead of deadlocking.
  while (!sent->done) {
    if (!self->sent.empty()) {
      AnswerOneSent(lock, *self);
      continue;
    }
    Block(lock, *self, std::nullopt);
  }
  return sent->result;
}

LRESULT WindowSystem::Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Lock lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return 0;
  if (w->thread == CurrentThreadId()) {
    WNDPROC proc = w->proc;
    const bool captioned = (w->style & WS_CAPTION) == WS_CAPTION;
    lock.unlock();
    if (message == WM_PAINT && captioned) PaintCaption(hwnd);
    return proc ? proc(hwnd, message, wparam, lparam) : 0;
  }
  std::shared_ptr<MessageQueue> target = QueueOf(w->thread, false);
  if (!target || !target->alive()) return 0;
  return SendAcrossThreads(lock, target, hwnd, message, wparam, lparam);
}

Status WindowSystem::SendNotify(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Lock lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  if (w->thread == CurrentThreadId()) {
    WNDPROC proc = w->proc;
    lock.unlock();
    if (proc) proc(hwnd, message, wparam, lparam);
    return Status::Ok();
  }
  std::shared_ptr<MessageQueue> target = QueueOf(w->thread, false);
  if (!target || !target->alive()) return Status::Ok();
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  target->sent.push_back(std::move(sent));
  target->Wake();
  return Status::Ok();
}

bool WindowSystem::InSend() {
  std::lock_guard lock(mutex_);
  return CurrentQueue()->in_send > 0;
}

// ---- Posting --------------------------------------------------------------------------------

Status WindowSystem::Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(mutex_);
  if (hwnd == nullptr) {
    std::shared_ptr<MessageQueue> queue = CurrentQueue();
    queue->posted.push_back(Stamp(nullptr, message, wparam, lparam));
    return Status::Ok();
  }
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  std::shared_ptr<MessageQueue> queue = QueueOf(w->thread, false);
  if (!queue || !queue->alive()) return Fail("thread gone", ERROR_INVALID_WINDOW_HANDLE);
  queue->posted.push_back(Stamp(hwnd, message, wparam, lparam));
  queue->Wake();
  return Status::Ok();
}

Status WindowSystem::PostToThread(uint32_t thread, UINT message, WPARAM wparam, LPARAM lparam) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<MessageQueue> queue =
      thread == CurrentThreadId() ? CurrentQueue() : QueueOf(thread, false);
  if (!queue || !queue->alive()) return Fail("thread has no queue", ERROR_INVALID_PARAMETER);
  queue->posted.push_back(Stamp(nullptr, message, wparam, lparam));
  queue->Wake();
  return Status::Ok();
}

Status WindowSystem::PostInput(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                               uint32_t time, POINT screen_point) {
  std::lock_guard lock(mutex_);
  Window* w = Find(hwnd);
  if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
  std::shared_ptr<MessageQueue> queue = QueueOf(w->thread, false);
  if (!queue || !queue->alive()) return Fail("thread gone", ERROR_INVALID_WINDOW_HANDLE);
  MSG msg = Stamp(hwnd, message, wparam, lparam);
  msg.time = time;
  msg.pt = screen_point;
  queue->input.push_back(msg);
  queue->Wake();
  return Status::Ok();
}

void WindowSystem::PostQuit(int code) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<MessageQueue> queue = CurrentQueue();
  queue->quit = true;
  queue->quit_code = code;
}

// ---- Retrieving -----------------------------------------------------------------------------

bool WindowSystem::TakePosted(std::deque<MSG>& list, MSG* out, const MessageFilter& filter,
                              bool remove) {
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (!filter.AcceptsNumber(it->message) || !Accepts(filter, it->hwnd)) continue;
    *out = *it;
    if (remove) list.erase(it);
    return true;
  }
  return false;
}

bool WindowSystem::MakePaint(MessageQueue& queue, MSG* out, const MessageFilter& filter) {
  if (!filter.AcceptsNumber(WM_PAINT)) return false;
  for (Window* w : queue.windows) {
    if (w->lifecycle != Lifecycle::kAlive || w->update.IsEmpty()) continue;
    if (!VisibleLocked(*w) || !Accepts(filter, w->handle)) continue;
    *out = Stamp(w->handle, WM_PAINT, 0, 0);
    return true;
  }
  return false;
}

bool WindowSystem::MakeTimer(MessageQueue& queue, MSG* out, const MessageFilter& filter,
                             bool remove) {
  if (!filter.AcceptsNumber(WM_TIMER) || queue.timers.empty()) return false;
  uint64_t now = clock_.Now();
  Timer* due = nullptr;
  for (Timer& t : queue.timers) {
    if (t.due > now || !Accepts(filter, t.hwnd)) continue;
    if (!due || t.due < due->due) due = &t;
  }
  if (!due) return false;
  *out = Stamp(due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc));
  if (remove) {
    // Missed periods collapse into this one tick: re-arm at the next future multiple.
    uint64_t periods = (now - due->due) / due->period + 1;
    due->due += periods * due->period;
  }
  return true;
}

bool WindowSystem::Retrieve(MSG* out, const MessageFilter& filter, bool remove, bool wait) {
  Lock lock(mutex_);
  std::shared_ptr<MessageQueue> queue = CurrentQueue();
  for (;;) {
    // Sent messages first, whatever the filter; a peek may answer them and still find nothing.
    if (!queue->sent.empty()) {
      AnswerOneSent(lock, *queue);
      continue;
    }
    if (TakePosted(queue->posted, out, filter, remove)) return true;
    if (queue->quit) {
      *out = Stamp(nullptr, WM_QUIT, static_cast<WPARAM>(queue->quit_code), 0);
      if (remove) queue->quit = false;
      return true;
    }
    if (TakePosted(queue->input, out, filter, remove)) return true;
    if (MakePaint(*queue, out, filter)) return true;
    if (MakeTimer(*queue, out, filter, remove)) return true;
    if (!wait) return false;
    std::optional<uint64_t> next;
    if (filter.AcceptsNumber(WM_TIMER))
      for (const Timer& t : queue->timers)
        if (Accepts(filter, t.hwnd) && (!next || t.due < *next)) next = t.due;
    Block(lock, *queue, next ? std::optional(clock_.RealTimeAt(*next)) : std::nullopt);
  }
}

void WindowSystem::WaitForMessages(std::optional<std::chrono::steady_clock::time_point> deadline) {
  Lock lock(mutex_);
  std::shared_ptr<MessageQueue> queue = CurrentQueue();
  auto ready = [&] {
    if (!queue->sent.empty() || !queue->posted.empty() || queue->quit || !queue->input.empty())
      return true;
    MSG unused;
    return MakePaint(*queue, &unused, {}) || MakeTimer(*queue, &unused, {}, false);
  };
  while (!ready()) {
    std::optional<uint64_t> next;
    for (const Timer& t : queue->timers)
      if (!next || t.due < *next) next = t.due;
    auto until = deadline;
    if (next) {
      auto timer_time = clock_.RealTimeAt(*next);
      if (!until || timer_time < *until) until = timer_time;
    }
    Block(lock, *queue, until);
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return;
  }
}

DWORD WindowSystem::QueueStatus() {
  std::lock_guard lock(mutex_);
  std::shared_ptr<MessageQueue> queue = CurrentQueue();
  DWORD status = 0;
  if (!queue->sent.empty()) status |= QS_SENDMESSAGE;
  if (!queue->posted.empty() || queue->quit) status |= QS_POSTMESSAGE;
  for (const MSG& m : queue->input)
    status |= (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) ? QS_KEY : QS_MOUSEBUTTON;
  MSG unused;
  if (MakePaint(*queue, &unused, {})) status |= QS_PAINT;
  if (MakeTimer(*queue, &unused, {}, false)) status |= QS_TIMER;
  return status;
}

LRESULT WindowSystem::Dispatch(const MSG& msg) {
  if (msg.message == WM_TIMER && msg.lParam != 0) {
    // A timer with a procedure: call it, not the window procedure, and only while it exists.
    auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
    bool exists = false;
    {
      std::lock_guard lock(mutex_);
      for (const Timer& t : CurrentQueue()->timers)
        if (t.hwnd == msg.hwnd && t.id == msg.wParam && t.proc == proc) exists = true;
    }
    if (exists) proc(msg.hwnd, WM_TIMER, msg.wParam, clock_.TickCount());
    return 0;
  }
  if (msg.hwnd == nullptr) return 0;
  WNDPROC proc = nullptr;
  bool captioned = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = Find(msg.hwnd);
    if (!w || w->thread != CurrentThreadId()) return 0;
    proc = w->proc;
    captioned = (w->style & WS_CAPTION) == WS_CAPTION;
  }
  if (msg.message == WM_PAINT && captioned) PaintCaption(msg.hwnd);
  return proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

// ---- Timers ---------------------------------------------------------------------------------

Result<UINT_PTR> WindowSystem::SetTimer(HWND hwnd, UINT_PTR id, UINT period, TIMERPROC proc) {
  uint32_t clamped = std::clamp<uint32_t>(period, kMinimumTimerPeriod, kMaximumTimerPeriod);
  std::lock_guard lock(mutex_);
  std::shared_ptr<MessageQueue> queue;
  if (hwnd) {
    Window* w = Find(hwnd);
    if (!w) return Fail("not a window", ERROR_INVALID_WINDOW_HANDLE);
    if (w->thread != CurrentThreadId()) return Fail("window of another thread", ERROR_ACCESS_DENIED);
    queue = QueueOf(w->thread, true);
  } else {
    queue = CurrentQueue();
    // A thread timer keeps its id when the caller names one it owns; otherwise it gets a new one.
    bool known = id != 0 && std::any_of(queue->timers.begin(), queue->timers.end(),
                                         [id](const Timer& t) { return !t.hwnd && t.id == id; });
    if (!known) id = next_thread_timer_++;
  }
  uint64_t due = clock_.Now() + clamped;
  for (Timer& t : queue->timers) {
    if (t.hwnd == hwnd && t.id == id) {  // same window and id: replaced, not added
      t.period = clamped;
      t.due = due;
      t.proc = proc;
      queue->Wake();
      return id;
    }
  }
  queue->timers.push_back(Timer{hwnd, id, clamped, due, proc});
  queue->Wake();
  return hwnd && id == 0 ? UINT_PTR{1} : id;
}

bool WindowSystem::KillTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard lock(mutex_);
  std::shared_ptr<MessageQueue> queue;
  if (hwnd) {
    Window* w = Find(hwnd);
    if (!w || w->thread != CurrentThreadId()) return false;
    queue = QueueOf(w->thread, false);
  } else {
    queue = CurrentQueue();
  }
  if (!queue) return false;
  auto it = std::find_if(queue->timers.begin(), queue->timers.end(),
                         [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == queue->timers.end()) return false;
  queue->timers.erase(it);
  return true;
}

}  // namespace pellix::device::windows
