// The Inbox's own SMS form module, loaded as a form module is: through the registry's "DLL"
// value, LoadLibraryW and FormFactoryEx; and the compose forms MailComposeMessage opens.
#include <chrono>
#include <thread>
#include <vector>

#include "contacts/contact_store.h"
#include "inbox/compose_frame.h"
#include "inbox/sms_forms.h"
#include "shell/menu_bar.h"
#include "store/message_store.h"
#include "store/mapi_objects.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

#include <cemapi.h>
#include <inboxform.h>
#include <windows.h>

namespace {

using namespace pellix::device;

// A host that records what the forms ask of it.
struct RecordingHost final : IInboxFormHost {
  STDMETHODIMP OnFormClosing(IInboxMessageForm* form, IMessage*, DWORD) override {
    closed.push_back(form);
    return S_OK;
  }
  STDMETHODIMP GetFrameWindow(HWND* out) override {
    *out = frame;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR title) override {
    this->title = title;
    return S_OK;
  }
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage* message, UINT action, LPARAM) override {
    actions.push_back({action, message});
    return S_OK;
  }
  HWND frame = nullptr;
  std::u16string title;
  std::vector<IInboxMessageForm*> closed;
  std::vector<std::pair<UINT, IMessage*>> actions;
};

std::u16string WindowText(HWND hwnd) {
  WCHAR text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

// The first child of `parent` of class `name`.
HWND ChildOfClass(HWND parent, const char16_t* name) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    WCHAR cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (std::u16string(cls) == name) return child;
  }
  return nullptr;
}

