#include "kernel/kernel_object.h"

#include "kernel/device.h"

namespace pellix::device {

std::mutex& WaitLock() {
  static std::mutex lock;
  return lock;
}

std::condition_variable& WaitChanged() {
  static std::condition_variable changed;
  return changed;
}

uintptr_t HandleTable::Insert(std::shared_ptr<KernelObject> object) {
  std::lock_guard lock(mutex_);
  uintptr_t handle = next_;
  next_ += 4;
  objects_.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<KernelObject> HandleTable::Find(uintptr_t handle) const {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(handle);
  return it == objects_.end() ? nullptr : it->second;
}

bool HandleTable::Close(uintptr_t handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
  std::lock_guard lock(mutex_);
  auto it = objects_.find(handle);
  if (it == objects_.end()) return false;
  doomed = std::move(it->second);
  objects_.erase(it);
  return true;
}

size_t HandleTable::size() const {
  std::lock_guard lock(mutex_);
  return objects_.size();
}

HandleTable& Handles() { return Device::Get().Component<HandleTable>(); }

}  // namespace pellix::device
