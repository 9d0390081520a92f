// Processing of incoming messages against the device's real message store, contact store and
// bubble thread: report detection and rewriting, titles, the record handed to the bubble thread,
// the class change, what the Inbox is told, read failures, buffer capacities and the guard.
#include "rule/process_message.h"

#include <aygshell.h>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "bubble/bubble_thread.h"
#include "contacts/contact_store.h"
#include "core/settings.h"
#include "imaging/sample_pictures.h"
#include "kernel/power.h"
#include "platform/message_store.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/keep_awake.h"
#include "rule/notification_list.h"
#include "store/entry_id.h"
#include "store/mapi_objects.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
using Bytes = std::vector<uint8_t>;

const char16_t kAnnaNumber[] = u"+4915112345";

// What the thread window received with WM_ADDNOTIFICATION, copied while the sender waits.
struct Request {
  WPARAM mode;
  DWORD cbStruct, dwID;
  std::u16string title;
  bool html;
  SmsNotification* record;
};
std::vector<Request> g_requests;
std::atomic<int> g_soundInits{0};
WNDPROC g_bubbleProc = nullptr;

LRESULT CALLBACK CaptureRequests(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ADDNOTIFICATION) {
    auto* nd = reinterpret_cast<SHNOTIFICATIONDATA*>(lParam);
    g_requests.push_back({wParam, nd->cbStruct, nd->dwID, nd->pszTitle, nd->pszHTML != nullptr,
                          reinterpret_cast<SmsNotification*>(nd->lParam)});
  }
  if (message == WM_SOUNDINITIALIZE) ++g_soundInits;
  return CallWindowProcW(g_bubbleProc, hwnd, message, wParam, lParam);
}

struct Outcome {
  HRESULT hr;
  MRCHANDLED handled;
  ULONG event;
};
constexpr ULONG kUnset = 0xFFFFFFFF;

class ProcessMessageTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    g_requests.clear();
    Set(TEXT("DebugLogging"), 1);
    GetSettings();  // as the module's attach does, so the first log line is written
    RegisterOwnType();
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session_), S_OK);
    ASSERT_EQ(OpenStoreByName(session_, SMS_STORE_NAME, &store_), S_OK);
    LPENTRYID id = nullptr;
    ULONG cb = 0;
    ASSERT_EQ(store_->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &id, nullptr), S_OK);
    inbox_.assign(reinterpret_cast<uint8_t*>(id), reinterpret_cast<uint8_t*>(id) + cb);
    MAPIFreeBuffer(id);
  }
  void TearDown() override {
    ShutdownBubbleThread();
    if (store_) store_->Release();
    if (session_) session_->Logoff(0, 0, 0), session_->Release();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  void Set(LPCWSTR name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    RegCloseKey(key);
  }
  void RegisterOwnType() {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, RAVLO_MSGTYPE_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegCloseKey(key);
  }
  void AddAnna(bool picture) {
    contacts::Contact c;
    c.fields[contacts::Field::kFirstName] = u"Anna";
    c.fields[contacts::Field::kLastName] = u"Berg";
    c.fields[contacts::Field::kFileAs] = u"Anna Berg";
    c.fields[contacts::Field::kMobilePhone] = kAnnaNumber;
    // 100 by 50 fits a 50 by 50 box as 50 by 25.
    if (picture) c.picture = imaging::samples::WritePng(100, 50, std::vector<uint32_t>(5000, 0xFF3366CC), false);
    ASSERT_TRUE(contacts::ContactStore::Of(device()).Save(c).ok());
  }
  // Starts the bubble thread and watches what its window is sent.
  void WatchBubble() {
    StartBubbleThread();
    while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
    ASSERT_TRUE(g_bBubbleWindowReady);
    g_bubbleProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(g_hBubbleThreadWindow, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(CaptureRequests)));
  }

  Bytes Deliver(std::u16string sender, std::u16string text, std::u16string cls = u"IPM.SMStext") {
    store::SmsMessage m;
    m.sender = std::move(sender);
    m.text = std::move(text);
    m.message_class = std::move(cls);
    auto key = store::DeliverSms(store::MessageStore::Of(device()), m);
    EXPECT_TRUE(key.ok());
    return store::MakeEntryId(store::EntryKind::kMessage, key.ok() ? *key : 0);
  }
  Outcome Process(const Bytes& id, IMsgStore* through = nullptr) {
    Outcome o{E_UNEXPECTED, static_cast<MRCHANDLED>(7), kUnset};
    Bytes copy = id;
    o.hr = ProcessMessage(through ? through : store_, static_cast<ULONG>(copy.size()),
                          reinterpret_cast<LPENTRYID>(copy.data()), static_cast<ULONG>(inbox_.size()),
                          reinterpret_cast<LPENTRYID>(inbox_.data()), &o.event, &o.handled);
    return o;
  }
  // A property as the store holds it now: text, "1"/"0" for a boolean, or "" when absent.
  std::u16string Prop(const Bytes& id, ULONG tag) {
    auto ref = store::ParseEntryId(id.data(), id.size());
    auto props = store::MessageProperties(store::MessageStore::Of(device()), ref->key);
    for (const auto& p : *props) {
      if (p.tag != tag) continue;
      if (PROP_TYPE(tag) == PT_BOOLEAN) return std::get<int64_t>(p.value) ? u"1" : u"0";
      return std::get<std::u16string>(p.value);
    }
    return u"";
  }
  void DeleteProp(const Bytes& id, ULONG tag) {
    LPMESSAGE msg = nullptr;
    Bytes copy = id;
    ASSERT_EQ(store_->OpenEntry(static_cast<ULONG>(copy.size()), reinterpret_cast<LPENTRYID>(copy.data()),
                                nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&msg)),
              S_OK);
    SizedSPropTagArray(1, tags) = {1, {tag}};
    msg->DeleteProps(reinterpret_cast<LPSPropTagArray>(&tags), nullptr);
    msg->Release();
  }
  std::string Log() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  PowerManager& Power() { return device().Component<PowerManager>(); }

  HINSTANCE module_ = nullptr;
  LPMAPISESSION session_ = nullptr;
  LPMDB store_ = nullptr;
  Bytes inbox_;
};

// Everything a message goes through when the bubble shows it.
TEST_F(ProcessMessageTest, ReportsAreRecognisedRewrittenAndTitled) {
  AddAnna(false);
  WatchBubble();
  const std::u16string anna = u"Message to +4915112345 was delivered";
  struct Case {
    const char16_t* cls;
    std::u16string text;
    DWORD deliveryFix;
    std::u16string stored;
    DWORD kind, state;
    std::u16string title;
  } cases[] = {
      {u"IPM.SMStext", anna, 1, anna, 0, 0, u"+4917000"},
      {u"IPM.SMStext.REPORT.DR", anna, 1, u"Message to \"Anna Berg\" was delivered", 1, 0, u"Anna Berg-Delivery Report"},
      {u"IPM.SMStext.REPORT.NDR", anna, 1, u"Message to \"Anna Berg\" was delivered", 2, 0, u"Anna Berg-Delivery Report"},
      {u"IPM.SMStext.REPORT.DR", u"To +4930999 ok", 1, u"To \"+4930999\" ok", 1, 0, u"+4930999-Delivery Report"},
      {u"IPM.SMStext.REPORT.DR", u"+4915112345 got it", 1, u"\"Anna Berg\" got it", 1, 0, u"Anna Berg-Delivery Report"},
      // A report class without DR or NDR is rewritten but titled as an ordinary message.
      {u"IPM.SMStext.REPORT", anna, 1, u"Message to \"Anna Berg\" was delivered", 0, 0, u"+4917000"},
      {u"IPM.SMStext.REPORT.DR", anna, 0, anna, 1, 4, u"+4917000"},
      {u"IPM.SMStext.REPORT.NDR", anna, 0, anna, 2, 4, u"+4917000"},
      {u"IPM.SMStext.REPORT.DR", u"Delivered to +4915112345", 1, u"Delivered to +4915112345", 1, 0, u"+4917000"},
      {u"IPM.SMStext.REPORT.DR", u"Delivered to Anna", 1, u"Delivered to Anna", 1, 0, u"+4917000"},
      // Case matters: "report" is no report.
      {u"IPM.SMStext.report.DR", anna, 1, anna, 0, 0, u"+4917000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.cls, c.cls + std::char_traits<char16_t>::length(c.cls)) + " fix " +
                 std::to_string(c.deliveryFix));
    Set(TEXT("DeliveryFix"), c.deliveryFix);
    g_requests.clear();
    const Bytes id = Deliver(u"+4917000", c.text, c.cls);
    const Outcome o = Process(id);
    EXPECT_EQ(o.hr, S_OK);
    EXPECT_EQ(o.handled, MRC_HANDLED_CONTINUE);
    EXPECT_EQ(o.event, static_cast<ULONG>(fnevObjectModified));
    EXPECT_EQ(Prop(id, PR_SUBJECT_W), c.stored);
    EXPECT_EQ(Prop(id, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].title, c.title);
    ASSERT_NE(g_requests[0].record, nullptr);
    EXPECT_EQ(g_requests[0].record->dwReportKind, c.kind);
    EXPECT_EQ(g_requests[0].record->dwState, c.state);
  }
}

