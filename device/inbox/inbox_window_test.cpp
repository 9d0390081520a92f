// The Inbox's message list and its hosting of read forms, with a form module registered for a
// class of its own: opening, next and previous, delete and close act on the store and the list.
#include "inbox/inbox_window.h"

#include <gtest/gtest.h>

#include <cemapi.h>
#include <inboxform.h>
#include <mapitags.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contacts/contact_store.h"
#include "inbox/message_list.h"
#include "kernel/module_loader.h"
#include "person/person.h"
#include "shell/menu_bar.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

// ---- A form module of another vendor, for the class "IPM.SMStext.Test" ----

std::mutex g_mutex;
std::vector<std::u16string> g_shown;  // the text of each message its form was given
std::atomic<int> g_forms_alive{0};

std::u16string Subject(IMessage* message) {
  SPropTagArray tags = {1, {PR_SUBJECT_W}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  std::u16string text;
  if (SUCCEEDED(message->GetProps(&tags, MAPI_UNICODE, &count, &values)) && values &&
      PROP_TYPE(values[0].ulPropTag) == PT_UNICODE)
    text = values[0].Value.lpszW;
  MAPIFreeBuffer(values);
  return text;
}

class TestForm final : public IInboxMessageForm {
 public:
  explicit TestForm(IInboxFormHost* host) : host_(host) { ++g_forms_alive; }
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP SetMessage(WORD, IMessage* message) override {
    message->AddRef();
    if (message_) message_->Release();
    message_ = message;
    std::lock_guard lock(g_mutex);
    g_shown.push_back(Subject(message));
    return S_OK;
  }
  STDMETHODIMP Close(DWORD) override {
    host_->OnFormClosing(this, message_, 0);
    SendMessageW(frame_, WM_CLOSE, 0, 0);
    return S_OK;
  }
  // The keys a read form gives its host, as the platform's forms do.
  STDMETHODIMP PreTranslateMessage(MSG* msg, BOOL* handled) override {
    *handled = FALSE;
    if (msg->message != WM_KEYDOWN) return S_OK;
    *handled = TRUE;
    if (msg->wParam == VK_RIGHT) host_->DoHostAction(this, message_, IFHA_NEXT, 0);
    else if (msg->wParam == VK_LEFT) host_->DoHostAction(this, message_, IFHA_PREVIOUS, 0);
    else if (msg->wParam == VK_DELETE) host_->DoHostAction(this, message_, IFHA_DELETE, 0);
    else if (msg->wParam == 'R') host_->DoHostAction(this, message_, IFHA_REPLY, 0);
    else if (msg->wParam == 'Q') Close(0);
    else *handled = FALSE;
    return S_OK;
  }
  STDMETHODIMP OnMessageModified(ULONG, ULONG, LPENTRYID) override { return S_OK; }
  STDMETHODIMP DoAction(UINT, WPARAM, LPARAM) override { return S_OK; }
  STDMETHODIMP GetActionMask(DWORD mask, DWORD* result) override {
    *result = mask;
    return S_OK;
  }
  STDMETHODIMP CreateFormWindow(IInboxFormProvider*, HWND frame, HWND* hwnd, INBOXFORMCREATE*) override {
    frame_ = frame;
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.lpszClassName = u"TESTFORMWINDOW";
      return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return E_FAIL;
    *hwnd = CreateWindowExW(0, u"TESTFORMWINDOW", u"test form", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, frame, nullptr,
                            nullptr, nullptr);
    return *hwnd ? S_OK : E_FAIL;
  }
  STDMETHODIMP CloseFrame() override { return S_OK; }
  STDMETHODIMP OnActivate(BOOL) override { return S_OK; }

 private:
  ~TestForm() {
    if (message_) message_->Release();
    --g_forms_alive;
  }
  std::atomic<ULONG> refs_{1};
  IInboxFormHost* host_;
  IMessage* message_ = nullptr;
  HWND frame_ = nullptr;
};

class TestProvider final : public IInboxFormProvider {
 public:
  STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP QueryFlag(ULONG_PTR, ULONG_PTR, ULONG_PTR, DWORD, ULONG_PTR, ULONG_PTR, ULONG_PTR, BOOL* result) override {
    *result = TRUE;
    return S_OK;
  }
  STDMETHODIMP CreateComposeForm(IInboxFormHost*, IMessage*, ULONG, IMessage*, DWORD, HWND, HWND*,
                                 IInboxMessageForm**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP CreateReadForm(IInboxFormHost* host, IMessage* message, HWND frame, HWND* hwnd,
                              IInboxMessageForm** form) override {
    auto* made = new TestForm(host);
    made->SetMessage(0, message);
    INBOXFORMCREATE create{};
    HRESULT hr = made->CreateFormWindow(this, frame, hwnd, &create);
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    *form = made;
    return S_OK;
  }

 private:
  ~TestProvider() = default;
  std::atomic<ULONG> refs_{1};
};

HRESULT TestFormFactoryEx(LPCWSTR, IInboxFormProvider** provider) {
  *provider = new TestProvider();
  return S_OK;
}

class InboxWindowTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_shown.clear();
    RegisterBuiltinLibrary(u"testform.dll",
                           {.exports = {{"FormFactoryEx", 0, reinterpret_cast<void*>(&TestFormFactoryEx)}}});
    SetString(inbox::MessageTypeKey(u"IPM.SMStext.Test"), u"DLL", u"\\Windows\\testform.dll");
  }
  void TearDown() override {
    inbox::InboxWindow::Of(device()).Close();
    UnregisterBuiltinLibrary(u"testform.dll");
    DeviceTest::TearDown();
  }
  void SetString(const std::u16string& key, LPCWSTR name, const std::u16string& value) {
    HKEY k = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, 0, nullptr, &k, nullptr);
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * 2));
    RegCloseKey(k);
  }
  int64_t Add(std::u16string sender, std::u16string text, std::u16string cls = u"IPM.SMStext.Test",
              bool read = false, uint64_t time = 0) {
    store::SmsMessage m;
    m.sender = std::move(sender);
    m.text = std::move(text);
    m.message_class = std::move(cls);
    m.read = read;
    if (time) m.delivery_time = time;
    auto key = store::DeliverSms(store::MessageStore::Of(device()), m);
    EXPECT_TRUE(key.ok());
    return key.ok() ? *key : 0;
  }
  template <typename Check>
  bool Eventually(Check check) {
    for (int i = 0; i < 500; ++i) {
      if (check()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  std::vector<std::u16string> Shown() {
    std::lock_guard lock(g_mutex);
    return g_shown;
  }
  bool Read(int64_t key) {
    auto flags = store::MessageStore::Of(device()).ReadProperty(key, PR_MESSAGE_FLAGS);
    return flags.ok() && flags->has_value() && (std::get<int64_t>((*flags)->value) & MSGFLAG_READ);
  }
  inbox::InboxWindow& Window() { return inbox::InboxWindow::Of(device()); }
};

TEST_F(InboxWindowTest, TheListShowsTheNewestFirstWithWhoWroteAndWhatIsUnread) {
  contacts::Contact ada;
  ada.fields[contacts::Field::kFileAs] = u"Ada Quill";
  ada.fields[contacts::Field::kMobilePhone] = u"+49 171 234567";
  ASSERT_TRUE(contacts::ContactStore::Of(device()).Save(ada).ok());
  auto t = store::ParseIsoTime("2026-12-05T20:30:00Z");
  Add(u"+49171234567", u"from a contact\r\nsecond line", u"IPM.SMStext", true, *t);
  Add(u"\"Bob Brown\" +4930222", u"a name of its own");
  Add(u"+4930333", u"a stranger");
  store::SmsMessage elsewhere;
  elsewhere.folder = u"Sent Items";
  elsewhere.sender = u"+4930444";
  elsewhere.text = u"not in the Inbox";
  ASSERT_TRUE(store::DeliverSms(store::MessageStore::Of(device()), elsewhere).ok());

  auto rows = inbox::ReadMessageList(device(), 10);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].who, u"+4930333");
  EXPECT_EQ(rows[1].who, u"Bob Brown");
  EXPECT_EQ(rows[2].who, u"Ada Quill");
  EXPECT_EQ(rows[2].first_line, u"from a contact");
  EXPECT_EQ(rows[2].time, u"12-05 20:30");
  EXPECT_FALSE(rows[2].unread);
  EXPECT_TRUE(rows[0].unread);
  EXPECT_EQ(rows[0].message_class, u"IPM.SMStext.Test");
  EXPECT_EQ(inbox::ReadMessageList(device(), 2).size(), 2u);
}

