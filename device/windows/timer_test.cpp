// Conformance: timers are made on demand on the device clock, one pending per timer at most,
// replaced by id, killed with nothing left pending, and dispatched to their procedure.
#include <algorithm>

#include "windows/test_window.h"

namespace pellix::testing {
namespace {

// A fast device clock: ten device milliseconds pass in one real millisecond.
class TimerTest : public DeviceTest {
 protected:
  device::Profile MakeProfile() const override {
    device::Profile p;
    p.clock_speed = 10.0;
    return p;
  }
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    hwnd_ = MakeWindow(0, 0, 0, 10, 10);
    Drain();
    Recorder::Get().Clear();
  }
  int CountTimers() {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) ++n;
    return n;
  }
  HWND hwnd_ = nullptr;
};

// A slow device clock: one device millisecond takes ten real ones.
class SlowTimerTest : public TimerTest {
 protected:
  device::Profile MakeProfile() const override {
    device::Profile p;
    p.clock_speed = 0.1;
    return p;
  }
};

TEST_F(TimerTest, MissedPeriodsCollapseIntoOneTick) {
  ASSERT_EQ(SetTimer(hwnd_, 1, 100, nullptr), 1u);
  device().clock().Sleep(550);  // five periods pass unanswered
  EXPECT_EQ(CountTimers(), 1);
  EXPECT_EQ(CountTimers(), 0);  // re-armed at the next future multiple
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, 1u);
  EXPECT_EQ(msg.hwnd, hwnd_);
}

TEST_F(TimerTest, SettingTheSameIdReplacesTheTimer) {
  ASSERT_EQ(SetTimer(hwnd_, 9, 100, nullptr), 9u);
  ASSERT_EQ(SetTimer(hwnd_, 9, 5000, nullptr), 9u);  // replaced: the new period counts
  device().clock().Sleep(300);
  EXPECT_EQ(CountTimers(), 0);
}

TEST_F(TimerTest, TwoTimersEachGiveOneTick) {
  SetTimer(hwnd_, 1, 50, nullptr);
  SetTimer(hwnd_, 2, 50, nullptr);
  device().clock().Sleep(200);
  EXPECT_EQ(CountTimers(), 2);
}

TEST_F(TimerTest, KillTimerLeavesNothingPendingAndRefusesUnknownTimers) {
  SetTimer(hwnd_, 4, 20, nullptr);
  device().clock().Sleep(100);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));  // a tick is due
  EXPECT_TRUE(KillTimer(hwnd_, 4));
  EXPECT_EQ(CountTimers(), 0);
  EXPECT_FALSE(KillTimer(hwnd_, 4));
  EXPECT_FALSE(KillTimer(hwnd_, 12345));
}

TEST_F(TimerTest, TimerComesAfterPostedMessagesAndPaint) {
  SetTimer(hwnd_, 1, 10, nullptr);
  ShowWindow(hwnd_, SW_SHOWNA);
  device().clock().Sleep(100);
  PostMessageW(hwnd_, WM_USER, 0, 0);
  std::vector<UINT> got = Drain();
  ASSERT_GE(got.size(), 3u);
  EXPECT_EQ(got[0], static_cast<UINT>(WM_USER));
  EXPECT_EQ(got[1], static_cast<UINT>(WM_PAINT));
  EXPECT_EQ(got[2], static_cast<UINT>(WM_TIMER));
}

std::vector<UINT_PTR> g_proc_ticks;
void CALLBACK OnTick(HWND hwnd, UINT message, UINT_PTR id, DWORD) {
  EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
  g_proc_ticks.push_back(id + (hwnd ? 1000 : 0));
}

TEST_F(TimerTest, DispatchCallsTheTimerProcedureInsteadOfTheWindow) {
  g_proc_ticks.clear();
  SetTimer(hwnd_, 3, 20, OnTick);
  UINT_PTR thread_timer = SetTimer(nullptr, 0, 20, OnTick);
  ASSERT_NE(thread_timer, 0u);
  device().clock().Sleep(100);
  Drain();
  std::sort(g_proc_ticks.begin(), g_proc_ticks.end());
  std::vector<UINT_PTR> expected{thread_timer, 1003};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(g_proc_ticks, expected);
  EXPECT_TRUE(Recorder::Get().Only({WM_TIMER}).empty());
  EXPECT_TRUE(KillTimer(nullptr, thread_timer));
}

TEST_F(TimerTest, DestroyingTheWindowKillsItsTimers) {
  SetTimer(hwnd_, 1, 10, nullptr);
  DestroyWindow(hwnd_);
  device().clock().Sleep(100);
  EXPECT_EQ(CountTimers(), 0);
  EXPECT_FALSE(KillTimer(hwnd_, 1));
}

TEST_F(TimerTest, TimerForAnInvalidWindowFails) {
  DestroyWindow(hwnd_);
  SetLastError(0);
  EXPECT_EQ(SetTimer(hwnd_, 1, 10, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(SlowTimerTest, PeriodsBelowTenMillisecondsAreRaisedToTen) {
  SetTimer(hwnd_, 1, 1, nullptr);
  device().clock().Sleep(4);  // past the asked 1 ms, well before 10 ms
  EXPECT_EQ(CountTimers(), 0);
  device().clock().Sleep(8);
  EXPECT_EQ(CountTimers(), 1);
}

TEST_F(TimerTest, GetMessageWaitsForTheNextTick) {
  SetTimer(hwnd_, 6, 200, nullptr);
  uint64_t before = device().clock().Now();
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_GE(device().clock().Now() - before, 199u);
}

}  // namespace
}  // namespace pellix::testing
