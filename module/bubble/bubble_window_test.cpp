// The bubble end to end on the device: a notification handed over as ProcessMessage does it
// appears in the skinned popup with its page and soft keys, hides on its timer or a tap
// elsewhere, comes back from the title bar, and its soft keys, links and removals do what the
// person expects, down to the end of the bubble thread.
#include <htmlctrl.h>

#include <atomic>
#include <stdexcept>

#include "bubble/bubble_test_support.h"
#include "bubble/bubble_window.h"
#include "forms/open_form.h"
#include "forms/picture.h"
#include "kernel/power.h"
#include "resources/resource.h"
#include "person/person.h"
#include "shell/menu_bar.h"
#include "shell/title_bar.h"

namespace {

using pellix::device::JournalEntry;
using pellix::device::Person;
namespace journal_kind = pellix::device::journal_kind;

class BubbleWindowTest : public pellix::testing::BubbleDeviceTest {
 protected:
  // What the HTML view sends its parent when the person taps a link.
  void TapLink(DWORD number, const std::u16string& target) {
    NM_HTMLVIEW nm = {};
    nm.hdr.hwndFrom = g_hPopupView;
    nm.hdr.idFrom = number;
    nm.hdr.code = NM_HOTSPOT;
    nm.szTarget = target.c_str();
    SendMessageW(g_hPopupInner, WM_NOTIFY, number, reinterpret_cast<LPARAM>(&nm));
  }
};

TEST_F(BubbleWindowTest, AMessageAppearsInTheSkinnedPopupWithItsPageAndSoftKeys) {
  StartThread();
  const DWORD number = Notify(u"Hello :) see you");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number && pellix::device::shell::SoftKeyBar(); }));

  // The default skin on 240 x 320: x = 240 / 16, width 240 - 2 * 15, bottom edge 8 pixels above
  // the menu bar, and the page grows the bubble beyond its 80 pixels at most to its limit.
  RECT r = {};
  GetWindowRect(g_hPopupWindow, &r);
  EXPECT_EQ(r.left, 15);
  EXPECT_EQ(r.right - r.left, 210);
  EXPECT_EQ(r.bottom, 320 - 26 - 8);
  EXPECT_GE(r.bottom - r.top, 80);
  EXPECT_LE(r.bottom - r.top, 320 - 26 - 26 - 30);
  // The outline is the skin picture's: its corners are cut away.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_NE(GetWindowRgn(g_hPopupWindow, region), ERROR);
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, (r.right - r.left) / 2, (r.bottom - r.top) / 2));
  DeleteObject(region);

  HWND bar = pellix::device::shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(pellix::device::shell::SoftKeyText(bar, 0), u"Mark read");
  EXPECT_EQ(pellix::device::shell::SoftKeyText(bar, 1), u"Menu");
  EXPECT_TRUE(WaitUntil([&] { return Logged("smiley loading..."); }));
  EXPECT_FALSE(Logged("smiley loading failed"));

  // The backlight was asked for while the notification was handed over, and let go after.
  std::vector<std::string> backlight;
  for (const JournalEntry& e : device().journal().EntriesOfKind(journal_kind::kBacklight)) backlight.push_back(e.text);
  EXPECT_EQ(backlight, (std::vector<std::string>{"require BKL1: D0", "release BKL1: D0"}));
}

TEST_F(BubbleWindowTest, AReportGetsTheReportSoftKeys) {
  StartThread();
  const DWORD number = Notify(u"Message to Anna delivered", u"Anna-Delivery Report", 1);
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number && pellix::device::shell::SoftKeyBar(); }));
  HWND bar = pellix::device::shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(pellix::device::shell::SoftKeyText(bar, 0), u"Delete");
  // The delivered icon is a picture file, supplied like a smiley.
  EXPECT_TRUE(WaitUntil([&] { return Logged("smiley loading..."); }));
}

TEST_F(BubbleWindowTest, HidesAfterFifteenSecondsAndShowsAgainFromTheTitleBar) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  const DWORD shownAt = GetTickCount();
  ASSERT_TRUE(WaitUntil([&] { return Shown() == 0; }));
  EXPECT_GE(GetTickCount() - shownAt, 14000u);
  EXPECT_TRUE(Logged("htmlWndProc-hiding by timer\r\n"));
  // Hidden, not removed: the record stays and the title bar lists the notification.
  EXPECT_NE(findsms(number), nullptr);
  ASSERT_TRUE(WaitUntil([] { return pellix::device::shell::TitleBarStrip() != nullptr; }));
  RECT strip = {};
  GetWindowRect(pellix::device::shell::TitleBarStrip(), &strip);
  ASSERT_TRUE(Person::Get().Tap({strip.left + 4, strip.top + 4}).ok());
  EXPECT_TRUE(WaitUntil([&] { return Shown() == number; }));
}

