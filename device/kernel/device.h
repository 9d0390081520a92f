// The one device of this process, booted on a device image. Its state is process-wide, as on
// the real platform: every SDK function reaches it through Device::Current().
//
// Subsystems keep their own state as components: Device::Component<T>() creates a T from the
// device on first use (T must be constructible from Device&) and keeps it until Shutdown,
// which destroys components in the reverse order of their creation.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "kernel/clock.h"
#include "kernel/device_image.h"
#include "person/journal.h"

namespace pellix::device {

class Device {
 public:
  // Boots the process's device on `image`. Any device booted before is shut down first.
  static Device& Boot(DeviceImage image);
  // The booted device, or null before Boot.
  static Device* Current();
  // The booted device; aborts with a clear message when none is booted (a programming error).
  static Device& Get();
  static void Shutdown();

  const DeviceImage& image() const { return image_; }
  const Profile& profile() const { return image_.profile(); }
  Clock& clock() { return clock_; }
  Journal& journal() { return journal_; }

  template <typename T>
  T& Component() {
    // Each component type gets a slot number once per process, so a lookup is an index.
    static const size_t slot = NextComponentSlot();
    {
      // The lookup lock is a leaf: nothing is called while it is held, so looking up a
      // component under any other lock can never be part of a lock cycle.
      std::lock_guard lookup(lookup_mutex_);
      if (slot < by_slot_.size() && by_slot_[slot]) return *static_cast<T*>(by_slot_[slot]);
    }
    // Creation is serialised by its own lock; a constructor may create other components.
    std::lock_guard create(creation_mutex_);
    {
      std::lock_guard lookup(lookup_mutex_);
      if (slot < by_slot_.size() && by_slot_[slot]) return *static_cast<T*>(by_slot_[slot]);
    }
    auto object = std::make_unique<T>(*this);
    T* raw = object.get();
    std::lock_guard lookup(lookup_mutex_);
    components_.push_back(Slot{slot, std::unique_ptr<void, void (*)(void*)>(
                                         object.release(), [](void* p) { delete static_cast<T*>(p); })});
    if (by_slot_.size() <= slot) by_slot_.resize(slot + 1, nullptr);
    by_slot_[slot] = raw;
    return *raw;
  }

  // Components that other subsystems reach while holding their own locks are created when the
  // device boots, on the booting thread with no lock held, so that their construction never
  // runs under someone else's lock. A subsystem registers them with PELLIX_BOOT_COMPONENT(T).
  using BootHook = void (*)(Device&);
  struct BootRegistration {
    explicit BootRegistration(BootHook hook);
  };

  // Runs `hook` at shutdown, before components are destroyed, last registered first.
  void AtShutdown(std::function<void()> hook);

  ~Device();

 private:
  explicit Device(DeviceImage image);

  static size_t NextComponentSlot();

  struct Slot {
    size_t slot;
    std::unique_ptr<void, void (*)(void*)> object;
  };

  DeviceImage image_;
  Clock clock_;
  Journal journal_;
  std::recursive_mutex creation_mutex_;  // held while a component is constructed
  std::mutex lookup_mutex_;              // guards components_ and by_slot_; a leaf lock
  std::mutex hooks_mutex_;               // guards shutdown_hooks_
  std::vector<Slot> components_;  // in creation order
  std::vector<void*> by_slot_;
  std::vector<std::function<void()>> shutdown_hooks_;
};

}  // namespace pellix::device

#define PELLIX_BOOT_CONCAT2(a, b) a##b
#define PELLIX_BOOT_CONCAT(a, b) PELLIX_BOOT_CONCAT2(a, b)
#define PELLIX_BOOT_COMPONENT(T)                                                            \
  static ::pellix::device::Device::BootRegistration PELLIX_BOOT_CONCAT(boot_component_, \
                                                                       __LINE__)(       \
      [](::pellix::device::Device& d) { d.Component<T>(); })
