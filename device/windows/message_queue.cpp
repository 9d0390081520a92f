#include "windows/message_queue.h"

#include <algorithm>
#include <thread>

namespace pellix::device::windows {

void Answer(SentMessage& message, LRESULT result) {
  message.result = result;
  message.done = true;
  if (message.sender) message.sender->Wake();
}

void Block(std::unique_lock<std::mutex>& lock, MessageQueue& queue,
           std::optional<std::chrono::steady_clock::time_point> deadline) {
  constexpr auto kSpin = std::chrono::microseconds(40);
  uint64_t seen = queue.signals.load(std::memory_order_acquire);
  lock.unlock();
  auto spin_until = std::chrono::steady_clock::now() + kSpin;
  if (deadline && *deadline < spin_until) spin_until = *deadline;
  bool woken = false;
  for (int round = 0; std::chrono::steady_clock::now() < spin_until; ++round) {
    if (queue.signals.load(std::memory_order_acquire) != seen) {
      woken = true;
      break;
    }
    // Busy at first (an answer usually comes within a few microseconds), then polite.
    if (round >= 64) std::this_thread::yield();
#if defined(__x86_64__) || defined(__i386__)
    else __builtin_ia32_pause();
#endif
  }
  lock.lock();
  // Every wake-up is counted under the lock: an unchanged count means nothing changed since
  // the caller last looked, so sleeping cannot miss one.
  if (woken || queue.signals.load(std::memory_order_acquire) != seen) return;
  if (deadline)
    queue.wake.wait_until(lock, *deadline);
  else
    queue.wake.wait(lock);
}

void MessageQueue::ForgetWindow(HWND hwnd) {
  for (auto it = sent.begin(); it != sent.end();) {
    if ((*it)->hwnd == hwnd) {
      Answer(**it, 0);
      it = sent.erase(it);
    } else {
      ++it;
    }
  }
  std::erase_if(posted, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  std::erase_if(input, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
  std::erase_if(timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

void MessageQueue::Close() {
  alive_ = false;
  for (auto& message : sent) Answer(*message, 0);
  sent.clear();
  posted.clear();
  input.clear();
  timers.clear();
  windows.clear();
  Wake();
}

}  // namespace pellix::device::windows
