// Answers from a page reach only the box or card the page was shown: a button the box lacks, a
// serial of a box already gone, or a line that is no answer is refused and changes nothing.
#include <gtest/gtest.h>

#include <thread>

#include "console/console_server.h"
#include "contacts/contact_store.h"
#include "person/person.h"
#include "windows/test_window.h"

#include <windows.h>

namespace pellix::device::console {
namespace {

// Patience and waits are generous for a sanitizer's slowdown; an answer ends each wait at once.
class ConsoleAnswerTest : public testing::DeviceTest {
 protected:
  Person& person() { return Person::Get(); }
};

TEST_F(ConsoleAnswerTest, ThreadedBoxTakesOnlyItsOwnButtons) {
  person().set_attended(true, 120000);
  std::thread page([&] {
    ASSERT_TRUE(person().WaitForMessageBox(std::chrono::seconds(30)));
    const std::string serial = std::to_string(person().OpenBox()->serial);
    EXPECT_EQ(ApplyAnswer("box " + serial + " 6"), "the message box has no button 6");  // IDYES
    EXPECT_EQ(ApplyAnswer("box 99 2"), "that message box is no longer open");
    EXPECT_EQ(ApplyAnswer("box " + serial), "malformed answer");
    EXPECT_EQ(ApplyAnswer("box 0 2"), "malformed answer");
    EXPECT_EQ(ApplyAnswer("box " + serial + " 2"), "");
  });
  EXPECT_EQ(MessageBoxW(nullptr, u"Delete the message?", u"Pellix", MB_OKCANCEL), IDCANCEL);
  page.join();
  // Nothing is left queued for the next box: unattended, it gets its default button.
  person().set_attended(false);
  EXPECT_EQ(ApplyAnswer("box 1 1"), "that message box is no longer open");
  EXPECT_EQ(MessageBoxW(nullptr, u"Again?", u"Pellix", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

TEST_F(ConsoleAnswerTest, ThreadedContactCardIsSavedOrCancelledFromThePage) {
  person().set_attended(true, 120000);
  contacts::Contact contact;
  contact.fields[contacts::Field::kMobilePhone] = u"+49171234567";
  std::thread page([&] {
    ASSERT_TRUE(person().WaitForContactCard(std::chrono::seconds(30)));
    const std::string serial = std::to_string(person().OpenContactCardWithSerial()->first);
    EXPECT_EQ(ApplyAnswer("card " + serial + " maybe"), "malformed answer");
    EXPECT_EQ(ApplyAnswer("card " + serial + "1 save"), "that contact card is no longer shown");
    EXPECT_EQ(ApplyAnswer("card " + serial + " cancel"), "");
  });
  EXPECT_FALSE(contacts::ShowContactCard(contact));
  page.join();
  EXPECT_FALSE(IsAnswer("tap 1 2"));
  EXPECT_EQ(ApplyAnswer("menu 1 cancel"), "that menu is no longer open");
}

}  // namespace
}  // namespace pellix::device::console
