#include "kernel/clock.h"

#include <thread>

namespace pellix::device {

Clock::Clock(double speed) : speed_(speed > 0 ? speed : 1.0), start_(RealClock::now()) {}

uint64_t Clock::Now() const {
  auto real = std::chrono::duration<double, std::milli>(RealClock::now() - start_).count();
  return static_cast<uint64_t>(real * speed_);
}

uint32_t Clock::TickCount() const { return static_cast<uint32_t>(Now()); }

Clock::RealClock::time_point Clock::RealTimeAt(uint64_t device_time) const {
  auto real = std::chrono::duration<double, std::milli>(static_cast<double>(device_time) / speed_);
  return start_ + std::chrono::duration_cast<RealClock::duration>(real);
}

Clock::RealClock::time_point Clock::RealDeadline(uint64_t device_ms) const {
  return RealTimeAt(Now() + device_ms);
}

void Clock::Sleep(uint64_t device_ms) const {
  if (device_ms == 0) {
    std::this_thread::yield();
    return;
  }
  const auto deadline = RealDeadline(device_ms);
  std::unique_lock lock(sleep_mutex_);
  sleepers_.wait_until(lock, deadline, [this] { return stopped_.load(); });
}

void Clock::StopSleeping() {
  {
    std::lock_guard lock(sleep_mutex_);
    stopped_ = true;
  }
  sleepers_.notify_all();
}

}  // namespace pellix::device
