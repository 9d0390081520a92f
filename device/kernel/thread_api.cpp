// coredll: threads, events, mutexes, waits, critical sections and interlocked operations.
// Threads are real host threads; waits run on the device clock.
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "kernel/device.h"
#include "kernel/kernel_object.h"
#include "kernel/thread_id.h"
#include "windows.h"

namespace pellix::device {
namespace {

class ThreadObject : public KernelObject {
 public:
  bool waitable() const override { return true; }
  bool IsSignaled(uint32_t) const override { return finished; }

  bool finished = false;  // guarded by WaitLock()
  DWORD exit_code = STILL_ACTIVE;
  DWORD id = 0;
  int priority = THREAD_PRIORITY_NORMAL;
  bool suspended = false;
};

class EventObject : public KernelObject {
 public:
  EventObject(bool manual, bool initial) : manual_reset(manual), signaled(initial) {}
  bool waitable() const override { return true; }
  bool IsSignaled(uint32_t) const override { return signaled; }
  void OnWaitSatisfied(uint32_t) override {
    if (!manual_reset) signaled = false;
  }
  bool manual_reset;
  bool signaled;
};

class MutexObject : public KernelObject {
 public:
  bool waitable() const override { return true; }
  bool IsSignaled(uint32_t thread) const override { return count == 0 || owner == thread; }
  void OnWaitSatisfied(uint32_t thread) override {
    owner = thread;
    ++count;
  }
  uint32_t owner = 0;
  uint32_t count = 0;
};

// Threads the device started, so that shutdown can wait for them to leave device code.
class DeviceThreads {
 public:
  explicit DeviceThreads(Device& device) {
    device.AtShutdown([this, &device] {
      device.clock().StopSleeping();
      WaitForAll(std::chrono::seconds(5));
    });
  }
  void Started() { running_.fetch_add(1); }
  void Finished() {
    std::lock_guard lock(mutex_);
    running_.fetch_sub(1);
    done_.notify_all();
  }
  void WaitForAll(std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    done_.wait_for(lock, limit, [this] { return running_.load() == 0; });
  }

 private:
  std::atomic<int> running_{0};
  std::mutex mutex_;
  std::condition_variable done_;
};
// Made at boot, so that its shutdown hook is the first registered and runs last: hooks of
// components made later (the Inbox releasing its rule clients) still see sleeping work out.
PELLIX_BOOT_COMPONENT(DeviceThreads);

HANDLE ToHandle(uintptr_t h) { return reinterpret_cast<HANDLE>(h); }
uintptr_t FromHandle(HANDLE h) { return reinterpret_cast<uintptr_t>(h); }
constexpr uintptr_t kCurrentThreadPseudoHandle = static_cast<uintptr_t>(-2);

struct StartInfo {
  std::shared_ptr<ThreadObject> thread;
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  bool suspended;
};

thread_local std::shared_ptr<ThreadObject> t_current_thread;

void FinishThread(const std::shared_ptr<ThreadObject>& thread, DWORD code) {
  {
    std::lock_guard lock(WaitLock());
    thread->exit_code = code;
    thread->finished = true;
  }
  WaitChanged().notify_all();
}

// Waits until the objects satisfy the wait, the deadline passes, or forever when `forever`.
DWORD Wait(const std::vector<std::shared_ptr<KernelObject>>& objects, bool wait_all,
           Clock::RealClock::time_point deadline, bool forever) {
  uint32_t self = CurrentThreadId();
  std::unique_lock lock(WaitLock());
  for (;;) {
    if (wait_all) {
      bool all = true;
      for (auto& o : objects) all = all && o->IsSignaled(self);
      if (all) {
        for (auto& o : objects) o->OnWaitSatisfied(self);
        return WAIT_OBJECT_0;
      }
    } else {
      for (size_t i = 0; i < objects.size(); ++i) {
        if (objects[i]->IsSignaled(self)) {
          objects[i]->OnWaitSatisfied(self);
          return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
      }
    }
    if (forever) {
      WaitChanged().wait(lock);
    } else if (WaitChanged().wait_until(lock, deadline) == std::cv_status::timeout &&
               Clock::RealClock::now() >= deadline) {
      // One last look: the state may have changed just as the time ran out.
      for (size_t i = 0; i < objects.size(); ++i)
        if (!wait_all && objects[i]->IsSignaled(self)) {
          objects[i]->OnWaitSatisfied(self);
          return WAIT_OBJECT_0 + static_cast<DWORD>(i);
        }
      return WAIT_TIMEOUT;
    }
  }
}

}  // namespace
}  // namespace pellix::device

using namespace pellix::device;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Device& device = Device::Get();
  auto thread = std::make_shared<ThreadObject>();
  thread->suspended = (creationFlags & CREATE_SUSPENDED) != 0;
  // The identifier is the thread's before it runs, as on the platform, so that the caller can
  // go on at once without waiting for the new thread to be scheduled.
  thread->id = NewThreadId();
  uintptr_t handle = Handles().Insert(thread);
  DeviceThreads& threads = device.Component<DeviceThreads>();
  threads.Started();
  std::thread([thread, start, parameter, &threads] {
    AdoptThreadId(thread->id);
    {
      std::unique_lock lock(WaitLock());
      WaitChanged().wait(lock, [&] { return !thread->suspended; });
    }
    t_current_thread = thread;
    DWORD code = start(parameter);
    FinishThread(thread, code);
    t_current_thread.reset();
    threads.Finished();
  }).detach();
  if (threadId) *threadId = thread->id;
  return ToHandle(handle);
}