TEST_F(InboxWindowTest, ClassesFindTheirFormModuleAndGlyphThroughTheirParents) {
  EXPECT_EQ(inbox::MessageTypeKey(u"IPM.SMStext.Ravlo"), u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo");
  SetString(inbox::MessageTypeKey(u"IPM.SMStext"), u"DLL", u"\\Windows\\sms.dll");
  EXPECT_EQ(inbox::MessageTypeString(u"IPM.SMStext.Other", u"DLL"), u"\\Windows\\sms.dll");
  EXPECT_EQ(inbox::MessageTypeString(u"IPM.SMStext.Test", u"DLL"), u"\\Windows\\testform.dll");
  EXPECT_FALSE(inbox::MessageTypeString(u"IPM.Note", u"DLL").has_value());

  EXPECT_FALSE(inbox::GlyphForClass(u"IPM.SMStext.Test").has_value());
  const DWORD info[8] = {32, 125, 125, 1, 0, 0, 0, 0};
  HKEY k = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, inbox::MessageTypeKey(u"IPM.SMStext").c_str(), 0, nullptr, 0, 0, nullptr, &k, nullptr);
  RegSetValueExW(k, u"GlyphInfo", 0, REG_BINARY, reinterpret_cast<const BYTE*>(info), sizeof(info));
  RegCloseKey(k);
  auto glyph = inbox::GlyphForClass(u"IPM.SMStext.Other");
  ASSERT_TRUE(glyph.has_value());
  EXPECT_EQ(glyph->module, u"\\Windows\\sms.dll");
  EXPECT_EQ(glyph->bitmap_id, 125u);
}

