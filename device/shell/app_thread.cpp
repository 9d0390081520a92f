#include "shell/app_thread.h"

#include "windows/window_system.h"

#include <condition_variable>
#include <memory>
#include <vector>

#include "kernel/device.h"

namespace pellix::device::shell {
namespace {

// Posted to the thread: lParam is a Job.
constexpr UINT kRunJob = WM_APP + 0x2F0;

// Shared by the caller and the thread, so that a caller that gave up waiting leaves nothing
// dangling.
struct Job {
  std::function<void()> work;
  std::mutex mutex;
  std::condition_variable done_changed;
  bool done = false;
};

}  // namespace

AppThread::AppThread(Device& device) {
  started_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, &AppThread::Main, this, 0, &thread_id_);
  if (thread) {
    WaitForSingleObject(started_, INFINITE);
    CloseHandle(thread);
  }
  // Registered after the thread exists, so that it runs before shutdown waits for threads.
  device.AtShutdown([this] {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
  });
}

AppThread::~AppThread() {
  if (started_) CloseHandle(started_);
}

AppThread& AppThread::Get() { return Device::Get().Component<AppThread>(); }

DWORD WINAPI AppThread::Main(LPVOID self) {
  static_cast<AppThread*>(self)->Loop();
  return 0;
}

void AppThread::Loop() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts
  SetEvent(started_);
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.hwnd == nullptr && msg.message == kRunJob) {
      std::unique_ptr<std::shared_ptr<Job>> held(reinterpret_cast<std::shared_ptr<Job>*>(msg.lParam));
      Job* job = held->get();
      job->work();
      std::lock_guard lock(job->mutex);
      job->done = true;
      job->done_changed.notify_all();
      continue;
    }
    bool kept = false;
    // A hook may remove itself (a form that closes), so walk a copy.
    std::vector<std::function<bool(MSG&)>> hooks;
    for (auto& [id, hook] : hooks_) hooks.push_back(hook);
    for (auto& hook : hooks) {
      if (hook(msg)) {
        kept = true;
        break;
      }
    }
    if (kept) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The device is going: the programs still open close as a process's windows would, so that
  // their forms and controls are released.
  if (auto* system = windows::WindowSystem::Existing())
    for (HWND hwnd : system->TopLevelOfThread(GetCurrentThreadId()))
      if (IsWindow(hwnd)) DestroyWindow(hwnd);
  // Posted jobs nobody will run: free their callers.
  while (PeekMessageW(&msg, nullptr, kRunJob, kRunJob, PM_REMOVE)) {
    if (msg.hwnd) continue;
    std::unique_ptr<std::shared_ptr<Job>> held(reinterpret_cast<std::shared_ptr<Job>*>(msg.lParam));
    Job* job = held->get();
    std::lock_guard lock(job->mutex);
    job->done = true;
    job->done_changed.notify_all();
  }
}

bool AppThread::Run(const std::function<void()>& work) {
  if (GetCurrentThreadId() == thread_id_) {
    work();
    return true;
  }
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || thread_id_ == 0) return false;
  }
  auto job = std::make_shared<Job>();
  job->work = work;
  auto* posted = new std::shared_ptr<Job>(job);
  if (!PostThreadMessageW(thread_id_, kRunJob, 0, reinterpret_cast<LPARAM>(posted))) {
    delete posted;
    return false;
  }
  std::unique_lock lock(job->mutex);
  // Bounded, so that a thread that died cannot hang its caller.
  return job->done_changed.wait_for(lock, std::chrono::seconds(30), [&] { return job->done; });
}

int AppThread::AddPreTranslate(std::function<bool(MSG&)> hook) {
  const int id = next_hook_++;
  hooks_[id] = std::move(hook);
  return id;
}

void AppThread::RemovePreTranslate(int id) { hooks_.erase(id); }

}  // namespace pellix::device::shell
