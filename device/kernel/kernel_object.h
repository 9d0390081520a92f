// Kernel objects behind HANDLEs: threads, events, mutexes, files. Handles are small numbers
// in a per-device table, so a stale or forged handle is detected instead of dereferenced.
//
// Waiting: every signal state lives under one lock (WaitLock) with one condition variable,
// which keeps WaitForMultipleObjects simple and race-free at the handheld's scale.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/result.h"

namespace pellix::device {

class Device;

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Waitable objects override these; both are called with WaitLock() held.
  virtual bool waitable() const { return false; }
  virtual bool IsSignaled(uint32_t /*thread*/) const { return false; }
  // Called when a wait is satisfied by this object (auto-reset events reset, mutexes are taken).
  virtual void OnWaitSatisfied(uint32_t /*thread*/) {}
};

std::mutex& WaitLock();
std::condition_variable& WaitChanged();

class HandleTable {
 public:
  explicit HandleTable(Device&) {}

  uintptr_t Insert(std::shared_ptr<KernelObject> object);
  std::shared_ptr<KernelObject> Find(uintptr_t handle) const;
  template <typename T>
  std::shared_ptr<T> FindAs(uintptr_t handle) const {
    return std::dynamic_pointer_cast<T>(Find(handle));
  }
  bool Close(uintptr_t handle);
  size_t size() const;

 private:
  mutable std::mutex mutex_;  // guards objects_ and next_
  std::map<uintptr_t, std::shared_ptr<KernelObject>> objects_;
  uintptr_t next_ = 0x1000;
};

// The current device's handle table.
HandleTable& Handles();

}  // namespace pellix::device