TEST_F(InboxWindowTest, AMessageWithoutAFormModuleDoesNotOpen) {
  const int64_t key = Add(u"+4930111", u"plain", u"IPM.Unknown");
  ASSERT_NE(Window().Show(), nullptr);
  auto opened = Window().Open(key);
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.error().message.find("no form module is registered for IPM.Unknown"), std::string::npos);
  EXPECT_EQ(Window().form_frame(), nullptr);
  EXPECT_FALSE(Read(key));
}

TEST_F(InboxWindowTest, TheReadFormWalksDeletesAndClosesThroughItsHost) {
  const int64_t oldest = Add(u"+4930111", u"one");
  const int64_t middle = Add(u"+4930222", u"two");
  const int64_t newest = Add(u"+4930333", u"three");
  ASSERT_NE(Window().Show(), nullptr);
  auto frame = Window().Open(middle);
  ASSERT_TRUE(frame.ok()) << frame.error().message;
  EXPECT_TRUE(IsWindow(*frame));
  EXPECT_EQ(Window().form_message(), middle);
  EXPECT_TRUE(Read(middle));
  EXPECT_FALSE(Read(newest));
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"two"}));

  // Right is the next (older) message of the list, left the previous (newer) one.
  Person::Get().TypeKey(VK_RIGHT);
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == oldest; }));
  Person::Get().TypeKey(VK_RIGHT);  // the last one: nothing after it
  Person::Get().TypeKey(VK_LEFT);
  Person::Get().TypeKey(VK_LEFT);
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == newest; }));
  EXPECT_EQ(Shown(), (std::vector<std::u16string>{u"two", u"one", u"two", u"three"}));
  EXPECT_TRUE(Read(oldest));

  // Delete moves the message to Deleted Items and shows the next one.
  Person::Get().TypeKey(VK_DELETE);
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == middle; }));
  auto& engine = store::MessageStore::Of(device());
  auto sms = store::SmsStore(engine);
  auto deleted = engine.FolderByRole(sms->key, store::FolderRole::kDeletedItems);
  EXPECT_EQ(*engine.FolderOf(newest), deleted->key);
  ASSERT_TRUE(Eventually([&] { return Window().Rows().size() == 2u; }));

  // Q closes this form: the frame goes and the form is released.
  const HWND open = Window().form_frame();
  Person::Get().TypeKey('Q');
  ASSERT_TRUE(Eventually([&] { return Window().form_frame() == nullptr; }));
  EXPECT_FALSE(IsWindow(open));
  EXPECT_TRUE(Eventually([&] { return g_forms_alive == 0; }));

  // Reply composes to the sender (the compose form then takes the keys, so it comes last).
  ASSERT_TRUE(Window().Open(middle).ok());
  Person::Get().TypeKey('R');
  ASSERT_TRUE(Eventually([&] { return !device().journal().EntriesOfKind(journal_kind::kCompose).empty(); }));
  EXPECT_NE(device().journal().EntriesOfKind(journal_kind::kCompose)[0].text.find("+4930222"), std::string::npos);
}

TEST_F(InboxWindowTest, ATapOnARowOpensItsMessage) {
  Add(u"+4930111", u"one");
  const int64_t second = Add(u"+4930222", u"two");
  Add(u"+4930333", u"three");
  HWND list = Window().Show();
  ASSERT_NE(list, nullptr);
  RECT r{};
  GetWindowRect(list, &r);
  const int row = GetSystemMetrics(SM_CYCAPTION) * 3 / 2;
  ASSERT_TRUE(Person::Get().Tap({r.left + 40, r.top + row + row / 2}).ok());
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == second; }));
  EXPECT_TRUE(Read(second));
  Window().Close();
  EXPECT_EQ(g_forms_alive, 0);
}

}  // namespace

