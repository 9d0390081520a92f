// The person: taps reach the window under the point, keys reach the focus, message boxes are
// answered, and all of it is journalled.
#include "person/person.h"

#include <thread>

#include "windows/test_window.h"

namespace pellix::testing {
namespace {

class PersonTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    Recorder::Get().Clear();
  }
  std::vector<std::string> Journal(const char* kind) {
    std::vector<std::string> out;
    for (auto& e : device().journal().EntriesOfKind(kind)) out.push_back(e.text);
    return out;
  }
  device::Person& person() { return device::Person::Get(); }
};

TEST_F(PersonTest, TapSendsButtonMessagesInClientCoordinatesAndActivates) {
  HWND back = MakeWindow(WS_VISIBLE, 0, 0, 240, 320);
  HWND popup =
      MakeWindow(WS_POPUP | WS_DLGFRAME | WS_VISIBLE, 20, 30, 100, 100, nullptr, WS_EX_TOPMOST);
  HWND inner = MakeWindow(WS_CHILD | WS_VISIBLE, 4, 4, 50, 50, popup);
  SetActiveWindow(back);  // still beneath the topmost popup
  Drain();
  Recorder::Get().Clear();

  auto hit = person().Tap(POINT{20 + 3 + 4 + 10, 30 + 3 + 4 + 12});
  ASSERT_TRUE(hit.ok());
  EXPECT_EQ(*hit, inner);
  EXPECT_EQ(GetActiveWindow(), popup);
  Drain();
  std::vector<Seen> seen = Recorder::Get().Only({WM_LBUTTONDOWN, WM_LBUTTONUP});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (Seen{inner, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 12)}));
  EXPECT_EQ(seen[1], (Seen{inner, WM_LBUTTONUP, 0, MAKELPARAM(10, 12)}));
  char expected[128];
  std::snprintf(expected, sizeof(expected), "tap 37,49 -> 0x%llx \"RecorderClass\" at 10,12",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(inner)));
  EXPECT_EQ(Journal("input"), (std::vector<std::string>{expected}));
}

TEST_F(PersonTest, TapOnTheDesktopOrADisabledWindowDeliversNothing) {
  HWND off = MakeWindow(WS_VISIBLE | WS_DISABLED, 0, 0, 50, 50);
  Drain();
  Recorder::Get().Clear();
  EXPECT_FALSE(person().Tap(POINT{200, 300}).ok());
  EXPECT_TRUE(person().Tap(POINT{10, 10}).ok());
  Drain();
  EXPECT_TRUE(Recorder::Get().Only({WM_LBUTTONDOWN}).empty());
  EXPECT_EQ(Journal("input")[0], "tap 200,300 on the desktop");
  (void)off;
}

TEST_F(PersonTest, LongPressStampsTheReleaseLater) {
  HWND hwnd = MakeWindow(WS_VISIBLE, 0, 0, 50, 50);
  Drain();
  ASSERT_TRUE(person().LongPress(POINT{5, 5}, 800).ok());
  MSG down, up;
  ASSERT_TRUE(PeekMessageW(&down, hwnd, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&up, hwnd, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  EXPECT_EQ(up.time - down.time, 800u);
}

TEST_F(PersonTest, KeysGoToTheFocusWindowAndAreJournalled) {
  HWND top = MakeWindow(WS_VISIBLE, 0, 0, 50, 50);
  HWND edit = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, top);
  SetFocus(edit);
  Drain();
  Recorder::Get().Clear();
  keybd_event(VK_F2, 0, KEYEVENTF_EXTENDEDKEY, 0);
  EXPECT_TRUE(GetKeyState(VK_F2) & 0x8000);
  keybd_event(VK_F2, 0, KEYEVENTF_KEYUP, 0);
  EXPECT_FALSE(GetKeyState(VK_F2) & 0x8000);
  person().TypeKey('Q');
  Drain();
  std::vector<Seen> seen = Recorder::Get().Only({WM_KEYDOWN, WM_KEYUP, WM_CHAR});
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0], (Seen{edit, WM_KEYDOWN, VK_F2, 1 | (LPARAM{1} << 24)}));
  EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_KEYUP));
  EXPECT_EQ(seen[1].lparam & (LPARAM{3} << 30), LPARAM{3} << 30);
  EXPECT_EQ(seen[3], (Seen{edit, WM_CHAR, u'q', 1}));  // TranslateMessage made the character
  std::vector<std::string> journal = Journal("input");
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[0].rfind("key down VK_F2 extended -> 0x", 0), 0u);
  EXPECT_EQ(journal[3].rfind("key up Q -> ", 0), 0u);
}

TEST_F(PersonTest, MessageBoxTakesTheDefaultButtonAtOnceAndIsJournalled) {
  struct Case {
    UINT type;
    int expected;
  } cases[] = {
      {MB_OK, IDOK}, {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL}, {MB_YESNO, IDYES},
      {MB_RETRYCANCEL, IDRETRY}, {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageBoxW(nullptr, u"Text", u"Cap", c.type), c.expected);
  EXPECT_EQ(MessageBoxW(nullptr, u"SMS = NULL.Big error happened!", u"Error", MB_OK), IDOK);
  EXPECT_EQ(Journal("messagebox").back(),
            "caption=\"Error\" text=\"SMS = NULL.Big error happened!\" answer=IDOK");
  EXPECT_EQ(FindWindowW(u"Dialog", nullptr), nullptr);  // gone once answered
}

TEST_F(PersonTest, QueuedAnswersAreUsedInOrder) {
  person().AnswerMessageBox(IDNO);
  person().AnswerMessageBox(IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"a", u"b", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"a", u"b", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"a", u"b", MB_OKCANCEL), IDOK);
}

TEST_F(PersonTest, ThreadedAttendedMessageBoxShowsAWindowUntilAnswered) {
  person().set_attended(true, 10000);
  std::thread script([&] {
    ASSERT_TRUE(person().WaitForMessageBox(std::chrono::seconds(5)));
    auto open = person().OpenBox();
    ASSERT_TRUE(open);
    EXPECT_EQ(open->text, u"Failed creating windows!");
    EXPECT_TRUE(IsWindowVisible(open->window));
    WCHAR title[16];
    GetWindowTextW(open->window, title, 16);
    EXPECT_EQ(std::u16string(title), u"Error");
    person().AnswerMessageBox(IDCANCEL);
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"Failed creating windows!", u"Error", MB_OKCANCEL), IDCANCEL);
  script.join();
}

}  // namespace
}  // namespace pellix::testing