TEST_F(BubbleWindowTest, ATapElsewhereHidesTheBubbleButKeepsTheNotification) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  (void)Person::Get().Tap({120, 60});  // the desktop above the bubble
  ASSERT_TRUE(WaitUntil([&] { return Shown() == 0; }));
  EXPECT_NE(findsms(number), nullptr);
  EXPECT_TRUE(g_bBubbleThreadRunning);
}

TEST_F(BubbleWindowTest, TheLeftSoftKeyRemovesTheLastNotificationAndEndsTheThread) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  // The soft keys come up right after the popup.
  ASSERT_TRUE(WaitUntil([&] {
    HWND bar = pellix::device::shell::SoftKeyBar();
    return Shown() == number && bar && pellix::device::shell::SoftKeyText(bar, 0) == u"Mark read";
  }));
  Person::Get().TypeKey(VK_F1);  // "Mark read"
  ASSERT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
  EXPECT_TRUE(Logged("WM_COMMAND..."));
  EXPECT_TRUE(Logged("action: mark read\r\n") || Logged("Unable to login to mail or getmsg interface!\r\n"));
  EXPECT_TRUE(Logged("WM_REMOVENOTIFICATION \r\n"));
  EXPECT_FALSE(Logged("Exiting thread while some notifications wasnt cleared"));
  EXPECT_EQ(findsms(number), nullptr);
  EXPECT_EQ(g_dwNotificationNumber, 40u);
}

TEST_F(BubbleWindowTest, TwoQueuedNotificationsShowInTurnAndRemovingOneKeepsTheThread) {
  StartThread();
  const DWORD first = Notify(u"First");
  const DWORD second = Notify(u"Second");
  // The platform shows the second once the first has had its turn (queueing the second hid
  // the first if it was up already).
  ASSERT_TRUE(WaitUntil([&] { return Shown() == second; }));
  const std::string log = Log();
  const size_t show = log.find("htmlWndProc-show request\r\n");
  ASSERT_NE(show, std::string::npos);
  EXPECT_NE(log.find("htmlWndProc-show request\r\n", show + 1), std::string::npos);
  g_dwNotificationNumber = 5000;
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, first);
  ASSERT_TRUE(WaitUntil([&] { return findsms(first) == nullptr; }));
  EXPECT_TRUE(g_bBubbleThreadRunning);
  EXPECT_NE(findsms(second), nullptr);
  // Any removal with the counter at 5000 or more starts the numbers again.
  EXPECT_EQ(g_dwNotificationNumber, 40u);
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, second);
  EXPECT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
}

TEST_F(BubbleWindowTest, RemovingAllEndsTheThreadWithRecordsStillListed) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, static_cast<LPARAM>(0xFFFFFFFF));
  ASSERT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
  // The shut-down released the record the removal left.
  EXPECT_TRUE(Logged("Exiting thread while some notifications wasnt cleared!!\r\n"));
  EXPECT_EQ(findsms(number), nullptr);
  EXPECT_FALSE(IsWindow(g_hPopupWindow));
}

TEST_F(BubbleWindowTest, LinksOpenTheBrowserTheComposeFormOrTheNumberMenu) {
  StartThread();
  const DWORD number = Notify(u"Call +4930123 or mail a@b.org");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  auto& journal = device().journal();

  uint64_t from = journal.size();
  TapLink(number, u"http://example.org/x");
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kLaunch && e.text.find("http://example.org/x") != std::string::npos;
  }, from));

  from = journal.size();
  TapLink(number, u"a@b.org");
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kCompose && e.text.find("to=mailto:a@b.org") != std::string::npos;
  }, from));

  // "cmd:" with no digits is command 0, which no action knows.
  TapLink(number, u"cmd:");
  EXPECT_TRUE(WaitUntil([&] { return Logged("some unknown wm_command code!doing nothing!\r\n"); }));
  EXPECT_TRUE(g_bBubbleThreadRunning);

  // A number opens the number menu where the person tapped; "Call" takes the bubble away.
  Person::Get().AnswerMenu(pellix::device::MenuAnswer::ByText(u"Call"));
  from = journal.size();
  TapLink(number, u"+4930123");
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kCall && e.text.find("dialled +4930123") != std::string::npos;
  }, from));
  EXPECT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
}

