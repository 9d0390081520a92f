#include "shell/notification_manager.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "testing/temp_image.h"

namespace pellix::device::shell {
namespace {

constexpr CLSID kClassA = {0x6b1d4e82, 0x3fa7, 0x41c9, {0x9d, 0x25, 0x8e, 0x07, 0xc6, 0xa3, 0xf1, 0xb4}};
constexpr CLSID kClassB = {0xA877D65B, 0x239C, 0x47A7, {0x93, 0x04, 0x0D, 0x34, 0x7F, 0x58, 0x04, 0x08}};

// Records what the manager displays, with the device time of each event.
class RecordingPresenter : public NotificationPresenter {
 public:
  explicit RecordingPresenter(Device& device) : device_(device) {}
  void Show(const Notification& n) override { Note("show", n); }
  void Hide(const Notification& n) override { Note("hide", n); }

  struct Event {
    std::string what;
    DWORD id;
    uint64_t at;
  };
  std::vector<Event> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }
  bool WaitForCount(size_t count) {
    for (int i = 0; i < 2000; ++i) {
      if (events().size() >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

 private:
  void Note(const char* what, const Notification& n) {
    std::lock_guard lock(mutex_);
    events_.push_back({what, n.key.id, device_.clock().Now()});
  }
  Device& device_;
  std::mutex mutex_;
  std::vector<Event> events_;
};

class NotificationManagerTest : public testing::DeviceTest {
 protected:
  // Ten device seconds pass in one real second.
  Profile MakeProfile() const override {
    Profile p;
    p.clock_speed = 10.0;
    return p;
  }
  void SetUp() override {
    DeviceTest::SetUp();
    presenter_ = std::make_shared<RecordingPresenter>(device());
    manager().SetPresenter(presenter_);
  }
  NotificationManager& manager() { return device().Component<NotificationManager>(); }

  static SHNOTIFICATIONDATA Request(DWORD id, DWORD seconds, CLSID clsid = kClassA) {
    SHNOTIFICATIONDATA d{};
    d.cbStruct = 88;
    d.dwID = id;
    d.npPriority = SHNP_INFORM;
    d.csDuration = seconds;
    d.clsid = clsid;
    d.pszTitle = u"title";
    d.pszHTML = u"<b>hi</b>";
    return d;
  }

  std::shared_ptr<RecordingPresenter> presenter_;
};

TEST_F(NotificationManagerTest, DisplaysOneAtATimeInOrderOfArrival) {
  SHNOTIFICATIONDATA first = Request(40, 2), second = Request(41, 3);
  ASSERT_EQ(manager().Add(first), ERROR_SUCCESS);
  ASSERT_EQ(manager().Add(second), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(4));
  const auto events = presenter_->events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].what, "show");
  EXPECT_EQ(events[0].id, 40u);
  EXPECT_EQ(events[1].what, "hide");
  EXPECT_EQ(events[1].id, 40u);
  EXPECT_EQ(events[2].what, "show");
  EXPECT_EQ(events[2].id, 41u);
  EXPECT_EQ(events[3].what, "hide");
  EXPECT_EQ(events[3].id, 41u);
  // Each stays for its own duration on the device clock. The show is recorded just after its
  // time starts, and a loaded machine may wake the manager late, hence the slack.
  EXPECT_GE(events[1].at - events[0].at, 1900u);
  EXPECT_LT(events[1].at - events[0].at, 3000u);
  EXPECT_GE(events[3].at - events[2].at, 2900u);
  EXPECT_LT(events[3].at - events[2].at, 4000u);
  // Both stay listed in the title bar until removed.
  const auto listed = manager().TitleBar();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].key.id, 40u);
  EXPECT_EQ(listed[1].key.id, 41u);
  EXPECT_EQ(listed[0].title, u"title");
  EXPECT_EQ(manager().Remove({kClassA, 40}), ERROR_SUCCESS);
  EXPECT_EQ(manager().TitleBar().size(), 1u);
}

