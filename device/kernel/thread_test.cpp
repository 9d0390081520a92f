// Threads and synchronisation: real threads, waits on the device clock, recursive locks.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "kernel/device.h"
#include "testing/temp_image.h"
#include "windows.h"

namespace {

using pellix::testing::DeviceTest;

class ThreadTest : public DeviceTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.clock_speed = 50;  // fifty device milliseconds per real one
    return p;
  }
};

DWORD WINAPI ReturnParameter(LPVOID parameter) {
  return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

TEST_F(ThreadTest, ThreadRunsAndItsHandleSignalsWithTheExitCode) {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReturnParameter, reinterpret_cast<LPVOID>(42), 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_TRUE(CloseHandle(thread));
}

TEST_F(ThreadTest, SuspendedThreadWaitsForResume) {
  static std::atomic<int> ran{0};
  auto body = [](LPVOID) -> DWORD {
    ran = 1;
    return 0;
  };
  HANDLE thread = CreateThread(nullptr, 0, body, nullptr, CREATE_SUSPENDED, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(ran.load(), 0);
  EXPECT_EQ(ResumeThread(thread), 1u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(ran.load(), 1);
  CloseHandle(thread);
}

TEST_F(ThreadTest, EventsAutoResetAndManualReset) {
  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(automatic, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetEvent(manual);
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(WaitForSingleObject(manual, 0), static_cast<DWORD>(WAIT_OBJECT_0));
  ResetEvent(manual);
  HANDLE both[2] = {automatic, manual};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(manual);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), static_cast<DWORD>(WAIT_OBJECT_0 + 1));
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x99), 0), WAIT_FAILED);
  CloseHandle(automatic);
  CloseHandle(manual);
}

TEST_F(ThreadTest, WaitTimeoutRunsOnTheDeviceClock) {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD before = GetTickCount();
  auto real_before = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(never, 2000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(GetTickCount() - before, 2000u);
  // Two device seconds at fifty times speed take about 40 real milliseconds.
  EXPECT_LT(std::chrono::steady_clock::now() - real_before, std::chrono::milliseconds(1500));
  CloseHandle(never);
}

TEST_F(ThreadTest, SyncCriticalSectionIsRecursiveAndExcludesOtherThreads) {
  static CRITICAL_SECTION section;
  static LONG counter = 0;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);  // the owner may enter again
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  auto body = [](LPVOID) -> DWORD {
    for (int i = 0; i < 10000; ++i) {
      EnterCriticalSection(&section);
      counter = counter + 1;
      LeaveCriticalSection(&section);
    }
    return 0;
  };
  HANDLE threads[2] = {CreateThread(nullptr, 0, body, nullptr, 0, nullptr),
                       CreateThread(nullptr, 0, body, nullptr, 0, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(2, threads, TRUE, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(counter, 20000);
  CloseHandle(threads[0]);
  CloseHandle(threads[1]);
  DeleteCriticalSection(&section);
}

TEST_F(ThreadTest, InterlockedOperationsReturnThePlatformsValues) {
  LONG v = 5;
  EXPECT_EQ(InterlockedIncrement(&v), 6);
  EXPECT_EQ(InterlockedDecrement(&v), 5);
  EXPECT_EQ(InterlockedExchange(&v, 9), 5);
  EXPECT_EQ(InterlockedExchangeAdd(&v, 1), 9);
  EXPECT_EQ(InterlockedCompareExchange(&v, 0, 3), 10);  // no match: unchanged
  EXPECT_EQ(InterlockedCompareExchange(&v, 0, 10), 10);
  EXPECT_EQ(v, 0);
}

TEST_F(ThreadTest, SleepRunsOnTheDeviceClock) {
  DWORD before = GetTickCount();
  Sleep(500);
  EXPECT_GE(GetTickCount() - before, 500u);
}

}  // namespace

namespace {

std::atomic<bool> g_sleeper_done{false};

DWORD WINAPI SleepAnHour(LPVOID started) {
  SetEvent(static_cast<HANDLE>(started));
  Sleep(60 * 60 * 1000);
  g_sleeper_done = true;
  return 0;
}

}  // namespace

// A thread in the middle of a long Sleep must not keep the device (and the process) from
// shutting down: shutdown waits for device threads, so it wakes them first.
TEST_F(ThreadTest, ShutdownWakesSleepingThreads) {
  HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, SleepAnHour, started, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(started, INFINITE), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(started);
  pellix::device::Device::Shutdown();
  EXPECT_TRUE(g_sleeper_done);
}