DWORD ResumeThread(HANDLE h) {
  auto thread = Handles().FindAs<ThreadObject>(FromHandle(h));
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  DWORD previous;
  {
    std::lock_guard lock(WaitLock());
    previous = thread->suspended ? 1 : 0;
    thread->suspended = false;
  }
  WaitChanged().notify_all();
  return previous;
}

BOOL GetExitCodeThread(HANDLE h, LPDWORD exitCode) {
  auto thread = Handles().FindAs<ThreadObject>(FromHandle(h));
  if (!thread || !exitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(WaitLock());
  *exitCode = thread->exit_code;
  return TRUE;
}

BOOL SetThreadPriority(HANDLE h, int priority) {
  if (FromHandle(h) == kCurrentThreadPseudoHandle) return TRUE;
  auto thread = Handles().FindAs<ThreadObject>(FromHandle(h));
  if (!thread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  thread->priority = priority;  // recorded; the host scheduler decides
  return TRUE;
}

int GetThreadPriority(HANDLE h) {
  auto thread = Handles().FindAs<ThreadObject>(FromHandle(h));
  return thread ? thread->priority : THREAD_PRIORITY_NORMAL;
}

DWORD GetCurrentThreadId() { return CurrentThreadId(); }
HANDLE GetCurrentThread() { return ToHandle(kCurrentThreadPseudoHandle); }
DWORD GetCurrentProcessId() { return 0x0A5E0002; }

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR) {
  return ToHandle(Handles().Insert(std::make_shared<EventObject>(manualReset, initialState)));
}

namespace {
BOOL SetEventState(HANDLE h, bool signaled) {
  auto event = Handles().FindAs<EventObject>(FromHandle(h));
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard lock(WaitLock());
    event->signaled = signaled;
  }
  WaitChanged().notify_all();
  return TRUE;
}
}  // namespace

BOOL SetEvent(HANDLE h) { return SetEventState(h, true); }
BOOL ResetEvent(HANDLE h) { return SetEventState(h, false); }

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR) {
  auto mutex = std::make_shared<MutexObject>();
  if (initialOwner) {
    mutex->owner = CurrentThreadId();
    mutex->count = 1;
  }
  return ToHandle(Handles().Insert(mutex));
}

BOOL ReleaseMutex(HANDLE h) {
  auto mutex = Handles().FindAs<MutexObject>(FromHandle(h));
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    std::lock_guard lock(WaitLock());
    if (mutex->owner != CurrentThreadId() || mutex->count == 0) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (--mutex->count == 0) mutex->owner = 0;
  }
  WaitChanged().notify_all();
  return TRUE;
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (count == 0 || count > 64 || !handles) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::vector<std::shared_ptr<KernelObject>> objects;
  for (DWORD i = 0; i < count; ++i) {
    auto object = Handles().Find(FromHandle(handles[i]));
    if (!object || !object->waitable()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return WAIT_FAILED;
    }
    objects.push_back(std::move(object));
  }
  bool forever = milliseconds == INFINITE;
  auto deadline = forever ? Clock::RealClock::time_point::max()
                          : Device::Get().clock().RealDeadline(milliseconds);
  return Wait(objects, waitAll, deadline, forever);
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

BOOL CloseHandle(HANDLE h) {
  if (FromHandle(h) == kCurrentThreadPseudoHandle) return TRUE;
  if (!Handles().Close(FromHandle(h))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// ---- Critical sections ---------------------------------------------------------------------------

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  section->LockImpl = new std::recursive_mutex;
  section->OwnerThread = 0;
  section->LockCount = 0;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  delete static_cast<std::recursive_mutex*>(section->LockImpl);
  section->LockImpl = nullptr;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  static_cast<std::recursive_mutex*>(section->LockImpl)->lock();
  section->OwnerThread = CurrentThreadId();
  ++section->LockCount;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!static_cast<std::recursive_mutex*>(section->LockImpl)->try_lock()) return FALSE;
  section->OwnerThread = CurrentThreadId();
  ++section->LockCount;
  return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (--section->LockCount == 0) section->OwnerThread = 0;
  static_cast<std::recursive_mutex*>(section->LockImpl)->unlock();
}

// ---- Interlocked ---------------------------------------------------------------------------------

LONG InterlockedIncrement(LONG volatile* v) { return __atomic_add_fetch(v, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(LONG volatile* v) { return __atomic_sub_fetch(v, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(LONG volatile* t, LONG v) { return __atomic_exchange_n(t, v, __ATOMIC_SEQ_CST); }
LONG InterlockedExchangeAdd(LONG volatile* t, LONG v) { return __atomic_fetch_add(t, v, __ATOMIC_SEQ_CST); }
LONG InterlockedCompareExchange(LONG volatile* t, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(t, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
PVOID InterlockedExchangePointer(PVOID volatile* t, PVOID v) {
  return __atomic_exchange_n(t, v, __ATOMIC_SEQ_CST);
}
PVOID InterlockedCompareExchangePointer(PVOID volatile* t, PVOID exchange, PVOID comparand) {
  __atomic_compare_exchange_n(t, &comparand, exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return comparand;
}
