#include "rule/keep_awake.h"

std::atomic<HANDLE> g_hKeepAwakeThread{nullptr};

namespace {

DWORD WINAPI KeepAwakeThread(LPVOID) {
  while (g_hKeepAwakeThread) {
    SystemIdleTimerReset();
    Sleep(1000);
  }
  return 0;
}

}  // namespace

void StartKeepAwake() {
  // Non-zero before the thread runs, so that it cannot find 0 and leave before its handle is
  // stored.
  g_hKeepAwakeThread = INVALID_HANDLE_VALUE;
  HANDLE thread = CreateThread(nullptr, 1024, KeepAwakeThread, nullptr, 0, nullptr);
  g_hKeepAwakeThread = thread;
}

void StopKeepAwake() {
  HANDLE thread = g_hKeepAwakeThread.exchange(nullptr);
  if (thread && thread != INVALID_HANDLE_VALUE) CloseHandle(thread);
}
