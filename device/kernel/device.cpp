#include "kernel/device.h"

#include <cstdio>
#include <atomic>
#include <cstdlib>

namespace pellix::device {

namespace {
std::unique_ptr<Device> g_device;

std::vector<Device::BootHook>& BootHooks() {
  static std::vector<Device::BootHook> hooks;
  return hooks;
}
}  // namespace

Device::BootRegistration::BootRegistration(BootHook hook) { BootHooks().push_back(hook); }

Device::Device(DeviceImage image)
    : image_(std::move(image)),
      clock_(image_.profile().clock_speed),
      journal_(clock_, image_.journal_log()) {}

Device::~Device() {
  for (auto it = shutdown_hooks_.rbegin(); it != shutdown_hooks_.rend(); ++it) (*it)();
  shutdown_hooks_.clear();
  // Last created, first destroyed: a component may still use those created before it.
  while (!components_.empty()) {
    Slot last = std::move(components_.back());
    components_.pop_back();
    last.object.reset();
    by_slot_[last.slot] = nullptr;
  }
}

Device& Device::Boot(DeviceImage image) {
  Shutdown();
  g_device.reset(new Device(std::move(image)));
  for (BootHook hook : BootHooks()) hook(*g_device);
  return *g_device;
}

Device* Device::Current() { return g_device.get(); }

Device& Device::Get() {
  if (!g_device) {
    std::fprintf(stderr, "pellix device: a platform call was made before a device was booted\n");
    std::abort();
  }
  return *g_device;
}

void Device::Shutdown() {
  if (!g_device) return;
  // The device stays current while it shuts down: its hooks wait for device threads that are
  // still finishing platform calls, and those calls must find the device.
  delete g_device.get();
  g_device.release();
}

size_t Device::NextComponentSlot() {
  static std::atomic<size_t> next{0};
  return next.fetch_add(1);
}

void Device::AtShutdown(std::function<void()> hook) {
  std::lock_guard lock(hooks_mutex_);
  shutdown_hooks_.push_back(std::move(hook));
}

}  // namespace pellix::device
