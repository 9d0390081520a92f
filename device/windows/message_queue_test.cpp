// Conformance: the order in which a thread's queue gives out sent, posted, quit, input, paint
// and timer messages, and the filters of GetMessage / PeekMessage.
#include <atomic>
#include <thread>

#include "windows/test_window.h"

namespace pellix::testing {
namespace {

class MessageQueueTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    Recorder::Get().Clear();
  }
};

constexpr UINT kFirst = WM_USER + 1;
constexpr UINT kSecond = WM_USER + 2;
constexpr UINT kSentByOther = WM_USER + 3;

TEST_F(MessageQueueTest, RetrievalOrderIsSentPostedQuitInputPaintTimer) {
  HWND hwnd = MakeWindow(WS_VISIBLE, 0, 0, 50, 50);
  ASSERT_TRUE(hwnd);
  Drain();  // the paint of a new window
  SetFocus(hwnd);
  Recorder::Get().Clear();

  ASSERT_TRUE(SetTimer(hwnd, 7, 10, nullptr));
  device().clock().Sleep(30);  // the timer is due
  InvalidateRect(hwnd, nullptr, TRUE);
  keybd_event('A', 0, 0, 0);
  PostMessageW(hwnd, kFirst, 0, 0);
  PostQuitMessage(5);
  PostMessageW(hwnd, kSecond, 0, 0);
  std::thread other([hwnd] { SendMessageW(hwnd, kSentByOther, 0, 0); });
  while (!(GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE)) std::this_thread::yield();

  std::vector<UINT> order;
  MSG msg;
  for (int i = 0; i < 6; ++i) {
    BOOL result = GetMessageW(&msg, nullptr, 0, 0);
    EXPECT_EQ(result, msg.message == WM_QUIT ? FALSE : TRUE);
    order.push_back(msg.message);
    DispatchMessageW(&msg);
  }
  other.join();
  EXPECT_EQ(order, (std::vector<UINT>{kFirst, kSecond, WM_QUIT, WM_KEYDOWN, WM_PAINT, WM_TIMER}));
  // The sent message ran inside the first GetMessage, before anything was returned.
  EXPECT_EQ(Recorder::Get().Numbers({kSentByOther, kFirst})[0], kSentByOther);
  EXPECT_EQ(msg.wParam, 7u);
  KillTimer(hwnd, 7);
}

TEST_F(MessageQueueTest, QuitArrivesOnceWithItsCodeAndAfterPostedMessages) {
  PostQuitMessage(42);
  PostThreadMessageW(GetCurrentThreadId(), kFirst, 0, 0);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 42u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, QuitPostedAsThreadMessageIsOrdinaryFirstInFirstOut) {
  PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 1, 0);
  PostThreadMessageW(GetCurrentThreadId(), kFirst, 0, 0);
  EXPECT_EQ(Drain(), (std::vector<UINT>{WM_QUIT, kFirst}));
}

TEST_F(MessageQueueTest, QuitIgnoresFiltersAndPeekWithoutRemoveKeepsIt) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  PostQuitMessage(3);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, hwnd, kFirst, kFirst, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageW(&msg, hwnd, kFirst, kFirst, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, FiltersSelectByWindowAndRangeLeavingTheRest) {
  HWND parent = MakeWindow(0, 0, 0, 100, 100);
  HWND child = MakeWindow(WS_CHILD, 0, 0, 10, 10, parent);
  HWND other = MakeWindow(0, 0, 0, 10, 10);
  PostMessageW(other, kFirst, 0, 0);
  PostMessageW(child, kSecond, 0, 0);
  PostMessageW(parent, kFirst, 1, 0);
  PostThreadMessageW(GetCurrentThreadId(), kSecond, 2, 0);

  struct Case {
    HWND filter;
    UINT min, max;
    UINT message;
    HWND hwnd;
  } cases[] = {
      {parent, 0, 0, kSecond, child},     // the filter window's children count
      {nullptr, kFirst, kFirst, kFirst, other},
      {reinterpret_cast<HWND>(-1), 0, 0, kSecond, nullptr},  // thread messages only
      {parent, kFirst, kSecond, kFirst, parent},
  };
  for (const Case& c : cases) {
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, c.filter, c.min, c.max, PM_REMOVE));
    EXPECT_EQ(msg.message, c.message);
    EXPECT_EQ(msg.hwnd, c.hwnd);
  }
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, PeekRunsSentMessagesAndMayStillFindNothing) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  std::atomic<LRESULT> result{-1};
  std::thread other([&] { result = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0); });
  while (!(GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE)) std::this_thread::yield();
  MSG msg;
  // A filter that no message matches: the sent message still runs.
  EXPECT_FALSE(PeekMessageW(&msg, hwnd, kFirst, kFirst, PM_REMOVE));
  other.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_EQ(Recorder::Get().Numbers({WM_GETTEXTLENGTH}).size(), 1u);
}

TEST_F(MessageQueueTest, PaintIsMadeOnDemandUntilValidated) {
  HWND hwnd = MakeWindow(WS_VISIBLE, 0, 0, 40, 40);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  // Not dispatched, so not validated: it comes again, even after a PM_REMOVE.
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageW(&msg);  // DefWindowProc validates
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  // Hidden windows get no paint.
  ShowWindow(hwnd, SW_HIDE);
  InvalidateRect(hwnd, nullptr, FALSE);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, PostingToNoWindowFailsWithInvalidHandle) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  DestroyWindow(hwnd);
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(hwnd, kFirst, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(SendMessageW(hwnd, kFirst, 0, 0), 0);
}

TEST_F(MessageQueueTest, GetMessageWakesForMessagesFromAnotherThread) {
  HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
  std::thread other([hwnd] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessageW(hwnd, kFirst, 11, 22);
  });
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  other.join();
  EXPECT_EQ(msg.message, kFirst);
  EXPECT_EQ(msg.wParam, 11u);
  EXPECT_EQ(msg.lParam, 22);
}

}  // namespace
}  // namespace pellix::testing
