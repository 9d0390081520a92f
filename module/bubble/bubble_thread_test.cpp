// The bubble thread's life: started on demand with its window and soft-key menus, ended from
// another thread with every listed notification released, and started again afterwards.
#include "bubble/bubble_thread.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bubble/popup_window.h"
#include "core/settings.h"
#include "person/journal.h"
#include "person/person.h"
#include "resources/static_module.h"
#include "rule/notification_list.h"
#include "testing/temp_image.h"

namespace {

class BubbleThreadTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    g_Settings.DebugLogging = 1;
  }
  void TearDown() override {
    ShutdownBubbleThread();
    mySHOnceDeInit();  // the HTML view library goes with this device
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }
  void StartAndWait() {
    StartBubbleThread();
    EXPECT_TRUE(g_bBubbleThreadRunning);  // from the start, before the thread has run
    while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
    ASSERT_TRUE(g_bBubbleWindowReady);
  }
  std::string Log() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::vector<UINT> Commands(const SOFTKEYMENU& m) {
    std::vector<UINT> ids;
    for (UINT i = 0; i < m.cskc; ++i) ids.push_back(static_cast<UINT>(m.prgskc[i].wpCmd) * 10 + m.prgskc[i].grfFlags);
    return ids;
  }

  HINSTANCE module_ = nullptr;
};

TEST_F(BubbleThreadTest, WindowAndMenusExistOnceReady) {
  StartAndWait();
  HWND window = g_hBubbleThreadWindow;
  ASSERT_TRUE(IsWindow(window));
  WCHAR text[64] = {};
  GetClassNameW(window, text, 64);
  EXPECT_EQ(std::u16string(text), u"SMS_RAVLO_THREAD_CLASS");
  GetWindowTextW(window, text, 64);
  EXPECT_EQ(std::u16string(text), u"RavloMail-Pellix Thread Window");
  EXPECT_EQ(FindWindowW(u"SMS_RAVLO_THREAD_CLASS", nullptr), window);
  // Commands times ten plus flags.
  EXPECT_EQ(Commands(g_skmReport), (std::vector<UINT>{400050, 400040, 400030}));
  EXPECT_EQ(Commands(g_skmMessage),
            (std::vector<UINT>{400050, 400010, 400040, 400020, 400030, 400062, 400070}));
  ASSERT_NE(g_skmReport.hMenu, nullptr);
  EXPECT_EQ(GetMenuItemID(g_skmReport.hMenu, 0), 40004u);  // menu 108: "Delete"
}

TEST_F(BubbleThreadTest, ReplyDefaultChoosesTheMessageMenu) {
  for (DWORD replyDefault : {0u, 1u}) {
    g_Settings.NotificationReplyDefault = replyDefault;
    StartAndWait();
    ASSERT_NE(g_skmMessage.hMenu, nullptr);
    // Menu 118 leads with "Reply", menu 107 with "Mark read".
    EXPECT_EQ(GetMenuItemID(g_skmMessage.hMenu, 0), replyDefault ? 40001u : 40003u);
    ShutdownBubbleThread();
  }
}

TEST_F(BubbleThreadTest, ShutdownFromAnotherThreadEndsItAndReleasesEverything) {
  StartAndWait();
  HWND window = g_hBubbleThreadWindow;
  for (DWORD number : {40u, 41u}) {
    SmsNotification* record = AddSms(number);
    record->pszHTML = _wcsdup(u"<p>x</p>");
    record->pszSender = _wcsdup(u"+4917000");
    record->lpMsgEntryId = static_cast<LPBYTE>(malloc(8));
    record->cbMsgEntryId = 8;
    record->hPicture = CreateBitmap(50, 25, 1, 32, nullptr);
  }
  g_dwNotificationNumber = 42;

  ShutdownBubbleThread();
  EXPECT_FALSE(g_bBubbleThreadRunning);
  EXPECT_FALSE(g_bBubbleWindowReady);
  EXPECT_EQ(g_hBubbleThreadWindow, nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(g_hBubbleThread, nullptr);
  EXPECT_EQ(g_dwNotificationNumber, 40u);
  EXPECT_EQ(ClearSmsList(nullptr), 0);
  EXPECT_EQ(g_skmReport.prgskc, nullptr);
  EXPECT_EQ(g_skmMessage.cskc, 0u);
  EXPECT_EQ(Log(),
            "Bubble thread started!\r\nmySHOnceInit()\r\nExiting thread while some notifications wasnt cleared!!\r\n"
            "Bubble Thread exited!\r\n");

  // A later message starts a new thread.
  StartAndWait();
  EXPECT_TRUE(IsWindow(g_hBubbleThreadWindow));
}

// A thread window class whose windows refuse to be created, registered before the bubble
// thread registers its own: the thread then shows "Failed creating windows!".
LRESULT CALLBACK RefusingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(BubbleThreadTest, ShutdownEndsAThreadHeldInItsFailedWindowsBoxAtOnce) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RefusingProc;
  wc.lpszClassName = u"SMS_RAVLO_THREAD_CLASS";
  ASSERT_NE(RegisterClassW(&wc), 0);
  // The person would leave the box open for a minute.
  auto& person = pellix::device::Person::Get();
  person.set_attended(true, 60000);
  StartBubbleThread();
  ASSERT_TRUE(person.WaitForMessageBox(std::chrono::seconds(10)));
  ASSERT_EQ(person.OpenBox()->text, u"Failed creating windows!");
  // What ProcessMessage may have listed meanwhile.
  AddSms(40)->pszSender = _wcsdup(u"+4917000");
  AddSms(41)->pszHTML = _wcsdup(u"<p>x</p>");
  g_dwNotificationNumber = 42;

  const DWORD start = GetTickCount();
  ShutdownBubbleThread();
  // Device time at speed 1: the box is left for the quit, not after a wait of ten seconds.
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_FALSE(person.OpenBox().has_value());
  EXPECT_FALSE(g_bBubbleThreadRunning);
  EXPECT_EQ(g_hBubbleThread, nullptr);
  EXPECT_EQ(ClearSmsList(nullptr), 0);
  EXPECT_EQ(g_dwNotificationNumber, 40u);
  EXPECT_EQ(g_skmMessage.prgskc, nullptr);
  EXPECT_EQ(g_skmReport.hMenu, nullptr);
  EXPECT_NE(Log().find("Exiting thread while some notifications wasnt cleared!!\r\nBubble Thread exited!\r\n"),
            std::string::npos);
  person.set_attended(false);
  UnregisterClassW(u"SMS_RAVLO_THREAD_CLASS", nullptr);
}

TEST_F(BubbleThreadTest, ShutdownWithoutAThreadStillReleasesOrphanedRecords) {
  AddSms(40)->pszSender = _wcsdup(u"+4917000");
  g_dwNotificationNumber = 41;
  ShutdownBubbleThread();
  EXPECT_EQ(findsms(40), nullptr);
  EXPECT_EQ(g_dwNotificationNumber, 40u);
  EXPECT_FALSE(g_bBubbleThreadRunning);
}

}  // namespace