// A slower clock than the other bubble tests: a test thread held up for a moment under load must
// not look like a timer that was not started again.
class BubbleTimerTest : public BubbleWindowTest {
 protected:
  BubbleTimerTest() { clock_speed_ = 5.0; }
};

TEST_F(BubbleTimerTest, TheNumberMenuKeepsTheBubbleAnotherFifteenSeconds) {
  StartThread();
  const DWORD number = Notify(u"Call +4930123");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  // Unattended, the menu is cancelled; the bubble's timer was started again for it. Counted from
  // before the tap, so that time the tap takes can only lengthen what is measured; the original
  // timer would end the bubble some ten seconds after the tap.
  Sleep(5000);
  const DWORD tappedAt = GetTickCount();
  TapLink(number, u"+4930123");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == 0; }));
  EXPECT_GE(GetTickCount() - tappedAt, 14000u);
}

TEST_F(BubbleWindowTest, ACmdLinkCarriesTheCommandOfItsNumber) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  TapLink(number, u"cmd:40004");
  // "Delete" removes the notification just as the soft key does; the last one ends the thread.
  ASSERT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
  EXPECT_TRUE(Logged("WM_COMMAND..."));
  EXPECT_FALSE(Logged("some unknown wm_command code"));
  EXPECT_EQ(findsms(number), nullptr);
}

TEST_F(BubbleWindowTest, ACommandForAnUnknownNumberEndsTheThread) {
  StartThread();
  Notify(u"Hello");
  PostMessageW(g_hBubbleThreadWindow, WM_COMMAND, IDM_DISMISS, 4711);
  ASSERT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning; }));
  EXPECT_TRUE(Logged("SMS = NULL!\r\n"));
  bool boxed = false;
  for (const JournalEntry& e : device().journal().EntriesOfKind(journal_kind::kMessageBox))
    boxed = boxed || e.text.find("SMS = NULL.Big error happened!") != std::string::npos;
  EXPECT_TRUE(boxed);
}

TEST_F(BubbleWindowTest, TheSendersPictureIsSuppliedAndAMissingOneRefused) {
  StartThread();
  const DWORD with = Notify(u"Hi", u"Anna", 0, CreateBitmap(50, 50, 1, 32, nullptr));
  ASSERT_TRUE(WaitUntil([&] { return Shown() == with; }));
  EXPECT_TRUE(WaitUntil([&] { return Logged("pictureID loaded..."); }));
  EXPECT_FALSE(Logged("pictureID loading failed..."));
}

TEST_F(BubbleWindowTest, CompatibilityModePutsAnIconInTheTitleBarUntilItsNotificationGoes) {
  g_Settings.CompatibilityMode = 1;
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  SHNOTIFICATIONDATA icon = {};
  ASSERT_EQ(SHNotificationGetData(&CLSID_PellixIcon, ICON_NOTIFICATION_NUMBER, &icon), ERROR_SUCCESS);
  EXPECT_EQ(icon.csDuration, 0xFFFFFFFFu);
  EXPECT_EQ(icon.npPriority, SHNP_ICONIC);
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, number);
  // The icon goes a second after its notification.
  EXPECT_TRUE(WaitUntil([] {
    SHNOTIFICATIONDATA left = {};
    return SHNotificationGetData(&CLSID_PellixIcon, ICON_NOTIFICATION_NUMBER, &left) != ERROR_SUCCESS;
  }));
}