namespace {

TEST_F(InboxWindowTest, TheMenuBarKeysAskAFormThatKeepsNoKeysForItsActions) {
  // The Inbox's own SMS read form leaves Delete, Reply and Escape to the frame's menu bar.
  const int64_t older = Add(u"+4930111", u"one", u"IPM.SMStext");
  const int64_t newer = Add(u"+4930222", u"two", u"IPM.SMStext");
  ASSERT_NE(Window().Show(), nullptr);
  ASSERT_TRUE(Window().Open(newer).ok());
  Person::Get().TypeKey(VK_DELETE);
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == older; }));
  auto& engine = store::MessageStore::Of(device());
  auto deleted = engine.FolderByRole(store::SmsStore(engine)->key, store::FolderRole::kDeletedItems);
  EXPECT_EQ(*engine.FolderOf(newer), deleted->key);

  Person::Get().TypeKey('R');
  ASSERT_TRUE(Eventually([&] { return !device().journal().EntriesOfKind(journal_kind::kCompose).empty(); }));
  EXPECT_NE(device().journal().EntriesOfKind(journal_kind::kCompose)[0].text.find("+4930111"), std::string::npos);
}

TEST_F(InboxWindowTest, TheReadFramesSoftKeysReplyAndOfferTheFormsActions) {
  const int64_t older = Add(u"+4930111", u"one", u"IPM.SMStext");
  const int64_t newer = Add(u"+4930222", u"two", u"IPM.SMStext");
  ASSERT_NE(Window().Show(), nullptr);
  ASSERT_TRUE(Window().Open(newer).ok());
  HWND bar = shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(shell::SoftKeyText(bar, 0), u"Reply");
  EXPECT_EQ(shell::SoftKeyText(bar, 1), u"Menu");

  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Delete"));
  ASSERT_TRUE(shell::PressSoftKey(1));
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == older; }));
  auto& engine = store::MessageStore::Of(device());
  auto deleted = engine.FolderByRole(store::SmsStore(engine)->key, store::FolderRole::kDeletedItems);
  EXPECT_EQ(*engine.FolderOf(newer), deleted->key);

  ASSERT_TRUE(shell::PressSoftKey(0));
  ASSERT_TRUE(Eventually([&] { return !device().journal().EntriesOfKind(journal_kind::kCompose).empty(); }));
  EXPECT_NE(device().journal().EntriesOfKind(journal_kind::kCompose)[0].text.find("+4930111"), std::string::npos);
}

TEST_F(InboxWindowTest, TheListsLeftSoftKeyComposesANewMessage) {
  ASSERT_NE(Window().Show(), nullptr);
  HWND bar = shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(shell::SoftKeyText(bar, 0), u"New");
  ASSERT_TRUE(shell::PressSoftKey(0));
  ASSERT_TRUE(Eventually([&] { return !device().journal().EntriesOfKind(journal_kind::kCompose).empty(); }));
  EXPECT_NE(device().journal().EntriesOfKind(journal_kind::kCompose)[0].text.find("account=SMS"), std::string::npos);
}

TEST_F(InboxWindowTest, TheListsMenuOpensTheSelectedMessageAndTheListsKeysComeBackWhenItCloses) {
  Add(u"+4930111", u"one", u"IPM.SMStext");
  const int64_t newest = Add(u"+4930222", u"two", u"IPM.SMStext");
  ASSERT_NE(Window().Show(), nullptr);
  HWND list_bar = shell::SoftKeyBar();
  ASSERT_NE(list_bar, nullptr);
  EXPECT_EQ(shell::SoftKeyText(list_bar, 1), u"Menu");
  // The person's right soft key, as the device's keyboard delivers it.
  Person::Get().AnswerMenu(MenuAnswer::ByText(u"Open"));
  Person::Get().TypeKey(VK_F2);
  ASSERT_TRUE(Eventually([&] { return Window().form_message() == newest; }));
  // The read frame is in front now: its bar takes the keys, though the list's is still shown.
  EXPECT_TRUE(IsWindowVisible(list_bar));
  ASSERT_TRUE(Eventually([&] { return shell::SoftKeyText(shell::SoftKeyBar(), 0) == u"Reply"; }));

  Person::Get().TypeKey(VK_ESCAPE);
  ASSERT_TRUE(Eventually([&] { return Window().form_frame() == nullptr; }));
  EXPECT_EQ(shell::SoftKeyBar(), list_bar);
  Person::Get().TypeKey(VK_F1);
  ASSERT_TRUE(Eventually([&] { return !device().journal().EntriesOfKind(journal_kind::kCompose).empty(); }));
  EXPECT_NE(device().journal().EntriesOfKind(journal_kind::kCompose)[0].text.find("account=SMS"), std::string::npos);
}

TEST_F(InboxWindowTest, EscapeClosesTheReadForm) {
  const int64_t key = Add(u"+4930111", u"one", u"IPM.SMStext");
  ASSERT_NE(Window().Show(), nullptr);
  ASSERT_TRUE(Window().Open(key).ok());
  Person::Get().TypeKey(VK_ESCAPE);
  EXPECT_TRUE(Eventually([&] { return Window().form_frame() == nullptr; }));
}

}  // namespace