// Waits (in real time) for `done`, pumping this thread's messages.
template <typename F>
bool Eventually(F done) {
  for (int i = 0; i < 300; ++i) {
    if (done()) return true;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

class SmsFormsTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    messages_ = &store::MessageStore::Of(device());
    sms_ = store::SmsStore(*messages_)->key;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"TestFrame";
    RegisterClassW(&wc);
    host_.frame = CreateWindowExW(0, u"TestFrame", u"", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                                  nullptr, nullptr);
  }
  // The provider of the module the registry names for "IPM.SMStext".
  IInboxFormProvider* Provider() {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, inbox::kSmsTypeKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR path[64] = {};
    DWORD size = sizeof(path);
    EXPECT_EQ(RegQueryValueExW(key, u"DLL", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::u16string(path), u"\\Windows\\smsforms.dll");
    module_ = LoadLibraryW(path);
    EXPECT_TRUE(module_);
    auto factory = reinterpret_cast<PFNFORMFACTORYEX>(GetProcAddressW(module_, FORMFACTORYEX_NAME));
    EXPECT_TRUE(factory);
    IInboxFormProvider* provider = nullptr;
    EXPECT_EQ(factory(nullptr, &provider), E_INVALIDARG);
    EXPECT_EQ(factory(u"IPM.SMStext", nullptr), E_INVALIDARG);
    EXPECT_EQ(factory(u"IPM.SMStext", &provider), S_OK);
    return provider;
  }
  int64_t Deliver(const char16_t* folder, const char16_t* from, const char16_t* text,
                  std::vector<std::u16string> to = {}) {
    store::SmsMessage m;
    m.folder = folder;
    m.sender = from;
    m.text = text;
    m.to = std::move(to);
    m.delivery_time = *store::ParseIsoTime("2026-12-05T20:30:00Z");
    return *store::DeliverSms(*messages_, m);
  }
  IMessage* Open(int64_t key) { return new store::MessageObject(*messages_, key); }
  int64_t FolderOf(int64_t key) { return *messages_->FolderOf(key); }
  int64_t Folder(store::FolderRole role) { return messages_->FolderByRole(sms_, role)->key; }

  store::MessageStore* messages_ = nullptr;
  int64_t sms_ = 0;
  HMODULE module_ = nullptr;
  RecordingHost host_;
};

TEST_F(SmsFormsTest, ReadFormShowsTheSenderTheTimeAndTheText) {
  contacts::Contact ada;
  ada.fields[contacts::Field::kFirstName] = u"Ada";
  ada.fields[contacts::Field::kLastName] = u"Quill";
  ada.fields[contacts::Field::kMobilePhone] = u"+49 171 234567";
  ASSERT_TRUE(contacts::ContactStore::Of(device()).Save(ada));
  IMessage* first = Open(Deliver(u"Inbox", u"+49171234567", u"Hello :-)\r\nSecond line"));
  IMessage* second = Open(Deliver(u"Inbox", u"+44 20 7946", u"Other"));
  IInboxFormProvider* provider = Provider();
  BOOL flag = FALSE;
  EXPECT_EQ(provider->QueryFlag(0, 0, 0, IFQF_READFORM, 0, 0, 0, &flag), S_OK);
  EXPECT_TRUE(flag);
  IInboxMessageForm* form = nullptr;
  HWND window = nullptr;
  EXPECT_EQ(provider->CreateReadForm(&host_, nullptr, host_.frame, &window, &form), E_FAIL);
  ASSERT_EQ(provider->CreateReadForm(&host_, first, host_.frame, &window, &form), S_OK);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(GetParent(window), host_.frame);
  auto* read = static_cast<inbox::SmsReadForm*>(form);
  EXPECT_EQ(read->sender_line(), u"From: Ada Quill <+49171234567>");
  EXPECT_EQ(read->time_line(), u"05.12.2026 20:30");
  HWND body = GetDlgItem(window, inbox::kIdBody);
  EXPECT_EQ(WindowText(body), u"Hello :-)\r\nSecond line");
  EXPECT_TRUE(GetWindowLongW(body, GWL_STYLE) & ES_READONLY);

  // Left and right ask the host for the neighbours of the message the form was made for.
  ASSERT_EQ(form->SetMessage(0, second), S_OK);
  EXPECT_EQ(read->sender_line(), u"From: +44 20 7946");
  EXPECT_EQ(WindowText(body), u"Other");
  MSG key{body, WM_KEYDOWN, VK_LEFT, 0, 0, {}};
  BOOL handled = FALSE;
  form->PreTranslateMessage(&key, &handled);
  EXPECT_TRUE(handled);
  key.wParam = VK_RIGHT;
  form->PreTranslateMessage(&key, &handled);
  key.wParam = 'A';
  form->PreTranslateMessage(&key, &handled);
  EXPECT_FALSE(handled);
  form->DoAction(IFA_REPLY, 0, 0);
  ASSERT_EQ(host_.actions.size(), 3u);
  EXPECT_EQ(host_.actions[0], std::make_pair(UINT{IFHA_PREVIOUS}, first));
  EXPECT_EQ(host_.actions[1], std::make_pair(UINT{IFHA_NEXT}, first));
  EXPECT_EQ(host_.actions[2], std::make_pair(UINT{IFHA_REPLY}, second));
  DWORD mask = 0;
  form->GetActionMask(0xFFFFFFFF, &mask);
  EXPECT_EQ(mask, DWORD{IFAM_CLOSE | IFAM_DELETE | IFAM_REPLY | IFAM_FORWARD});

  // Closing tells the host and closes the frame, which takes the form's window with it.
  form->Close(0);
  EXPECT_EQ(host_.closed, std::vector<IInboxMessageForm*>{form});
  EXPECT_FALSE(IsWindow(host_.frame));
  EXPECT_FALSE(IsWindow(window));
  form->Release();
  provider->Release();
  first->Release();
  second->Release();
}

TEST_F(SmsFormsTest, ComposeFormSendsThroughTheOutboxIntoSentItems) {
  const int64_t key = Deliver(u"Outbox", u"", u"Hi", {u"+49171234567"});
  IMessage* message = Open(key);
  IInboxFormProvider* provider = Provider();
  IInboxMessageForm* form = nullptr;
  HWND window = nullptr;
  ASSERT_EQ(provider->CreateComposeForm(&host_, message, IFCT_NEW, nullptr, 0, host_.frame, &window, &form), S_OK);
  auto* compose = static_cast<inbox::SmsComposeForm*>(form);
  EXPECT_EQ(WindowText(compose->recipient()), u"+49171234567");
  EXPECT_EQ(WindowText(compose->body()), u"Hi");
  EXPECT_EQ(host_.title, u"New Text Message");
  // The text box has the focus with the caret after the text, where a smiley goes.
  ASSERT_EQ(GetFocus(), compose->body());
  SendMessageW(GetFocus(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u" :-)"));
  SetWindowTextW(compose->recipient(), u"+49171234567; +49 30 1234");
  EXPECT_EQ(compose->Send(), S_OK);
  EXPECT_TRUE(compose->sent());
  EXPECT_EQ(FolderOf(key), Folder(store::FolderRole::kSentItems));
  auto props = *messages_->ReadProperty(key, PR_SUBJECT_W);
  EXPECT_EQ(std::get<std::u16string>(props->value), u"Hi :-)");
  auto recipients = *messages_->Recipients(key);
  ASSERT_EQ(recipients.size(), 2u);
  EXPECT_EQ(recipients[1].address, u"+49 30 1234");
  auto flags = *messages_->ReadProperty(key, PR_MESSAGE_FLAGS);
  EXPECT_EQ(std::get<int64_t>(flags->value) & MSGFLAG_FROMME, MSGFLAG_FROMME);
  auto sent = device().journal().EntriesOfKind(journal_kind::kSms);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].text, "sent to +49171234567: Hi :-)");
  EXPECT_EQ(host_.closed.size(), 1u);
  EXPECT_FALSE(IsWindow(window));
  form->Release();
  provider->Release();
  message->Release();
}

