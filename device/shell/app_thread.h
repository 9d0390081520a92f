// The thread of the device's own applications: the compose forms that MailComposeMessage
// opens and the phone's in-call window. They outlive whoever asked for them (a bubble's
// thread ends when its last notification goes), so they live on this thread, which runs a
// message loop from first use until the device shuts down.
//
// Threads: Run may be called from any thread; the work runs on the application thread and
// Run returns once it has. Pre-translation hooks are called on the application thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include <windows.h>

namespace pellix::device {
class Device;
}

namespace pellix::device::shell {

class AppThread {
 public:
  explicit AppThread(Device& device);
  ~AppThread();
  AppThread(const AppThread&) = delete;
  AppThread& operator=(const AppThread&) = delete;

  static AppThread& Get();

  // Runs `work` on the application thread (directly when called there) and returns when it
  // is done. False when the thread cannot run it (the device is shutting down).
  bool Run(const std::function<void()>& work);

  // A hook offered every message the loop retrieves before it is dispatched (a form's
  // PreTranslateMessage); returning true keeps the message from dispatch. Call on the thread.
  int AddPreTranslate(std::function<bool(MSG&)> hook);
  void RemovePreTranslate(int id);

  DWORD thread_id() const { return thread_id_; }

 private:
  static DWORD WINAPI Main(LPVOID self);
  void Loop();

  std::mutex mutex_;  // guards stopping_
  bool stopping_ = false;
  DWORD thread_id_ = 0;
  HANDLE started_ = nullptr;
  std::map<int, std::function<bool(MSG&)>> hooks_;  // the thread's own
  int next_hook_ = 1;
};

}  // namespace pellix::device::shell
