// The device clock. Device time runs at the profile's speed factor against real time, so a
// test can let fifteen device seconds pass in a fraction of a real second. Thread-safe.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace pellix::device {

class Clock {
 public:
  using RealClock = std::chrono::steady_clock;

  explicit Clock(double speed = 1.0);

  double speed() const { return speed_; }
  // Device milliseconds since boot; wraps at 2^32 like GetTickCount.
  uint32_t TickCount() const;
  // Device milliseconds since boot, without wrapping.
  uint64_t Now() const;
  // The real time at which `device_ms` device milliseconds from now will have passed.
  RealClock::time_point RealDeadline(uint64_t device_ms) const;
  RealClock::time_point RealTimeAt(uint64_t device_time) const;
  // Sleeps for `device_ms` device milliseconds, or until the device shuts down.
  void Sleep(uint64_t device_ms) const;
  // Wakes every sleeper and makes later sleeps return at once: a device that is shutting down
  // waits for its threads, and a thread in the middle of a long Sleep would otherwise hold the
  // shutdown (and the process) for the rest of it.
  void StopSleeping();

 private:
  double speed_;
  RealClock::time_point start_;
  std::atomic<bool> stopped_{false};
  mutable std::mutex sleep_mutex_;
  mutable std::condition_variable sleepers_;
};

}  // namespace pellix::device