TEST_F(SmsFormsTest, ComposeFormWithoutRecipientSendsNothing) {
  const int64_t key = Deliver(u"Outbox", u"", u"text");
  IMessage* message = Open(key);
  IInboxFormProvider* provider = Provider();
  IInboxMessageForm* form = nullptr;
  HWND window = nullptr;
  ASSERT_EQ(provider->CreateComposeForm(&host_, message, IFCT_NEW, nullptr, 0, host_.frame, &window, &form), S_OK);
  auto* compose = static_cast<inbox::SmsComposeForm*>(form);
  EXPECT_EQ(GetFocus(), compose->recipient());  // nothing to send to yet: the number first
  EXPECT_EQ(compose->Send(), MAPI_E_NO_RECIPIENTS);
  EXPECT_EQ(FolderOf(key), Folder(store::FolderRole::kOutbox));
  EXPECT_EQ(device().journal().EntriesOfKind(journal_kind::kMessageBox).size(), 1u);
  EXPECT_TRUE(IsWindow(window));
  // A reply to a message fills the recipient from its sender.
  IMessage* original = Open(Deliver(u"Inbox", u"+49171234567", u"Question?"));
  IInboxMessageForm* reply = nullptr;
  HWND reply_window = nullptr;
  IMessage* draft = Open(Deliver(u"Outbox", u"", u""));
  ASSERT_EQ(provider->CreateComposeForm(&host_, draft, IFCT_REPLY, original, 0, host_.frame, &reply_window, &reply),
            S_OK);
  EXPECT_EQ(WindowText(static_cast<inbox::SmsComposeForm*>(reply)->recipient()), u"+49171234567");
  DWORD mask = 0;
  reply->GetActionMask(0xFFFFFFFF, &mask);
  EXPECT_EQ(mask, DWORD{IFAM_CLOSE});
  DestroyWindow(host_.frame);
  reply->Release();
  form->Release();
  provider->Release();
  message->Release();
  draft->Release();
  original->Release();
}

