// The device's power state as the power manager keeps it: unattended mode, idle-timer resets
// and device power requirements ("BKL1:" is the backlight, "WAV1:" the audio codec).
// Changes are journalled; idle-timer resets are only counted, since a keep-awake thread
// resets every second and a person sees nothing of it. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace pellix::device {

class Device;

class PowerManager {
 public:
  explicit PowerManager(Device& device) : device_(device) {}

  void SetUnattended(bool on);
  bool unattended() const;
  void ResetIdleTimer();
  uint64_t idle_timer_resets() const;
  uint64_t last_idle_reset_time() const;  // device ms

  // Returns a non-zero requirement id.
  uintptr_t SetRequirement(const std::string& device_name, int state);
  bool ReleaseRequirement(uintptr_t id);
  // The strongest (lowest) state required of a device now, or -1 when none is.
  int RequiredState(const std::string& device_name) const;

 private:
  Device& device_;
  mutable std::mutex mutex_;  // guards everything below
  int unattended_count_ = 0;
  uint64_t idle_resets_ = 0;
  uint64_t last_idle_reset_ = 0;
  struct Requirement {
    std::string device;
    int state;
  };
  std::map<uintptr_t, Requirement> requirements_;
  uintptr_t next_id_ = 0x2000;
};

}  // namespace pellix::device
