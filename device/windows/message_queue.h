// One thread's message queue: sent messages waiting for it, posted messages, input, the quit
// flag and its timers. WM_PAINT and WM_TIMER are never queued; they are made on demand when
// nothing of higher priority waits.
//
// Threads: a queue belongs to the device thread that owns its windows, but other threads add
// to it (posts, sends, input) and complete its outgoing sends. Every member is guarded by the
// WindowSystem's lock; `wake` is waited on with that lock. REQUIRES: the lock for every call.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <windows.h>

namespace pellix::device::windows {

struct Window;
class MessageQueue;

// A message sent from one thread to a window of another. The sender waits until `done`.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  LRESULT result = 0;
  bool done = false;
  // The waiting sender's queue, woken when the message is answered; null when nobody waits
  // (SendNotifyMessage and the system's own notifications).
  std::shared_ptr<MessageQueue> sender;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  uint32_t period = 0;  // device ms
  uint64_t due = 0;     // device ms
  TIMERPROC proc = nullptr;
};

// Which messages a GetMessage / PeekMessage call accepts.
struct MessageFilter {
  HWND hwnd = nullptr;  // null: any; (HWND)-1: thread messages only; else the window or a child
  UINT min = 0;
  UINT max = 0;
  bool AcceptsNumber(UINT message) const {
    return (min == 0 && max == 0) || (message >= min && message <= max);
  }
};

class MessageQueue {
 public:
  explicit MessageQueue(uint32_t thread) : thread_(thread) {}

  uint32_t thread() const { return thread_; }
  bool alive() const { return alive_; }

  std::deque<std::shared_ptr<SentMessage>> sent;  // incoming, first in first out
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quit = false;
  int quit_code = 0;
  std::vector<Timer> timers;
  std::vector<Window*> windows;  // the windows this thread owns, in creation order
  std::condition_variable wake;  // sent, posted, input, timer changes, answered sends
  // Counts wake-ups, so that a waiter can spin briefly on it before sleeping: a cross-thread
  // send is answered within microseconds, far sooner than a sleeping thread is woken.
  std::atomic<uint64_t> signals{0};
  void Wake() {
    signals.fetch_add(1, std::memory_order_release);
    wake.notify_all();
  }
  int in_send = 0;               // depth of sent messages being processed

  // Drops everything addressed to `hwnd`; blocked senders get 0.
  void ForgetWindow(HWND hwnd);
  // Marks the queue dead: pending senders get 0 and later posts fail.
  void Close();

 private:
  uint32_t thread_;
  bool alive_ = true;
};

// Completes a sent message and wakes its sender. REQUIRES: the WindowSystem lock.
void Answer(SentMessage& message, LRESULT result);

// Waits on `queue` until it is woken or the real deadline passes: spins briefly with the lock
// released, then sleeps on the condition variable. Returns with the lock held; the caller
// re-checks its condition. REQUIRES: `lock` holds the WindowSystem lock.
void Block(std::unique_lock<std::mutex>& lock, MessageQueue& queue,
           std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace pellix::device::windows
