#include "kernel/power.h"

#include "kernel/device.h"

namespace pellix::device {

void PowerManager::SetUnattended(bool on) {
  std::string text;
  {
    std::lock_guard lock(mutex_);
    // Unattended mode is counted: each caller that turns it on turns it off again.
    unattended_count_ = on ? unattended_count_ + 1 : (unattended_count_ > 0 ? unattended_count_ - 1 : 0);
    text = std::string("unattended ") + (on ? "on" : "off") + " (" + std::to_string(unattended_count_) + ")";
  }
  device_.journal().Append(journal_kind::kPower, text);
}

bool PowerManager::unattended() const {
  std::lock_guard lock(mutex_);
  return unattended_count_ > 0;
}

void PowerManager::ResetIdleTimer() {
  uint64_t now = device_.clock().Now();
  std::lock_guard lock(mutex_);
  ++idle_resets_;
  last_idle_reset_ = now;
}

uint64_t PowerManager::idle_timer_resets() const {
  std::lock_guard lock(mutex_);
  return idle_resets_;
}

uint64_t PowerManager::last_idle_reset_time() const {
  std::lock_guard lock(mutex_);
  return last_idle_reset_;
}

uintptr_t PowerManager::SetRequirement(const std::string& device_name, int state) {
  uintptr_t id;
  {
    std::lock_guard lock(mutex_);
    id = next_id_;
    next_id_ += 4;
    requirements_[id] = Requirement{device_name, state};
  }
  const char* kind = device_name == "BKL1:" ? journal_kind::kBacklight : journal_kind::kPower;
  device_.journal().Append(kind, "require " + device_name + " D" + std::to_string(state));
  return id;
}

bool PowerManager::ReleaseRequirement(uintptr_t id) {
  Requirement released;
  {
    std::lock_guard lock(mutex_);
    auto it = requirements_.find(id);
    if (it == requirements_.end()) return false;
    released = it->second;
    requirements_.erase(it);
  }
  const char* kind = released.device == "BKL1:" ? journal_kind::kBacklight : journal_kind::kPower;
  device_.journal().Append(kind, "release " + released.device + " D" + std::to_string(released.state));
  return true;
}

int PowerManager::RequiredState(const std::string& device_name) const {
  std::lock_guard lock(mutex_);
  int best = -1;
  for (const auto& [id, r] : requirements_)
    if (r.device == device_name && (best < 0 || r.state < best)) best = r.state;
  return best;
}

}  // namespace pellix::device