TEST_F(ProcessMessageTest, TheRecordCarriesCopiesAndTheCounterAdvances) {
  AddAnna(true);
  WatchBubble();
  const Bytes first = Deliver(u"\"Anna Berg\" +4915112345", u"Hi :)");
  const Bytes second = Deliver(u"+4930111", u"Yo");
  ASSERT_EQ(Process(first).hr, S_OK);
  ASSERT_EQ(Process(second).hr, S_OK);
  EXPECT_EQ(g_dwNotificationNumber, 42u);
  ASSERT_EQ(g_requests.size(), 2u);

  const Request& r = g_requests[0];
  EXPECT_EQ(r.mode, 1u);
  EXPECT_EQ(r.cbStruct, 88u);
  EXPECT_EQ(r.dwID, 40u);
  EXPECT_EQ(r.title, u" Anna Berg");
  EXPECT_TRUE(r.html);
  SmsNotification* record = findsms(40);
  ASSERT_EQ(record, r.record);
  EXPECT_EQ(record->dwKindCode, 121u);
  EXPECT_EQ(record->dwDisplayMode, 1u);
  EXPECT_EQ(std::u16string(record->pszSender), u"\"Anna Berg\" +4915112345");
  EXPECT_EQ(Bytes(record->lpMsgEntryId, record->lpMsgEntryId + record->cbMsgEntryId), first);
  EXPECT_EQ(Bytes(record->lpFolderEntryId, record->lpFolderEntryId + record->cbFolderEntryId), inbox_);
  EXPECT_NE(record->hPicture, nullptr);
  EXPECT_EQ(record->lPictureWidth, 50);
  EXPECT_EQ(record->lPictureHeight, 25);
  EXPECT_NE(std::u16string(record->pszHTML).find(u"Hi"), std::u16string::npos);

  SmsNotification* other = findsms(41);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->hPicture, nullptr);
  EXPECT_EQ(other->lPictureWidth, 50);
  EXPECT_EQ(other->lPictureHeight, 50);
  EXPECT_NE(Log().find("Picture found!\r\n"), std::string::npos);
  EXPECT_NE(Log().find("Picture not found!\r\n"), std::string::npos);

  // Ending the thread releases the records and starts the numbers again.
  ShutdownBubbleThread();
  EXPECT_FALSE(g_bBubbleThreadRunning);
  EXPECT_EQ(findsms(40), nullptr);
  EXPECT_EQ(g_dwNotificationNumber, 40u);
  EXPECT_NE(Log().find("Exiting thread while some notifications wasnt cleared!!\r\n"), std::string::npos);
}

