// The notification LEDs of the handheld: LED 0 is the notification light, LED 1 the vibrator
// (which the platform lists as an LED whose cycle cannot be adjusted: lCycleAdjust -1).
// Switching either is journalled (kinds "led" and "vibrate") when its state changes.
// Thread-safe.
#pragma once

#include <mutex>
#include <vector>

namespace pellix::device {

class Device;

namespace audio {

class Leds {
 public:
  enum class Kind { kLight, kVibrator };
  explicit Leds(Device& device);

  size_t count() const { return kinds_.size(); }
  // nullptr-free accessors: false for an index out of range.
  bool KindOf(size_t index, Kind* kind) const;
  // 0 off, 1 on, 2 blink. False for an index out of range or another state.
  bool Set(size_t index, int state);
  int State(size_t index) const;  // -1 for an index out of range

 private:
  Device& device_;
  std::vector<Kind> kinds_;
  mutable std::mutex mutex_;  // guards states_
  std::vector<int> states_;
};

}  // namespace audio
}  // namespace pellix::device
