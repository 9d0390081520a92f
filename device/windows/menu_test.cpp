// Conformance: building menus, item state and information, and popup menus tracked by the
// person.
#include <atomic>
#include <thread>

#include "person/person.h"
#include "windows/test_window.h"

namespace pellix::testing {
namespace {

class MenuTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    owner_ = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
    Drain();
    Recorder::Get().Clear();
    // The number menu of the read window: a menu whose first submenu holds the items.
    bar_ = CreateMenu();
    popup_ = CreatePopupMenu();
    AppendMenuW(popup_, MF_STRING, 40014, u"Send &SMS");
    AppendMenuW(popup_, MF_STRING, 40012, u"Call");
    AppendMenuW(popup_, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(popup_, MF_STRING | MF_GRAYED, 40013, u"Save to contacts");
    AppendMenuW(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_), u"Menu");
  }
  void TearDown() override {
    DestroyMenu(bar_);
    DeviceTest::TearDown();
  }
  std::vector<std::string> Journal(const char* kind) {
    std::vector<std::string> out;
    for (auto& e : device().journal().EntriesOfKind(kind)) out.push_back(e.text);
    return out;
  }
  HWND owner_ = nullptr;
  HMENU bar_ = nullptr;
  HMENU popup_ = nullptr;
};

TEST_F(MenuTest, ItemsAreFoundByPositionAndByCommandThroughSubmenus) {
  EXPECT_EQ(GetSubMenu(bar_, 0), popup_);
  EXPECT_EQ(GetSubMenu(bar_, 1), nullptr);
  EXPECT_EQ(GetMenuItemCount(popup_), 4);
  EXPECT_EQ(GetMenuItemID(popup_, 1), 40012u);
  EXPECT_EQ(GetMenuItemID(bar_, 0), static_cast<UINT>(-1));  // a submenu has no command
  EXPECT_EQ(GetMenuState(bar_, 40013, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
  EXPECT_EQ(GetMenuItemCount(reinterpret_cast<HMENU>(0x99)), -1);

  ASSERT_TRUE(InsertMenuW(popup_, 40012, MF_BYCOMMAND | MF_STRING, 40020, u"Before call"));
  EXPECT_EQ(GetMenuItemID(popup_, 1), 40020u);
  ASSERT_TRUE(InsertMenuW(popup_, 0, MF_BYPOSITION | MF_STRING, 40021, u"First"));
  EXPECT_EQ(GetMenuItemID(popup_, 0), 40021u);
  ASSERT_TRUE(DeleteMenu(bar_, 40021, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemID(popup_, 0), 40014u);
}

TEST_F(MenuTest, EnableAndCheckReturnThePreviousState) {
  EXPECT_EQ(EnableMenuItem(popup_, 40013, MF_BYCOMMAND | MF_ENABLED), static_cast<DWORD>(MF_GRAYED));
  EXPECT_EQ(EnableMenuItem(popup_, 40013, MF_BYCOMMAND | MF_GRAYED), static_cast<DWORD>(MF_ENABLED));
  EXPECT_EQ(EnableMenuItem(popup_, 555, MF_BYCOMMAND), static_cast<DWORD>(-1));
  EXPECT_EQ(CheckMenuItem(popup_, 1, MF_BYPOSITION | MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
  EXPECT_EQ(CheckMenuItem(popup_, 40012, MF_BYCOMMAND | MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
}

TEST_F(MenuTest, ItemInfoCopiesTextCutToTheBuffer) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_TYPE | MIIM_ID | MIIM_STATE;
  ASSERT_TRUE(GetMenuItemInfoW(popup_, 40014, FALSE, &info));
  EXPECT_EQ(info.cch, 9u);  // no buffer: the length alone
  EXPECT_EQ(info.wID, 40014u);
  WCHAR buffer[5];
  info.dwTypeData = buffer;
  info.cch = 5;
  ASSERT_TRUE(GetMenuItemInfoW(popup_, 0, TRUE, &info));
  EXPECT_EQ(std::u16string(buffer), u"Send");
  EXPECT_EQ(info.cch, 4u);
  info.fMask = MIIM_SUBMENU;
  ASSERT_TRUE(GetMenuItemInfoW(bar_, 0, TRUE, &info));
  EXPECT_EQ(info.hSubMenu, popup_);
  EXPECT_FALSE(GetMenuItemInfoW(popup_, 12345, FALSE, &info));
}

TEST_F(MenuTest, ChosenItemIsPostedToTheOwnerAsCommand) {
  device::Person::Get().AnswerMenu(device::MenuAnswer::ByText(u"send sms"));
  ASSERT_TRUE(TrackPopupMenuEx(GetSubMenu(bar_, 0), 0, 30, 40, owner_, nullptr));
  EXPECT_TRUE(Recorder::Get().Only({WM_COMMAND}).empty());  // posted, not sent
  Drain();
  std::vector<Seen> commands = Recorder::Get().Only({WM_COMMAND});
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0], (Seen{owner_, WM_COMMAND, 40014, 0}));
  EXPECT_EQ(Journal("input"), (std::vector<std::string>{
                                  "menu open at 30,40: \"Send SMS\" 40014, \"Call\" 40012, "
                                  "\"Save to contacts\" 40013",
                                  "menu choose \"Send SMS\" 40014"}));
}

TEST_F(MenuTest, AnswersAreTakenInOrderAndReturnCmdGivesTheId) {
  device::Person& person = device::Person::Get();
  person.AnswerMenu(device::MenuAnswer::ById(40012));
  person.AnswerMenu(device::MenuAnswer::ById(40013));  // grayed: no choice
  person.AnswerMenu(device::MenuAnswer::Cancel());
  EXPECT_EQ(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr), 40012);
  EXPECT_EQ(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr), 0);
  EXPECT_EQ(TrackPopupMenuEx(popup_, 0, 0, 0, owner_, nullptr), FALSE);
  Drain();
  EXPECT_TRUE(Recorder::Get().Only({WM_COMMAND}).empty());
}

TEST_F(MenuTest, UnattendedMenuWithoutAnswerIsCancelledAtOnce) {
  EXPECT_FALSE(TrackPopupMenuEx(popup_, 0, 0, 0, owner_, nullptr));
  EXPECT_EQ(Journal("input").back(), "menu cancel");
  EXPECT_FALSE(TrackPopupMenuEx(popup_, 0, 0, 0, reinterpret_cast<HWND>(0x1), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(MenuTest, ThreadedAttendedMenuWaitsForTheAnswerWhileOpen) {
  device::Person& person = device::Person::Get();
  person.set_attended(true, 10000);
  std::thread script([&] {
    ASSERT_TRUE(person.WaitForMenu(std::chrono::seconds(5)));
    auto open = person.OpenMenu();
    ASSERT_TRUE(open);
    EXPECT_EQ(open->owner, owner_);
    ASSERT_EQ(open->items.size(), 4u);
    EXPECT_EQ(open->items[1].text, u"Call");
    person.AnswerMenu(device::MenuAnswer::ByText(u"Call"));
  });
  EXPECT_EQ(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr), 40012);
  script.join();
  EXPECT_FALSE(person.OpenMenu().has_value());
}

// Answers from someone watching the screen name the menu they saw: an answer for a menu that
// closed, for a grayed item or for an id the menu lacks is refused and never reaches a later menu.
TEST_F(MenuTest, ThreadedAnswersForTheOpenMenuNameItsSerial) {
  device::Person& person = device::Person::Get();
  // Patience and waits generous enough for a sanitizer's slowdown; the answer ends the menu.
  person.set_attended(true, 120000);
  std::thread script([&] {
    ASSERT_TRUE(person.WaitForMenu(std::chrono::seconds(30)));
    auto open = person.OpenMenuWithSerial();
    ASSERT_TRUE(open);
    EXPECT_FALSE(person.AnswerOpenMenu(open->serial + 1, device::MenuAnswer::ById(40012)));
    EXPECT_FALSE(person.AnswerOpenMenu(open->serial, device::MenuAnswer::ById(40013)));  // grayed
    EXPECT_FALSE(person.AnswerOpenMenu(open->serial, device::MenuAnswer::ById(777)));
    EXPECT_TRUE(person.AnswerOpenMenu(open->serial, device::MenuAnswer::ById(40012)));
    EXPECT_FALSE(person.AnswerOpenMenu(open->serial, device::MenuAnswer::Cancel()));  // one answer only
  });
  EXPECT_EQ(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr), 40012);
  script.join();
  EXPECT_FALSE(person.AnswerOpenMenu(1, device::MenuAnswer::Cancel()));  // none open: nothing queued
  person.set_attended(false);
  EXPECT_FALSE(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr));
}

// Whoever stops an attended device turns attendance off: the menu waiting is cancelled at once,
// not after the person's patience.
TEST_F(MenuTest, ThreadedUnattendingReleasesAnOpenMenu) {
  device::Person& person = device::Person::Get();
  person.set_attended(true, 600000);
  std::atomic<std::chrono::steady_clock::time_point> released{};
  std::thread stopper([&] {
    const bool opened = person.WaitForMenu(std::chrono::seconds(30));
    released = std::chrono::steady_clock::now();
    person.set_attended(false);
    EXPECT_TRUE(opened);
  });
  EXPECT_FALSE(TrackPopupMenuEx(popup_, TPM_RETURNCMD, 0, 0, owner_, nullptr));
  const auto returned = std::chrono::steady_clock::now();
  stopper.join();
  // Counted from the release, not from the open: a slow start is no fault, ten minutes are.
  EXPECT_LT(returned - released.load(), std::chrono::seconds(30));
  EXPECT_EQ(Journal("input").back(), "menu cancel");
}

TEST_F(MenuTest, DestroyMenuDestroysItsSubmenus) {
  HMENU outer = CreateMenu();
  HMENU inner = CreatePopupMenu();
  AppendMenuW(outer, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), u"x");
  ASSERT_TRUE(DestroyMenu(outer));
  EXPECT_FALSE(IsMenu(inner));
  EXPECT_FALSE(DestroyMenu(outer));
}

}  // namespace
}  // namespace pellix::testing