// The page the bubble gets: the text as received (a report's rewrite goes only to the store),
// the template with the sender's picture exactly when there is a picture, and no picture looked
// up when pictures are off. Each message also asks the bubble thread to ready its sound.
TEST_F(ProcessMessageTest, TheBubblePageIsTheReceivedTextWithAPictureSlotOnlyForAPicture) {
  AddAnna(true);
  WatchBubble();
  auto page = [](const std::u16string& text, UINT kind, UINT slot) {
    LPWSTR html = nullptr;
    CreateHTMLFromSMSBody(text.c_str(), &html, kind, slot);
    std::u16string out = html ? html : u"";
    free(html);
    return out;
  };
  struct Case {
    const char16_t* name;
    DWORD pictures;
    std::u16string sender, text, cls;
    UINT kind, slot;
  } cases[] = {
      {u"a contact with a picture", 1, u"\"Anna Berg\" +4915112345", u"Hi :)", u"IPM.SMStext", 0, 1},
      {u"no contact", 1, u"+4930111", u"Hi :)", u"IPM.SMStext", 0, 0},
      {u"a report, rewritten in the store", 1, u"+4917000", u"Message to +4930999 was delivered",
       u"IPM.SMStext.REPORT.DR", 1, 0},
      {u"pictures off", 0, u"\"Anna Berg\" +4915112345", u"Hi :)", u"IPM.SMStext", 0, 0},
  };
  Set(TEXT("DeliveryFix"), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    Set(TEXT("NewNotifyPicSmiley"), c.pictures);
    g_requests.clear();
    const int sounds = g_soundInits;
    const size_t logged = Log().size();
    ASSERT_EQ(Process(Deliver(c.sender, c.text, c.cls)).hr, S_OK);
    ASSERT_EQ(g_requests.size(), 1u);
    SmsNotification* record = g_requests[0].record;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(std::u16string(record->pszHTML), page(c.text, c.kind, c.slot));
    EXPECT_EQ(record->hPicture != nullptr, c.slot == TEMPLATE_SLOT_BUBBLEPIC);
    // An ordinary message looks for the sender's picture only while pictures are on.
    const bool lookedUp = Log().substr(logged).find("Picture ") != std::string::npos;
    EXPECT_EQ(lookedUp, c.pictures && c.kind == SMS_REPORT_NONE);
    for (int i = 0; i < 1000 && g_soundInits == sounds; ++i) Sleep(1);
    EXPECT_EQ(g_soundInits, sounds + 1);
  }
}

TEST_F(ProcessMessageTest, TitlesOfQuotedSenders) {
  WatchBubble();
  const struct {
    std::u16string sender, title;
  } cases[] = {
      {u"\"Anna Berg\" +4915112345", u" Anna Berg"},
      {u"+4915112345", u"+4915112345"},
      {u"\"Anna", u" Anna"},
      {u"\"\"Anna\" x", u" \"Anna"},
      {u"\"\"", u" \""},
      {u"Anna \"B\"", u"Anna \"B\""},
  };
  for (const auto& c : cases) {
    g_requests.clear();
    ASSERT_EQ(Process(Deliver(c.sender, u"x")).hr, S_OK);
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].title, c.title);
  }
}

