// Class conversion over the device's real message store: both directions, letter case, classes
// with other suffixes, repeated sweeps, folders other than the Inbox, and a store that cannot
// be opened.
#include "install/message_class.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "kernel/device.h"
#include "person/journal.h"
#include "resources/static_module.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

class MessageClassTest : public pellix::testing::DeviceTest {
 protected:
  store::MessageStore& engine() { return store::MessageStore::Of(device()); }

  int64_t Add(std::u16string cls, std::u16string folder = u"Inbox") {
    store::SmsMessage m;
    m.sender = u"+49171234567";
    m.text = u"hello";
    m.message_class = std::move(cls);
    m.folder = std::move(folder);
    auto key = store::DeliverSms(engine(), m);
    EXPECT_TRUE(key.ok());
    return key.ok() ? *key : 0;
  }

  std::u16string ClassOf(int64_t key) {
    auto p = engine().ReadProperty(key, PR_MESSAGE_CLASS_W);
    if (!p.ok() || !p->has_value()) return u"(none)";
    return std::get<std::u16string>((*p)->value);
  }

  std::vector<std::u16string> Classes(const std::vector<int64_t>& keys) {
    std::vector<std::u16string> out;
    for (int64_t k : keys) out.push_back(ClassOf(k));
    return out;
  }

  size_t MessageBoxes() { return device().journal().EntriesOfKind(journal_kind::kMessageBox).size(); }
};

TEST_F(MessageClassTest, ConvertsTheInboxBothWaysAndLeavesEverythingElse) {
  const std::vector<int64_t> inbox = {
      Add(u"IPM.SMStext"), Add(u"ipm.SMSTEXT"), Add(u"IPM.SMStext.Ravlo"),
      Add(u"IPM.SMStext.Other"), Add(u"IPM.SMStext.REPORT.DR"), Add(u"IPM.Note")};
  const std::vector<int64_t> elsewhere = {Add(u"IPM.SMStext", u"Sent Items"),
                                          Add(u"IPM.SMStext.Ravlo", u"Deleted Items")};

  EXPECT_EQ(ConvertAllMessages(CONVERT_TO_OWN_CLASS), S_OK);
  const std::vector<std::u16string> own = {u"IPM.SMStext.Ravlo", u"IPM.SMStext.Ravlo", u"IPM.SMStext.Ravlo",
                                           u"IPM.SMStext.Other", u"IPM.SMStext.REPORT.DR", u"IPM.Note"};
  EXPECT_EQ(Classes(inbox), own);
  // A second sweep finds nothing more to change.
  EXPECT_EQ(MakeAllRavloSMSClass(), S_OK);
  EXPECT_EQ(Classes(inbox), own);

  EXPECT_EQ(ConvertAllMessages(CONVERT_TO_SMS_CLASS), S_OK);
  const std::vector<std::u16string> back = {u"IPM.SMStext", u"IPM.SMStext", u"IPM.SMStext",
                                            u"IPM.SMStext.Other", u"IPM.SMStext.REPORT.DR", u"IPM.Note"};
  EXPECT_EQ(Classes(inbox), back);
  EXPECT_EQ(ConvertAllMessages(CONVERT_TO_SMS_CLASS), S_OK);
  EXPECT_EQ(Classes(inbox), back);

  EXPECT_EQ(Classes(elsewhere), (std::vector<std::u16string>{u"IPM.SMStext", u"IPM.SMStext.Ravlo"}));
  EXPECT_EQ(MessageBoxes(), 0u);
}

TEST_F(MessageClassTest, AnEmptyInboxIsASuccess) {
  EXPECT_EQ(ConvertAllMessages(CONVERT_TO_OWN_CLASS), S_OK);
  EXPECT_EQ(MessageBoxes(), 0u);
}

TEST_F(MessageClassTest, AStoreThatCannotBeOpenedIsReportedToTheUser) {
  // Not a database: the logon fails before any message is touched.
  std::ofstream(image_dir() / "image" / "store.db", std::ios::binary) << "this is not a database";
  EXPECT_EQ(ConvertAllMessages(CONVERT_TO_OWN_CLASS), MAPI_E_LOGON_FAILED);
  auto boxes = device().journal().EntriesOfKind(journal_kind::kMessageBox);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("Failed registeringunregistering program.Make sure inbox is not open or "
                               "another program is not using it."),
            std::string::npos)
      << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("Error"), std::string::npos);
}

}  // namespace
