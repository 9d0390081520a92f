// The device's Inbox driving the installed PellixRule.dll as the platform's Inbox does: rule
// clients found in the registry and created through COM, messages processed on the Inbox's
// thread in order of arrival, and what the clients answered applied.
#include <gtest/gtest.h>

#include <cemapi.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "inbox/inbox.h"
#include "kernel/module_loader.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;
namespace fs = std::filesystem;

constexpr char16_t kPellixClass[] = u"{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}";
constexpr char16_t kFaultyClass[] = u"{0A000000-0000-4000-8000-00000000FA17}";
DEFINE_GUID(kPellixClsid, 0x7C1F3D92, 0x4B8E, 0x4a5d, 0x00, 0xC3, 0x9E, 0x2B, 0x71, 0xF0, 0x4A, 0x68);
DEFINE_GUID(kFaultyClsid, 0x0A000000, 0x0000, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFA, 0x17);
constexpr auto kLimit = std::chrono::seconds(30);

void SetValue(HKEY root, const std::u16string& key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, 0, nullptr, &k, nullptr), ERROR_SUCCESS);
  RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(k);
}
void SetDword(HKEY root, const std::u16string& key, LPCWSTR name, DWORD value) {
  SetValue(root, key, name, REG_DWORD, &value, 4);
}
void SetString(HKEY root, const std::u16string& key, LPCWSTR name, const std::u16string& value) {
  SetValue(root, key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

// A rule client of another vendor that fails: it throws, or answers E_FAIL.
enum class Fault { kThrow, kFail };
std::atomic<Fault> g_fault{Fault::kThrow};
std::atomic<int> g_faulty_alive{0};

class FaultyRuleClient final : public IMailRuleClient {
 public:
  FaultyRuleClient() { ++g_faulty_alive; }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IMailRuleClient)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
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
  STDMETHODIMP Initialize(IMsgStore*, MRCACCESS* access) override {
    *access = MRC_ACCESS_READ;
    return S_OK;
  }
  STDMETHODIMP ProcessMessage(IMsgStore*, ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG*,
                              MRCHANDLED* handled) override {
    if (g_fault == Fault::kThrow) throw std::runtime_error("faulty rule client");
    *handled = MRC_HANDLED_CONTINUE;  // claims a success it then reports as a failure
    return E_FAIL;
  }

 private:
  ~FaultyRuleClient() { --g_faulty_alive; }
  std::atomic<ULONG> refs_{1};
};

class FaultyFactory final : public IClassFactory {
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
  STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
    auto* client = new FaultyRuleClient();
    HRESULT hr = client->QueryInterface(riid, ppv);
    client->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  ~FaultyFactory() = default;
  std::atomic<ULONG> refs_{1};
};

HRESULT FaultyGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (!IsEqualCLSID(clsid, kFaultyClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new FaultyFactory();
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

class InboxTest : public pellix::testing::DeviceTest {
 protected:
  void TearDown() override {
    inbox::Inbox::Of(device()).Stop();
    DeviceTest::TearDown();
  }

  // Copies the module and the skins into the image, as init does.
  void CopyModule() {
    fs::create_directories(HostPath(u"\\Windows"));
    fs::copy_file(PELLIX_MODULE_PATH, HostPath(u"\\Windows") / "PellixRule.dll",
                  fs::copy_options::overwrite_existing);
    fs::path skins = HostPath(u"\\Program Files\\Halvane Quorrin\\Pellix\\Skins");
    fs::create_directories(skins);
    fs::copy(PELLIX_SKINS_DIR, skins, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    SetString(HKEY_CURRENT_USER, u"Software\\Halvane Quorrin Softwares\\Pellix", u"InstallDir",
              u"\\Program Files\\Halvane Quorrin\\Pellix\\");
  }
  // The registry entries registration makes for the rule client and its message type.
  void RegisterRule(const std::u16string& clsid, const std::u16string& server) {
    SetString(HKEY_CLASSES_ROOT, u"\\CLSID\\" + clsid + u"\\InprocServer32", nullptr, server);
    SetString(HKEY_CLASSES_ROOT, u"\\CLSID\\" + clsid + u"\\InprocServer32", u"ThreadingModel", u"Free");
    SetDword(HKEY_LOCAL_MACHINE, inbox::kRulesKey, clsid.c_str(), 1);
  }
  void Install() {
    CopyModule();
    RegisterRule(kPellixClass, u"PellixRule.dll");
    SetString(HKEY_CURRENT_USER, u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo", u"DLL",
              u"\\Windows\\PellixRule.dll");
  }
  void Settings(LPCWSTR name, DWORD value) {
    SetDword(HKEY_CURRENT_USER, u"Software\\Halvane Quorrin Softwares\\Pellix", name, value);
  }

  inbox::Inbox& Inbox() { return inbox::Inbox::Of(device()); }
  int64_t Deliver(const std::u16string& text, const std::u16string& cls = u"IPM.SMStext") {
    store::SmsMessage m;
    m.sender = u"+49171234567";
    m.text = text;
    m.message_class = cls;
    auto key = Inbox().Deliver(m);
    EXPECT_TRUE(key.ok());
    return key.ok() ? *key : 0;
  }
  std::u16string Prop(int64_t key, uint32_t tag) {
    auto p = store::MessageStore::Of(device()).ReadProperty(key, tag);
    if (!p.ok() || !p->has_value()) return u"(none)";
    return std::get<std::u16string>((*p)->value);
  }
  std::vector<std::string> InboxJournal(const std::string& containing) {
    std::vector<std::string> lines;
    for (const auto& e : device().journal().EntriesOfKind(journal_kind::kInbox))
      if (e.text.find(containing) != std::string::npos) lines.push_back(e.text);
    return lines;
  }
  bool BubbleThreadWindow() { return FindWindowW(u"SMS_RAVLO_THREAD_CLASS", nullptr) != nullptr; }
};

TEST_F(InboxTest, AnArrivalIsProcessedOnTheInboxThreadAndItsResultApplied) {
  Install();
  Inbox().Start();
  const int64_t key = Deliver(u"Hello :) call +4930123");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  auto arrival = Inbox().Outcome(key);
  ASSERT_TRUE(arrival && arrival->processed);
  ASSERT_EQ(arrival->outcomes.size(), 1u);
  const auto& o = arrival->outcomes[0];
  EXPECT_EQ(o.clsid, kPellixClass);
  EXPECT_EQ(o.result, S_OK);
  EXPECT_EQ(o.handled, MRC_HANDLED_CONTINUE);
  ASSERT_TRUE(o.event.has_value());
  EXPECT_EQ(*o.event, fnevObjectModified);
  EXPECT_EQ(Prop(key, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");
  EXPECT_EQ(Prop(key, PR_SUBJECT_W), u"Hello :) call +4930123");
  // Created through COM from the registry, initialised once with write access.
  EXPECT_EQ(InboxJournal("Initialize 0x00000000, access 2").size(), 1u);
  EXPECT_EQ(Inbox().rule_client_count(), 1u);
  // The bubble thread the module started is there until the rule client goes.
  EXPECT_TRUE(BubbleThreadWindow());
  Inbox().Stop();
  EXPECT_FALSE(BubbleThreadWindow());
  EXPECT_EQ(InboxJournal("released").size(), 1u);
  EXPECT_EQ(GetModuleHandleW(u"PellixRule.dll"), nullptr);
}

TEST_F(InboxTest, ABurstIsProcessedInOrderWithNothingLost) {
  Install();
  Settings(u"ShowMyBubble", 0);
  // Arrivals from two threads at once, before and while the Inbox runs.
  std::vector<int64_t> first, second;
  std::thread a([&] { for (int i = 0; i < 10; ++i) first.push_back(Deliver(u"a" + std::u16string(1, u'0' + i))); });
  std::thread b([&] { for (int i = 0; i < 10; ++i) second.push_back(Deliver(u"b" + std::u16string(1, u'0' + i))); });
  Inbox().Start();
  a.join();
  b.join();
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  const std::vector<int64_t> order = Inbox().Arrived();
  ASSERT_EQ(order.size(), 20u);
  std::vector<std::string> processed = InboxJournal("handled 1, event 0x00000010");
  ASSERT_EQ(processed.size(), 20u);
  for (size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(processed[i].rfind("message " + std::to_string(order[i]) + ":", 0), 0u) << processed[i];
    EXPECT_EQ(Prop(order[i], PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");
  }
  EXPECT_EQ(InboxJournal("Initialize").size(), 1u);
}

TEST_F(InboxTest, AnInboxStartedBeforeTheModuleWasInstalledUsesItForTheNextMessage) {
  Inbox().Start();
  const int64_t before = Deliver(u"too early");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  EXPECT_TRUE(Inbox().Outcome(before)->outcomes.empty());
  EXPECT_EQ(Prop(before, PR_MESSAGE_CLASS_W), u"IPM.SMStext");

  // Registered, but the file is not there yet: reported once, and the message stays as it is.
  RegisterRule(kPellixClass, u"PellixRule.dll");
  const int64_t registered = Deliver(u"registered");
  const int64_t still = Deliver(u"still missing");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  EXPECT_TRUE(Inbox().Outcome(registered)->outcomes.empty());
  EXPECT_TRUE(Inbox().Outcome(still)->outcomes.empty());
  EXPECT_EQ(InboxJournal("not created: cannot load PellixRule.dll").size(), 1u);

  Install();
  const int64_t after = Deliver(u"now");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  ASSERT_EQ(Inbox().Outcome(after)->outcomes.size(), 1u);
  EXPECT_EQ(Inbox().Outcome(after)->outcomes[0].handled, MRC_HANDLED_CONTINUE);
  EXPECT_EQ(Prop(after, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");

  // Unregistered again: the client is released at the next message, which it does not see.
  HKEY rules = nullptr;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, inbox::kRulesKey, 0, 0, &rules);
  RegDeleteValueW(rules, kPellixClass);
  RegCloseKey(rules);
  const int64_t removed = Deliver(u"after removal");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  EXPECT_TRUE(Inbox().Outcome(removed)->outcomes.empty());
  EXPECT_EQ(Prop(removed, PR_MESSAGE_CLASS_W), u"IPM.SMStext");
  EXPECT_EQ(Inbox().rule_client_count(), 0u);
}

TEST_F(InboxTest, AFaultyRuleClientDoesNotStopTheOthers) {
  ASSERT_TRUE(RegisterBuiltinLibrary(
      u"faulty.dll", {.exports = {{"DllGetClassObject", 0, reinterpret_cast<void*>(&FaultyGetClassObject)}}}));
  RegisterRule(kFaultyClass, u"faulty.dll");  // listed first: it sees each message first
  Install();
  Inbox().Start();
  g_fault = Fault::kThrow;
  const int64_t thrown = Deliver(u"one");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));
  g_fault = Fault::kFail;
  const int64_t failed = Deliver(u"two");
  ASSERT_TRUE(Inbox().WaitUntilIdle(kLimit));

  auto one = Inbox().Outcome(thrown);
  ASSERT_EQ(one->outcomes.size(), 2u);
  EXPECT_EQ(one->outcomes[0].clsid, kFaultyClass);
  EXPECT_TRUE(one->outcomes[0].threw);
  EXPECT_EQ(one->outcomes[0].handled, MRC_NOT_HANDLED);
  EXPECT_FALSE(one->outcomes[0].event.has_value());
  EXPECT_EQ(one->outcomes[1].handled, MRC_HANDLED_CONTINUE);
  auto two = Inbox().Outcome(failed);
  ASSERT_EQ(two->outcomes.size(), 2u);
  EXPECT_EQ(two->outcomes[0].result, E_FAIL);
  EXPECT_FALSE(two->outcomes[0].threw);
  EXPECT_EQ(two->outcomes[1].result, S_OK);
  EXPECT_EQ(Prop(failed, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");
  EXPECT_EQ(InboxJournal("(it threw)").size(), 1u);
  Inbox().Stop();
  EXPECT_EQ(g_faulty_alive, 0);
  UnregisterBuiltinLibrary(u"faulty.dll");
}

TEST_F(InboxTest, UnloadingTheModuleWithARuleClientAliveEndsItsBubble) {
  CopyModule();
  SetString(HKEY_CURRENT_USER, u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo", u"DLL",
            u"\\Windows\\PellixRule.dll");
  HMODULE module = LoadLibraryW(u"PellixRule.dll");
  ASSERT_NE(module, nullptr);
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
  auto get = reinterpret_cast<GetClassObject>(GetProcAddressW(module, u"DllGetClassObject"));
  ASSERT_NE(get, nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(get(kPellixClsid, IID_IClassFactory, reinterpret_cast<LPVOID*>(&factory)), S_OK);
  IMailRuleClient* client = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IMailRuleClient, reinterpret_cast<LPVOID*>(&client)), S_OK);
  factory->Release();
  MRCACCESS access;
  client->Initialize(nullptr, &access);

  // A message through the client starts the bubble thread.
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
  store::SmsMessage m;
  m.sender = u"+4930111";
  m.text = u"hi";
  auto& engine = store::MessageStore::Of(device());
  auto key = store::DeliverSms(engine, m);
  ASSERT_TRUE(key.ok());
  auto sms = store::SmsStore(engine);
  auto store_id = store::MakeEntryId(store::EntryKind::kStore, sms->key);
  LPMDB mdb = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, static_cast<ULONG>(store_id.size()), reinterpret_cast<LPENTRYID>(store_id.data()),
                                  nullptr, 0, &mdb), S_OK);
  auto id = store::MakeEntryId(store::EntryKind::kMessage, *key);
  auto folder = store::MakeEntryId(store::EntryKind::kFolder, *engine.FolderOf(*key));
  ULONG event = 0;
  MRCHANDLED handled = MRC_NOT_HANDLED;
  EXPECT_EQ(client->ProcessMessage(mdb, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                   static_cast<ULONG>(folder.size()), reinterpret_cast<LPENTRYID>(folder.data()),
                                   &event, &handled),
            S_OK);
  EXPECT_TRUE(BubbleThreadWindow());

  // The module goes while the client lives: its detach ends the bubble thread's window.
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(BubbleThreadWindow());
  EXPECT_EQ(GetModuleHandleW(u"PellixRule.dll"), nullptr);
  mdb->Release();
  session->Logoff(0, 0, 0);
  session->Release();
}

}  // namespace