// Which settings change the message, and what the Inbox is told.
TEST_F(ProcessMessageTest, SettingsDecideWhatIsWritten) {
  struct Case {
    DWORD enabled, showBubble, original;
    bool ownType;
    const char16_t* cls;
    const char16_t* noNotify;
    MRCHANDLED handled;
  } cases[] = {
      {0, 1, 0, true, u"IPM.SMStext", u"", MRC_NOT_HANDLED},
      {1, 1, 0, true, u"IPM.SMStext.Ravlo", u"1", MRC_HANDLED_CONTINUE},
      {1, 0, 0, true, u"IPM.SMStext.Ravlo", u"1", MRC_HANDLED_CONTINUE},
      {1, 0, 1, true, u"IPM.SMStext.Ravlo", u"", MRC_HANDLED_CONTINUE},
      {1, 0, 0, false, u"IPM.SMStext", u"1", MRC_HANDLED_CONTINUE},
      {1, 1, 1, false, u"IPM.SMStext", u"", MRC_HANDLED_CONTINUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.enabled << c.showBubble << c.original << c.ownType);
    Set(TEXT("Enabled"), c.enabled);
    Set(TEXT("ShowMyBubble"), c.showBubble);
    Set(TEXT("OriginalNotification"), c.original);
    if (c.ownType) RegisterOwnType();
    else RegDeleteKeyW(HKEY_CURRENT_USER, RAVLO_MSGTYPE_KEY);
    const DWORD number = g_dwNotificationNumber;
    const Bytes id = Deliver(u"+4917000", u"Hi");
    const Outcome o = Process(id);
    EXPECT_EQ(o.hr, S_OK);
    EXPECT_EQ(o.handled, c.handled);
    EXPECT_EQ(o.event, c.handled ? static_cast<ULONG>(fnevObjectModified) : kUnset);
    EXPECT_EQ(Prop(id, PR_MESSAGE_CLASS_W), c.cls);
    EXPECT_EQ(Prop(id, PR_SMS_NO_PLATFORM_NOTIFY), c.noNotify);
    EXPECT_EQ(Prop(id, PR_SUBJECT_W), u"Hi");
    // Only the bubble starts the thread and lists a record.
    EXPECT_EQ(g_dwNotificationNumber, number + (c.enabled && c.showBubble ? 1 : 0));
    EXPECT_EQ(static_cast<bool>(g_bBubbleThreadRunning), c.enabled && c.showBubble);
    ShutdownBubbleThread();
  }
}

TEST_F(ProcessMessageTest, SwitchedOffLogsOneLineAndTouchesNothing) {
  Set(TEXT("Enabled"), 0);
  Process(Deliver(u"+4917000", u"Hi"));
  EXPECT_EQ(Log(), "ProcessMessage called! Bubble notifications was turned down.no sms processing! ");
  EXPECT_EQ(Power().idle_timer_resets(), 0u);
  EXPECT_TRUE(device().journal().EntriesOfKind(journal_kind::kPower).empty());
}

TEST_F(ProcessMessageTest, ReadFailuresLeaveTheMessageUnhandled) {
  Set(TEXT("ShowMyBubble"), 0);
  const Bytes unknown = store::MakeEntryId(store::EntryKind::kMessage, 987654);
  struct Case {
    ULONG deleted;  // the property taken away, or 0
    const char* line;
    HRESULT hr;
  } cases[] = {
      {0, "Unable to get message!\r\n", MAPI_E_NOT_FOUND},
      {PR_SUBJECT_W, "Unable to get message body!\r\n", MAPI_W_ERRORS_RETURNED},
      {PR_MESSAGE_CLASS_W, "Unable to get message class!\r\n", MAPI_W_ERRORS_RETURNED},
      {PR_SENDER_EMAIL_ADDRESS_W, "Couldn't get the sender's address!\r\n", MAPI_W_ERRORS_RETURNED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Bytes id = unknown;
    if (c.deleted) {
      id = Deliver(u"+4917000", u"To +4930999 ok", u"IPM.SMStext.REPORT.DR");
      DeleteProp(id, c.deleted);
    }
    const size_t logged = Log().size();
    const Outcome o = Process(id);
    EXPECT_EQ(o.hr, c.hr);
    EXPECT_EQ(o.handled, MRC_NOT_HANDLED);
    EXPECT_EQ(o.event, kUnset);
    const std::string log = Log().substr(logged);
    EXPECT_NE(log.find(std::string(c.line) + "successfull proceesmessage exit\r\n"), std::string::npos) << log;
    if (c.deleted) {
      EXPECT_EQ(Prop(id, PR_SMS_NO_PLATFORM_NOTIFY), u"");
      // A report already rewritten stays rewritten.
      if (c.deleted == PR_SENDER_EMAIL_ADDRESS_W) {
        EXPECT_EQ(Prop(id, PR_SUBJECT_W), u"To \"+4930999\" ok");
      }
    }
    EXPECT_FALSE(Power().unattended());
  }
  EXPECT_EQ(Process({1, 2, 3}).hr, MAPI_E_INVALID_ENTRYID);
}

// Texts at and beyond each buffer's capacity are cut to it.
TEST_F(ProcessMessageTest, LongNumbersAndSendersAreCutToTheirBuffers) {
  WatchBubble();
  auto cut = [](std::u16string s, size_t cch) { return s.substr(0, cch - 1); };
  for (size_t length : {2047u, 2048u, 3000u}) {
    SCOPED_TRACE(length);
    g_requests.clear();
    const std::u16string number(length, u'7');
    const Bytes id = Deliver(u"+4917000", u"To " + number + u" ok", u"IPM.SMStext.REPORT.DR");
    ASSERT_EQ(Process(id).hr, S_OK);
    const std::u16string name = cut(number, 2048);
    EXPECT_EQ(Prop(id, PR_SUBJECT_W), cut(u"To \"" + name + u"\" ok", 1024));
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].title, cut(name + u"-Delivery Report", 1024));
  }
  for (size_t length : {1023u, 1024u, 5000u}) {
    SCOPED_TRACE(length);
    g_requests.clear();
    const std::u16string sender = u"\"" + std::u16string(length - 1, u'A');
    ASSERT_EQ(Process(Deliver(sender, u"Hi")).hr, S_OK);
    ASSERT_EQ(g_requests.size(), 1u);
    EXPECT_EQ(g_requests[0].title, u" " + cut(sender, 1024).substr(1));
    EXPECT_EQ(std::u16string(g_requests[0].record->pszSender), sender);
  }
}

