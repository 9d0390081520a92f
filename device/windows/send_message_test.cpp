// Conformance: SendMessage within a thread and across threads, sends answered while the
// receiver itself waits in a send, and receivers that go away while a sender waits.
#include <atomic>
#include <future>
#include <thread>

#include "windows/test_window.h"

namespace pellix::testing {
namespace {

constexpr UINT kAsk = WM_USER + 10;
constexpr UINT kAskBack = WM_USER + 11;

// A thread that owns one window and runs a message loop until the window is destroyed or
// the loop is told to quit.
class WindowThread {
 public:
  explicit WindowThread(WNDPROC proc, bool pump = true) : pump_(pump) {
    thread_ = std::thread([this, proc] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = proc;
      wc.lpszClassName = u"SendTestClass";
      RegisterClassW(&wc);  // the second thread finds it registered
      HWND hwnd = CreateWindowExW(0, u"SendTestClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
      thread_id_ = GetCurrentThreadId();
      created_.set_value(hwnd);
      if (!pump_) {
        release_.get_future().wait();
        return;
      }
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    });
    hwnd_ = created_.get_future().get();
  }
  ~WindowThread() { Join(); }
  void Release() {
    if (!released_) {
      released_ = true;
      release_.set_value();
    }
  }
  void Join() {
    if (thread_.joinable()) {
      if (pump_) PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
      else Release();
      thread_.join();
    }
  }
  HWND hwnd() const { return hwnd_; }
  DWORD thread_id() const { return thread_id_; }

 private:
  bool pump_;
  bool released_ = false;
  std::thread thread_;
  std::promise<HWND> created_;
  std::promise<void> release_;
  HWND hwnd_ = nullptr;
  std::atomic<DWORD> thread_id_{0};
};

std::atomic<HWND> g_main_window{nullptr};

LRESULT CALLBACK AnswerWithThreadId(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kAsk) return static_cast<LRESULT>(GetCurrentThreadId()) + static_cast<LRESULT>(wparam);
  if (message == kAskBack)  // asks the main thread's window while the main thread waits
    return SendMessageW(g_main_window, kAsk, wparam, 0) + 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kAsk) return static_cast<LRESULT>(wparam) * 10;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

class SendMessageTest : public DeviceTest {};

TEST_F(SendMessageTest, SameThreadSendCallsTheProcedureDirectly) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = AnswerWithThreadId;
  wc.lpszClassName = u"Direct";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, u"Direct", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(SendMessageW(hwnd, kAsk, 5, 0), static_cast<LRESULT>(GetCurrentThreadId()) + 5);
  EXPECT_FALSE(InSendMessage());
}

TEST_F(SendMessageTest, CrossThreadSendRunsOnTheOwnerAndReturnsItsResult) {
  WindowThread owner(AnswerWithThreadId);
  LRESULT result = SendMessageW(owner.hwnd(), kAsk, 3, 0);
  EXPECT_EQ(result, static_cast<LRESULT>(owner.thread_id()) + 3);
  EXPECT_NE(owner.thread_id(), GetCurrentThreadId());
}

TEST_F(SendMessageTest, ThreadedSendBackWhileTheSenderWaitsCompletes) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.lpszClassName = u"MainClass";
  RegisterClassW(&wc);
  g_main_window = CreateWindowExW(0, u"MainClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  WindowThread owner(AnswerWithThreadId);
  // The owner's procedure sends back to this thread, which answers it while it waits.
  EXPECT_EQ(SendMessageW(owner.hwnd(), kAskBack, 4, 0), 41);
}

TEST_F(SendMessageTest, ManyThreadsSendConcurrentlyAndEachGetsItsOwnAnswer) {
  WindowThread owner(AnswerWithThreadId);
  std::vector<std::thread> senders;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    senders.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        WPARAM w = static_cast<WPARAM>(t * 1000 + i);
        if (SendMessageW(owner.hwnd(), kAsk, w, 0) !=
            static_cast<LRESULT>(owner.thread_id()) + static_cast<LRESULT>(w))
          ++wrong;
      }
    });
  for (auto& s : senders) s.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(SendMessageTest, SendToAWindowWhoseThreadEndedReturnsZeroAtOnce) {
  WindowThread owner(AnswerWithThreadId);
  HWND hwnd = owner.hwnd();
  owner.Join();
  EXPECT_FALSE(IsWindow(hwnd));  // a thread's windows end with it
  EXPECT_EQ(SendMessageW(hwnd, kAsk, 1, 0), 0);
}

TEST_F(SendMessageTest, ThreadEndingWithASendPendingReleasesTheSender) {
  WindowThread owner(AnswerWithThreadId, /*pump=*/false);
  HWND hwnd = owner.hwnd();
  auto pending = std::async(std::launch::async, [hwnd] { return SendMessageW(hwnd, kAsk, 1, 0); });
  // The owner never retrieves messages; it ends while the send waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  owner.Release();
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(pending.get(), 0);
}


TEST_F(SendMessageTest, DestroyingTheTargetReleasesBlockedSenders) {
  std::promise<HWND> made;
  std::promise<void> queued;
  std::thread owner([&] {
    RegisterRecorderClass();
    HWND hwnd = MakeWindow(0, 0, 0, 10, 10);
    made.set_value(hwnd);
    queued.get_future().wait();
    // A send is waiting in this thread's queue; the window goes before it is answered.
    DestroyWindow(hwnd);
  });
  HWND hwnd = made.get_future().get();
  auto pending = std::async(std::launch::async, [hwnd] { return SendMessageW(hwnd, kAsk, 1, 0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  queued.set_value();
  ASSERT_EQ(pending.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_EQ(pending.get(), 0);
  owner.join();
}

TEST_F(SendMessageTest, SendNotifyDoesNotWaitForTheReceiver) {
  WindowThread owner(AnswerWithThreadId, /*pump=*/false);
  EXPECT_TRUE(SendNotifyMessageW(owner.hwnd(), kAsk, 1, 0));
  owner.Release();
}

}  // namespace
}  // namespace pellix::testing
