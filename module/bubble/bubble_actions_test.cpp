// The bubble's actions against the device's real message store, contact store and compose form:
// what each does to the stored message, the compose request it makes, its log lines, and its
// ways of failing (no session, no message, a message already gone, a folder that is not there).
#include "bubble/bubble_actions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "contacts/contact_store.h"
#include "core/settings.h"
#include "inbox/compose_frame.h"
#include "install/message_class.h"
#include "person/journal.h"
#include "person/person.h"
#include "phone/phone.h"
#include "platform/message_store.h"
#include "resources/static_module.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
using Bytes = std::vector<uint8_t>;

class BubbleActionsTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    Setting(TEXT("DebugLogging"), 1);
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session_), S_OK);
    auto sms = store::SmsStore(engine());
    ASSERT_TRUE(sms.has_value());
    inbox_ = engine().FolderByRole(sms->key, store::FolderRole::kInbox)->key;
    deleted_ = engine().FolderByRole(sms->key, store::FolderRole::kDeletedItems)->key;
  }
  void TearDown() override {
    if (message_) message_->Release();
    if (session_) session_->Logoff(0, 0, 0), session_->Release();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  store::MessageStore& engine() { return store::MessageStore::Of(device()); }

  void Setting(LPCWSTR name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    GetSettings();
  }

  // A message in the Inbox from `sender`, opened through the session as the bubble opens it,
  // with the record the bubble keeps for it.
  int64_t Notified(std::u16string sender, std::u16string text, int64_t flags = 0) {
    store::SmsMessage m;
    m.sender = std::move(sender);
    m.text = std::move(text);
    auto key = store::DeliverSms(engine(), m);
    EXPECT_TRUE(key.ok());
    const store::Property f = store::IntProperty(PR_MESSAGE_FLAGS, flags);
    EXPECT_TRUE(engine().WriteProperties(*key, std::span(&f, 1)).ok());
    messageId_ = store::MakeEntryId(store::EntryKind::kMessage, *key);
    folderId_ = store::MakeEntryId(store::EntryKind::kFolder, inbox_);
    sender_ = m.sender;
    record_ = {};
    record_.lpMsgEntryId = messageId_.data();
    record_.cbMsgEntryId = static_cast<DWORD>(messageId_.size());
    record_.lpFolderEntryId = folderId_.data();
    record_.cbFolderEntryId = static_cast<DWORD>(folderId_.size());
    record_.pszSender = sender_.data();
    if (message_) message_->Release();  // a test may notify twice
    message_ = nullptr;
    EXPECT_EQ(session_->OpenEntry(record_.cbMsgEntryId, reinterpret_cast<LPENTRYID>(record_.lpMsgEntryId), nullptr,
                                  0, nullptr, reinterpret_cast<LPUNKNOWN*>(&message_)),
              S_OK);
    return *key;
  }

  int64_t Flags(int64_t key) {
    auto p = engine().ReadProperty(key, PR_MESSAGE_FLAGS);
    return p.ok() && p->has_value() ? std::get<int64_t>((*p)->value) : -1;
  }
  std::u16string ClassOf(int64_t key) {
    auto p = engine().ReadProperty(key, PR_MESSAGE_CLASS_W);
    return p.ok() && p->has_value() ? std::get<std::u16string>((*p)->value) : u"";
  }
  std::vector<int64_t> In(int64_t folder) { return engine().MessagesAfter(folder, 0, 100); }

  std::string Log() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> Calls() {
    std::vector<std::string> out;
    for (const auto& e : device().journal().EntriesOfKind(journal_kind::kCall)) out.push_back(e.text);
    return out;
  }
  std::vector<std::string> Composed() {
    std::vector<std::string> out;
    for (const auto& e : device().journal().EntriesOfKind(journal_kind::kCompose)) out.push_back(e.text);
    return out;
  }

  HINSTANCE module_ = nullptr;
  LPMAPISESSION session_ = nullptr;
  LPMESSAGE message_ = nullptr;
  int64_t inbox_ = 0, deleted_ = 0;
  Bytes messageId_, folderId_;
  std::u16string sender_;
  SmsNotification record_ = {};
};