TEST_F(BubbleWindowTest, AScreenResetReloadsTheSkinAndPlacesTheBubbleAgain) {
  StartThread();
  const DWORD number = Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Shown() == number; }));
  RECT before = {};
  GetWindowRect(g_hPopupWindow, &before);
  EXPECT_EQ(before.left, 15);
  {
    std::ofstream ini(HostPath(u"\\Skins\\default\\skin.ini"), std::ios::binary);
    ini << "[Skin]\r\nNotifyWndHeight = \"100\"\r\nNotifyWndStartX = \"-100\"\r\n"
           "NotifyWndStartY = \"20\"\r\nNotifyWndWidth = \"90\"\r\n";
  }
  SendMessageW(g_hPopupWindow, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
  RECT after = {};
  GetWindowRect(g_hPopupWindow, &after);
  // -100 counts from the right edge; the shown notification keeps the height it grew to.
  EXPECT_EQ(after.left, 240 - 100);
  EXPECT_EQ(after.top, 20);
  EXPECT_EQ(after.right - after.left, 90);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

class BubbleAnimationTest : public pellix::testing::BubbleDeviceTest {};

TEST_F(BubbleAnimationTest, AReadWindowAnimatingPausesTheBubblesStep) {
  // No thread: the step is driven here as the bubble's timer would.
  std::vector<PICTURE*> animated;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    const std::string s = std::to_string(i);
    const std::u16string name(s.begin(), s.end());
    if (PICTURE* p = GetSmileyImage(name.c_str()); p && p->frameCount > 1) animated.push_back(p);
  }
  ASSERT_FALSE(animated.empty());
  g_dwShownNumber = 40;
  g_bReadWindowAnimating = TRUE;
  EXPECT_FALSE(StepSmileyAnimation());
  EXPECT_EQ(animated[0]->frame, 0u);
  g_bReadWindowAnimating = FALSE;
  EXPECT_TRUE(StepSmileyAnimation());
  EXPECT_EQ(animated[0]->frame, 1u);
  // Nothing shown, nothing stepped.
  g_dwShownNumber = 0;
  EXPECT_FALSE(StepSmileyAnimation());
  EXPECT_EQ(animated[0]->frame, 1u);
}

TEST_F(BubbleAnimationTest, TheThreadsEndLeavesPicturesAReadWindowStillShows) {
  PICTURE* picture = GetSmileyImage(u"0");
  ASSERT_NE(picture, nullptr);
  AddSmileyPictureUse();
  EXPECT_FALSE(FreeSmileyImagesUnlessInUse());
  EXPECT_EQ(g_SmileyTable[0].picture, picture);
  ReleaseSmileyPictureUse();
  EXPECT_TRUE(FreeSmileyImagesUnlessInUse());
  EXPECT_EQ(g_SmileyTable[0].picture, nullptr);
}

}  // namespace

namespace {

// Stands in front of the popup's procedure and throws once, when the popup is hidden.
WNDPROC g_popupProc = nullptr;
std::atomic<bool> g_throwOnHide{false};

LRESULT CALLBACK ThrowingPopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SHOWWINDOW && !wParam && g_throwOnHide.exchange(false)) throw std::runtime_error("hide");
  return CallWindowProcW(g_popupProc, hwnd, message, wParam, lParam);
}

// In real time, so that the bubble's hide timer cannot take it off the screen first.
class BubbleGuardTest : public BubbleWindowTest {
 protected:
  BubbleGuardTest() { clock_speed_ = 1.0; }
};

TEST_F(BubbleGuardTest, AnExceptionInAHandlerRemovesItsNotificationAndTheThreadGoesOn) {
  StartThread();
  const DWORD other = Notify(u"first");
  const DWORD shown = Notify(u"second");
  // The platform shows the second once the first has had its turn.
  ASSERT_TRUE(WaitUntil([&] { return Shown() == shown; }));
  // A number tapped in the shown bubble; the menu it opens is cancelled.
  TapLink(shown, u"+4917012345678");
  g_popupProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(g_hPopupWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(ThrowingPopupProc)));
  ASSERT_NE(g_popupProc, nullptr);
  g_throwOnHide = true;

  // "Call" takes the bubble off the screen first, and the popup throws there: the command ends
  // with 0 instead of 1, and its notification goes as if it had been handled.
  EXPECT_EQ(SendMessageW(g_hBubbleThreadWindow, WM_COMMAND, IDM_CALL, static_cast<LPARAM>(shown)), 0);
  EXPECT_FALSE(g_throwOnHide);
  EXPECT_TRUE(Logged("WM_COMMAND...in callback exception accoured!\r\n"));
  EXPECT_TRUE(WaitUntil([&] { return findsms(shown) == nullptr; }));
  EXPECT_TRUE(device().journal().EntriesOfKind(journal_kind::kCall).empty());
  // The thread keeps running for the other notification.
  EXPECT_TRUE(g_bBubbleThreadRunning);
  EXPECT_NE(findsms(other), nullptr);
  EXPECT_FALSE(Logged("Exception accoured in bubble thread!!"));
  SetWindowLongPtrW(g_hPopupWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(g_popupProc));
}

}  // namespace
