// The application thread: work runs on it, its windows outlive the threads that asked for them.
#include <atomic>
#include <thread>

#include "shell/app_thread.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::device::shell::AppThread;

class AppThreadTest : public pellix::testing::DeviceTest {};

DWORD WINAPI OpenWindowAndLeave(LPVOID out) {
  // A caller that ends at once, as a bubble thread does after its last notification.
  AppThread::Get().Run([out] {
    *static_cast<HWND*>(out) = CreateWindowExW(0, u"EDIT", u"kept", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr,
                                               nullptr, nullptr, nullptr);
  });
  return 0;
}

TEST_F(AppThreadTest, WorkRunsOnTheThreadAndItsWindowsOutliveTheCaller) {
  AppThread& app = AppThread::Get();
  DWORD ran_on = 0;
  ASSERT_TRUE(app.Run([&] { ran_on = GetCurrentThreadId(); }));
  EXPECT_EQ(ran_on, app.thread_id());
  EXPECT_NE(ran_on, GetCurrentThreadId());
  // Work that asks for more work runs it at once instead of waiting for itself.
  int depth = 0;
  ASSERT_TRUE(app.Run([&] { app.Run([&] { depth = 2; }); }));
  EXPECT_EQ(depth, 2);

  HWND window = nullptr;
  HANDLE caller = CreateThread(nullptr, 0, OpenWindowAndLeave, &window, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(caller, 5000), WAIT_OBJECT_0);
  CloseHandle(caller);
  ASSERT_TRUE(window);
  EXPECT_TRUE(IsWindow(window));
  WCHAR text[8] = {};
  GetWindowTextW(window, text, 8);  // answered by the application thread's loop
  EXPECT_EQ(std::u16string(text), u"kept");
}

TEST_F(AppThreadTest, PreTranslateHooksSeeMessagesBeforeDispatch) {
  AppThread& app = AppThread::Get();
  HWND edit = nullptr;
  std::atomic<int> kept{0};
  int hook = 0;
  app.Run([&] {
    edit = CreateWindowExW(0, u"EDIT", u"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
    hook = app.AddPreTranslate([&](MSG& msg) {
      if (msg.message != WM_CHAR || msg.wParam != 'x') return false;
      ++kept;
      return true;
    });
  });
  PostMessageW(edit, WM_CHAR, 'x', 0);
  PostMessageW(edit, WM_CHAR, 'y', 0);
  app.Run([] {});  // the posts are ahead of this job in the queue
  for (int i = 0; i < 100 && GetWindowTextLengthW(edit) == 0; ++i) Sleep(5);
  EXPECT_EQ(kept.load(), 1);
  WCHAR text[8] = {};
  GetWindowTextW(edit, text, 8);
  EXPECT_EQ(std::u16string(text), u"y");
  app.Run([&] { app.RemovePreTranslate(hook); });
}

}  // namespace