// A store whose messages report on the device's power state while they are read, and can fail
// a subject write or throw on one read. Everything else goes to the real objects.
class WatchedMessage final : public IMessage {
 public:
  std::function<void(ULONG tag)> onRead;
  HRESULT subjectWrite = S_OK;

  explicit WatchedMessage(LPMESSAGE real) : real_(real) {}
  STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    if (--refs_) return refs_;
    real_->Release();
    delete this;
    return 0;
  }
  STDMETHODIMP GetProps(LPSPropTagArray tags, ULONG flags, ULONG* count, LPSPropValue* values) override {
    if (onRead) onRead(tags->aulPropTag[0]);
    return real_->GetProps(tags, flags, count, values);
  }
  STDMETHODIMP SetProps(ULONG n, LPSPropValue values, LPSPropProblemArray* problems) override {
    if (values[0].ulPropTag == PR_SUBJECT_W && subjectWrite != S_OK) return subjectWrite;
    return real_->SetProps(n, values, problems);
  }
  STDMETHODIMP SaveChanges(ULONG flags) override { return real_->SaveChanges(flags); }
  STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                         LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetAttachmentTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP OpenAttach(ULONG, LPCIID, ULONG, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CreateAttach(LPCIID, ULONG, ULONG*, LPATTACH*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetRecipientTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP ModifyRecipients(ULONG, LPADRLIST) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SubmitMessage(ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SetReadFlag(ULONG) override { return MAPI_E_NO_SUPPORT; }

 private:
  ~WatchedMessage() = default;
  LPMESSAGE real_;
  ULONG refs_ = 1;
};

// Hands out one WatchedMessage; only OpenEntry is used.
class WatchedStore final : public IMsgStore {
 public:
  explicit WatchedStore(WatchedMessage* message) : message_(message) {}
  STDMETHODIMP OpenEntry(ULONG, LPENTRYID, LPCIID, ULONG, ULONG*, LPUNKNOWN* out) override {
    *out = message_;
    return S_OK;
  }
  STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = nullptr, E_NOINTERFACE; }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SaveChanges(ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetProps(LPSPropTagArray, ULONG, ULONG*, LPSPropValue*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetPropList(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP OpenProperty(ULONG, LPCIID, ULONG, ULONG, LPUNKNOWN*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SetProps(ULONG, LPSPropValue, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP DeleteProps(LPSPropTagArray, LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CopyTo(ULONG, LPCIID, LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                      LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CopyProps(LPSPropTagArray, ULONG_PTR, LPMAPIPROGRESS, LPCIID, LPVOID, ULONG,
                         LPSPropProblemArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetNamesFromIDs(LPSPropTagArray*, LPGUID, ULONG, ULONG*, LPMAPINAMEID**) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetIDsFromNames(ULONG, LPMAPINAMEID*, ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SetReceiveFolder(LPWSTR, ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetReceiveFolder(LPWSTR, ULONG, ULONG*, LPENTRYID*, LPWSTR*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetReceiveFolderTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP StoreLogoff(ULONG*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP AbortSubmit(ULONG, LPENTRYID, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP GetOutgoingQueue(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP SetLockState(LPMESSAGE, ULONG) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP FinishedMsg(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
  STDMETHODIMP NotifyNewMail(LPNOTIFICATION) override { return MAPI_E_NO_SUPPORT; }

 private:
  WatchedMessage* message_;
};

class GuardedProcessingTest : public ProcessMessageTest {
 protected:
  WatchedMessage* Open(const Bytes& id) {
    LPMESSAGE real = nullptr;
    Bytes copy = id;
    EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(copy.size()), reinterpret_cast<LPENTRYID>(copy.data()),
                                nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&real)),
              S_OK);
    return new WatchedMessage(real);
  }
};

TEST_F(GuardedProcessingTest, UnattendedAndAwakeForExactlyTheCall) {
  Set(TEXT("ShowMyBubble"), 0);
  const Bytes id = Deliver(u"+4917000", u"Hi");
  WatchedMessage* message = Open(id);
  std::vector<bool> unattended, awake;
  message->onRead = [&](ULONG) {
    unattended.push_back(Power().unattended());
    awake.push_back(g_hKeepAwakeThread != nullptr);
  };
  WatchedStore store(message);
  EXPECT_FALSE(Power().unattended());
  EXPECT_EQ(Process(id, &store).hr, S_OK);
  EXPECT_EQ(unattended, std::vector<bool>(3, true));
  EXPECT_EQ(awake, std::vector<bool>(3, true));
  EXPECT_FALSE(Power().unattended());
  EXPECT_EQ(g_hKeepAwakeThread, nullptr);
  std::vector<std::string> power;
  for (const auto& e : device().journal().EntriesOfKind(journal_kind::kPower)) power.push_back(e.text);
  EXPECT_EQ(power, (std::vector<std::string>{"unattended on (1)", "unattended off (0)"}));
}

TEST_F(GuardedProcessingTest, AnExceptionCleansUpThenLogsAndReturnsTheLastResult) {
  Set(TEXT("ShowMyBubble"), 0);
  const Bytes id = Deliver(u"+4917000", u"To +4930999 ok", u"IPM.SMStext.REPORT.DR");
  WatchedMessage* message = Open(id);
  message->subjectWrite = MAPI_E_NO_ACCESS;
  message->onRead = [](ULONG tag) {
    if (tag == PR_SENDER_EMAIL_ADDRESS_W) throw std::runtime_error("store gone");
  };
  WatchedStore store(message);
  const Outcome o = Process(id, &store);
  EXPECT_EQ(o.hr, MAPI_E_NO_ACCESS);
  EXPECT_EQ(o.handled, MRC_NOT_HANDLED);
  EXPECT_EQ(o.event, kUnset);
  EXPECT_FALSE(Power().unattended());
  EXPECT_EQ(g_hKeepAwakeThread, nullptr);
  const std::string log = Log();
  EXPECT_NE(log.find("delivery deliveryreport SetProps failed!\r\nFinding Senders name!\r\n"
                     "successfull proceesmessage exit\r\nexception in processmessage!\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(Prop(id, PR_SUBJECT_W), u"To +4930999 ok");
}

}  // namespace