TEST_F(BubbleActionsTest, MarkReadReplacesTheWholeFlagsValue) {
  const int64_t key = Notified(u"+4930123", u"hi", MSGFLAG_UNSENT | MSGFLAG_FROMME);
  MarkRead(session_, message_);
  EXPECT_EQ(Flags(key), MSGFLAG_READ);
  EXPECT_EQ(Log(), "save as read!\r\n");
}

TEST_F(BubbleActionsTest, MarkReadAndDeleteDoNothingWithoutASessionOrMessage) {
  const int64_t key = Notified(u"+4930123", u"hi");
  MarkRead(nullptr, message_);
  MarkRead(session_, nullptr);
  DeleteMessage(record_, nullptr, message_);
  DeleteMessage(record_, session_, nullptr);
  EXPECT_EQ(Flags(key), 0);
  EXPECT_EQ(In(inbox_), std::vector<int64_t>{key});
  EXPECT_EQ(Log(), "");
}

TEST_F(BubbleActionsTest, DeleteMovesToDeletedItems) {
  const int64_t other = Notified(u"+4930999", u"stays");
  const int64_t key = Notified(u"+4930123", u"goes");
  DeleteMessage(record_, session_, message_);
  EXPECT_EQ(In(inbox_), std::vector<int64_t>{other});
  EXPECT_EQ(In(deleted_), std::vector<int64_t>{key});
  EXPECT_EQ(Log(), "delete!\r\n");
}

TEST_F(BubbleActionsTest, DeleteForGoodWhenReportsArePermanentlyDeleted) {
  Setting(TEXT("PermanentlyDeleteReports"), 1);
  const int64_t key = Notified(u"+4930123", u"goes");
  DeleteMessage(record_, session_, message_);
  EXPECT_TRUE(In(inbox_).empty());
  EXPECT_TRUE(In(deleted_).empty());
  EXPECT_FALSE(engine().FolderOf(key).ok());
  EXPECT_EQ(Log(), "delete!\r\n");
}

TEST_F(BubbleActionsTest, DeleteOfAMessageAlreadyGoneReadsNoIdentifier) {
  const int64_t key = Notified(u"+4930123", u"goes");
  const int64_t keys[] = {key};
  ASSERT_TRUE(engine().DeleteMessages(keys, inbox_).ok());
  DeleteMessage(record_, session_, message_);
  EXPECT_EQ(Log(), "delete!\r\nUnable to get the message body!\r\n");
}

TEST_F(BubbleActionsTest, DeleteFromAFolderThatIsNotThereLeavesTheMessage) {
  const int64_t key = Notified(u"+4930123", u"stays");
  folderId_ = store::MakeEntryId(store::EntryKind::kFolder, 999);
  record_.lpFolderEntryId = folderId_.data();
  DeleteMessage(record_, session_, message_);
  EXPECT_EQ(In(inbox_), std::vector<int64_t>{key});
  EXPECT_EQ(Log(), "delete!\r\nCouldn't delete messages!\r\n");

  // A message recorded in another folder than the one it is in is not moved either.
  folderId_ = store::MakeEntryId(store::EntryKind::kFolder, deleted_);
  record_.lpFolderEntryId = folderId_.data();
  DeleteMessage(record_, session_, message_);
  EXPECT_EQ(In(inbox_), std::vector<int64_t>{key});
}

TEST_F(BubbleActionsTest, FindDeletedItemsOpensTheWastebasketOfTheFoldersStore) {
  Notified(u"+4930123", u"hi");
  LPMAPIFOLDER inbox = nullptr;
  ASSERT_EQ(session_->OpenEntry(record_.cbFolderEntryId, reinterpret_cast<LPENTRYID>(record_.lpFolderEntryId),
                                nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&inbox)),
            S_OK);
  LPMAPIFOLDER found = nullptr;
  ASSERT_EQ(FindDeletedItems(session_, inbox, &found), S_OK);
  ASSERT_NE(found, nullptr);
  LPSPropValue name = nullptr;
  ASSERT_TRUE(SUCCEEDED(GetOneProp(found, PR_DISPLAY_NAME_W, &name)));
  EXPECT_EQ(std::u16string(name->Value.lpszW), u"Deleted Items");
  MAPIFreeBuffer(name);
  found->Release();

  LPMAPIFOLDER none = reinterpret_cast<LPMAPIFOLDER>(1);
  EXPECT_EQ(FindDeletedItems(nullptr, inbox, &none), E_FAIL);
  EXPECT_EQ(none, nullptr);
  inbox->Release();
}

