// The device clock. Device time runs at the profile's speed factor against real time, so a
// test can let fifteen device seconds pass in a fraction of a real second. Thread-safe.
#pragma once

#include <chrono>
#include <cstdint>

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
  // Sleeps for `device_ms` device milliseconds.
  void Sleep(uint64_t device_ms) const;

 private:
  double speed_;
  RealClock::time_point start_;
};

}  // namespace pellix::device