TEST_F(NotificationManagerTest, KeysAreClassAndId) {
  SHNOTIFICATIONDATA a = Request(22, 0xFFFFFFFF), b = Request(22, 0xFFFFFFFF, kClassB);
  struct Case {
    const char* what;
    LRESULT got;
    LRESULT want;
  };
  SHNOTIFICATIONDATA bad = a;
  bad.cbStruct = 12;
  const Case cases[] = {
      {"add", manager().Add(a), ERROR_SUCCESS},
      {"same class other id is new", manager().Add(b), ERROR_SUCCESS},
      {"same key again", manager().Add(a), ERROR_ALREADY_EXISTS},
      {"wrong size", manager().Add(bad), ERROR_INVALID_PARAMETER},
      {"update unknown", manager().Update(SHNUM_DURATION, Request(23, 1)), ERROR_NOT_FOUND},
      {"remove", manager().Remove({kClassA, 22}), ERROR_SUCCESS},
      {"remove again", manager().Remove({kClassA, 22}), ERROR_NOT_FOUND},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_TRUE(manager().Find({kClassB, 22}).has_value());
}

TEST_F(NotificationManagerTest, RemovingTheDisplayedOneHidesItAndShowsTheNext) {
  ASSERT_EQ(manager().Add(Request(40, 0xFFFFFFFF)), ERROR_SUCCESS);
  ASSERT_EQ(manager().Add(Request(41, 0xFFFFFFFF)), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(1));
  EXPECT_EQ(manager().Displayed()->id, 40u);
  ASSERT_EQ(manager().Remove({kClassA, 40}), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(3));
  const auto events = presenter_->events();
  EXPECT_EQ(events[1].what, "hide");
  EXPECT_EQ(events[1].id, 40u);
  EXPECT_EQ(events[2].what, "show");
  EXPECT_EQ(events[2].id, 41u);
}

TEST_F(NotificationManagerTest, UpdatedDurationRestartsTheDisplayTime) {
  ASSERT_EQ(manager().Add(Request(40, 0xFFFFFFFF)), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(1));
  SHNOTIFICATIONDATA update = Request(40, 1);
  update.pszTitle = u"ignored";
  ASSERT_EQ(manager().Update(SHNUM_DURATION, update), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(2));
  EXPECT_EQ(presenter_->events()[1].what, "hide");
  // Only the duration changed.
  EXPECT_EQ(manager().Find({kClassA, 40})->title, u"title");
}

TEST_F(NotificationManagerTest, ListedNotificationCanBeDisplayedAgain) {
  ASSERT_EQ(manager().Add(Request(40, 1)), ERROR_SUCCESS);
  ASSERT_TRUE(presenter_->WaitForCount(2));
  EXPECT_FALSE(manager().Redisplay({kClassA, 99}));
  ASSERT_TRUE(manager().Redisplay({kClassA, 40}));
  ASSERT_TRUE(presenter_->WaitForCount(4));
  const auto events = presenter_->events();
  EXPECT_EQ(events[2].what, "show");
  EXPECT_EQ(events[2].id, 40u);
}

TEST_F(NotificationManagerTest, IconsStayInTheTitleBarForTheirDurationOnly) {
  SHNOTIFICATIONDATA icon = Request(22, 0xFFFFFFFF, kClassB);
  icon.npPriority = SHNP_ICONIC;
  ASSERT_EQ(manager().Add(icon), ERROR_SUCCESS);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // Never displayed as a bubble; shown in the title bar.
  EXPECT_TRUE(presenter_->events().empty());
  ASSERT_EQ(manager().TitleBar().size(), 1u);
  icon.csDuration = 1;
  ASSERT_EQ(manager().Update(SHNUM_DURATION, icon), ERROR_SUCCESS);
  // One device second is 100 real milliseconds here.
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_TRUE(manager().TitleBar().empty());
  EXPECT_FALSE(manager().Find({kClassB, 22}).has_value());
}

TEST_F(NotificationManagerTest, CopiesSoftKeysAndStrings) {
  SOFTKEYCMD commands[2] = {{40001, 0}, {40006, 2}};
  std::u16string title = u"From Ann";
  SHNOTIFICATIONDATA d = Request(40, 0xFFFFFFFF);
  d.grfFlags = SHNF_HASMENU;
  d.pszTitle = title.c_str();
  d.skm.prgskc = commands;
  d.skm.cskc = 2;
  ASSERT_EQ(manager().Add(d), ERROR_SUCCESS);
  title = u"changed";
  commands[0].wpCmd = 1;
  const auto n = manager().Find({kClassA, 40});
  ASSERT_TRUE(n.has_value());
  EXPECT_EQ(n->title, u"From Ann");
  ASSERT_EQ(n->soft_keys.size(), 2u);
  EXPECT_EQ(n->soft_keys[0].command, 40001u);
  EXPECT_EQ(n->soft_keys[1].flags, 2u);
}

}  // namespace
}  // namespace pellix::device::shell