TEST_F(SmsFormsTest, MailComposeMessageOpensTheFilledSmsFormOnTheScreen) {
  MAILCOMPOSEFIELDS mcf = {};
  mcf.cbSize = 44;
  mcf.dwFlags = 2;
  mcf.pszTo = u"+49171234567";
  mcf.pszBody = u"Hi :)";
  mcf.pszAccount = u"SMS";
  ASSERT_EQ(MailComposeMessage(&mcf), S_OK);
  auto entries = device().journal().EntriesOfKind(journal_kind::kCompose);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].text, "account=SMS; to=+49171234567; subject=; body=Hi :)");
  auto frames = inbox::ComposeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(IsWindowVisible(frames[0]));
  HWND form = ChildOfClass(frames[0], inbox::kComposeFormClass);
  ASSERT_TRUE(form);
  EXPECT_EQ(WindowText(GetDlgItem(form, inbox::kIdRecipient)), u"+49171234567");
  EXPECT_EQ(WindowText(GetDlgItem(form, inbox::kIdBody)), u"Hi :)");
  const int64_t outbox = Folder(store::FolderRole::kOutbox);
  ASSERT_EQ(messages_->CountMessages(outbox), 1);
  // The Send soft key sends it; the frame goes.
  EXPECT_EQ(shell::SoftKeyText(shell::SoftKeyBar(), 0), u"Send");
  ASSERT_TRUE(shell::PressSoftKey(0));
  ASSERT_TRUE(Eventually([&] { return messages_->CountMessages(Folder(store::FolderRole::kSentItems)) == 1; }));
  EXPECT_TRUE(Eventually([&] { return inbox::ComposeFrames().empty(); }));
  EXPECT_EQ(messages_->CountMessages(outbox), 0);
  mcf.cbSize = 12;
  EXPECT_EQ(MailComposeMessage(&mcf), E_INVALIDARG);
  EXPECT_EQ(MailComposeMessage(nullptr), E_INVALIDARG);
}

TEST_F(SmsFormsTest, AClosedComposeFormLeavesNothingInTheOutbox) {
  MAILCOMPOSEFIELDS mcf = {};
  mcf.cbSize = 44;
  mcf.dwFlags = 2;
  mcf.pszAccount = u"SMS";
  ASSERT_EQ(MailComposeMessage(&mcf), S_OK);
  auto frames = inbox::ComposeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(messages_->CountMessages(Folder(store::FolderRole::kOutbox)), 1);
  PostMessageW(frames[0], WM_CLOSE, 0, 0);
  ASSERT_TRUE(Eventually([&] { return inbox::ComposeFrames().empty(); }));
  EXPECT_EQ(messages_->CountMessages(Folder(store::FolderRole::kOutbox)), 0);
  EXPECT_EQ(messages_->CountMessages(Folder(store::FolderRole::kSentItems)), 0);
}

TEST_F(SmsFormsTest, AnUnusableRegisteredModuleFallsBackToTheInboxsOwnForm) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, inbox::kSmsTypeKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const char16_t missing[] = u"\\Windows\\nothere.dll";
  RegSetValueExW(key, u"DLL", 0, REG_SZ, reinterpret_cast<const BYTE*>(missing), sizeof(missing));
  RegCloseKey(key);
  MAILCOMPOSEFIELDS mcf = {};
  mcf.cbSize = 44;
  mcf.dwFlags = 2;
  mcf.pszTo = u"12345";
  mcf.pszAccount = u"SMS";
  ASSERT_EQ(MailComposeMessage(&mcf), S_OK);
  auto frames = inbox::ComposeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(ChildOfClass(frames[0], inbox::kComposeFormClass));
}

TEST_F(SmsFormsTest, AnEmailOpensTheDevicesOwnMailForm) {
  MAILCOMPOSEFIELDS mcf = {};
  mcf.cbSize = 44;
  mcf.dwFlags = 4;
  mcf.pszTo = u"ada@example.org";
  ASSERT_EQ(MailComposeMessage(&mcf), S_OK);
  auto frames = inbox::ComposeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_FALSE(ChildOfClass(frames[0], inbox::kComposeFormClass));
  std::vector<std::u16string> fields;  // to, subject, text
  for (HWND child = GetWindow(frames[0], GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    fields.insert(fields.begin(), WindowText(child));
  EXPECT_EQ(fields, (std::vector<std::u16string>{u"ada@example.org", u"", u""}));
  EXPECT_EQ(messages_->CountMessages(Folder(store::FolderRole::kOutbox)), 0);
  EXPECT_EQ(shell::SoftKeyText(shell::SoftKeyBar(), 0), u"Close");
  ASSERT_TRUE(shell::PressSoftKey(0));
  EXPECT_TRUE(Eventually([&] { return inbox::ComposeFrames().empty(); }));
  EXPECT_EQ(device().journal().EntriesOfKind(journal_kind::kCompose).at(0).text,
            "account=; to=ada@example.org; subject=; body=");
}

}  // namespace