TEST_F(BubbleActionsTest, ReplyConvertsMarksReadAndComposesToTheSenderAsStored) {
  const int64_t earlier = Notified(u"+4930999", u"earlier");
  const int64_t key = Notified(u"\"Ada Quill\" <+4930123>", u"hello");
  ReplyOrForward(IDM_REPLY, record_, session_, message_);
  EXPECT_EQ(Flags(key), MSGFLAG_READ);
  EXPECT_EQ(Flags(earlier), 0);
  // Every stored SMS is now read with the module's form.
  EXPECT_EQ(ClassOf(key), u"IPM.SMStext.Ravlo");
  EXPECT_EQ(ClassOf(earlier), u"IPM.SMStext.Ravlo");
  EXPECT_EQ(Composed(), std::vector<std::string>{"account=SMS; to=\"Ada Quill\" <+4930123>; subject=; body="});
  EXPECT_EQ(pellix::device::inbox::ComposeFrames().size(), 1u);
  EXPECT_EQ(Log(), "reply_forward!\r\n");
}

TEST_F(BubbleActionsTest, ForwardComposesTheTextToNobody) {
  const int64_t key = Notified(u"+4930123", u"pass it on :-)");
  ReplyOrForward(IDM_FORWARD, record_, session_, message_);
  EXPECT_EQ(Flags(key), MSGFLAG_READ);
  EXPECT_EQ(Composed(), std::vector<std::string>{"account=SMS; to=; subject=; body=pass it on :-)"});
}

TEST_F(BubbleActionsTest, ForwardOfAMessageThatCouldNotBeOpenedIsAnEmptyForm) {
  Notified(u"+4930123", u"pass it on");
  ReplyOrForward(IDM_FORWARD, record_, session_, nullptr);
  EXPECT_EQ(Composed(), std::vector<std::string>{"account=SMS; to=; subject=; body="});
  EXPECT_EQ(Log(), "reply_forward!\r\nCouldn't get the sender's address!\r\n");
}

TEST_F(BubbleActionsTest, CallSenderDialsTheNumberInBracketsAndMarksRead) {
  const int64_t key = Notified(u"\"Ada\" <+4930123>", u"ring me");
  CallSender(record_, session_, message_);
  EXPECT_EQ(Flags(key), MSGFLAG_READ);
  EXPECT_EQ(Calls(), std::vector<std::string>{"dialled +4930123"});
  EXPECT_EQ(Log(), "call sender!\r\n");
  EXPECT_TRUE(phone::HangUp());
}

TEST_F(BubbleActionsTest, CallSenderWithoutBracketsOrMessageDialsTheAddressAsItIs) {
  Notified(u"+4930 777", u"ring me");
  CallSender(record_, nullptr, nullptr);
  EXPECT_EQ(Calls(), std::vector<std::string>{"dialled +4930 777"});
  EXPECT_EQ(Log(), "call sender!\r\nCouldn't set read!\r\n");
  EXPECT_TRUE(phone::HangUp());

  // A ">" before the "<" brackets nothing.
  sender_ = u"+4930888> <x";
  record_.pszSender = sender_.data();
  CallSender(record_, nullptr, nullptr);
  EXPECT_EQ(Calls().back(), "refused: not a number: +4930888> <x");
}

TEST_F(BubbleActionsTest, NumberMenuCall) {
  CallNumber(u"+4930555");
  EXPECT_EQ(Calls(), std::vector<std::string>{"dialled +4930555"});
  EXPECT_TRUE(phone::HangUp());
}

TEST_F(BubbleActionsTest, NumberMenuSendSmsAndSave) {
  SendSmsToNumber(u"+4930555");
  EXPECT_EQ(Composed(), std::vector<std::string>{"account=SMS; to=+4930555; subject=; body="});

  Person::Get().AnswerContactCard(true);
  auto* link = static_cast<LPWSTR>(malloc(sizeof(u"+4930555")));
  std::char_traits<char16_t>::copy(link, u"+4930555", 9);
  SaveNumber(&link);
  EXPECT_EQ(link, nullptr);
  auto& contacts = contacts::ContactStore::Of(device());
  ASSERT_EQ(contacts.List().size(), 1u);
  EXPECT_EQ(contacts.Load(contacts.List()[0])->DisplayName(), u"Pellix_+4930555");
}

}  // namespace
