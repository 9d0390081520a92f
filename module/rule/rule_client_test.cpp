// The module's COM entry, its one-time initialisation and the rule client, against the
// device's real loader, registry, threads and power manager.
#include "rule/rule_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "bubble/bubble_thread.h"
#include "core/settings.h"
#include "kernel/power.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/keep_awake.h"
#include "rule/module_entry.h"
#include "rule/notification_list.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

// {00000000-1111-2222-3333-444444444444}: no class of this module.
DEFINE_GUID(kOtherClass, 0x00000000, 0x1111, 0x2222, 0x33, 0x33, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44);

class ModuleEntryTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    ShutdownBubbleThread();
    FreeTemplates();
    FreeSmileyTable();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }
  void Set(LPCWSTR name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    RegCloseKey(key);
  }
  void SetText(LPCWSTR name, const std::u16string& value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
  }
  void WriteFile(std::u16string_view device_path, const std::string& bytes) {
    auto path = HostPath(device_path);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string Log() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  IMailRuleClient* NewClient() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IMailRuleClient* client = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IMailRuleClient, reinterpret_cast<void**>(&client)), S_OK);
    factory->Release();
    return client;
  }
  PowerManager& Power() { return device().Component<PowerManager>(); }

  HINSTANCE module_ = nullptr;
};

TEST_F(ModuleEntryTest, ExportsAreFoundByNameThroughTheLoader) {
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddressW(module_, u"DllGetClassObject")),
            reinterpret_cast<void*>(&DllGetClassObject));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddressW(module_, u"DllCanUnloadNow")),
            reinterpret_cast<void*>(&DllCanUnloadNow));
}

TEST_F(ModuleEntryTest, AnotherClassIsNotAvailableAndNothingIsSet) {
  void* out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(DllGetClassObject(kOtherClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, reinterpret_cast<void*>(0x1234));
}

TEST_F(ModuleEntryTest, TheFactoryAnswersItsOwnInterfacesOnly) {
  void* out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IMailRuleClient, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IClassFactory, nullptr), E_INVALIDARG);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IUnknown, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->AddRef(), 2u);
  EXPECT_EQ(factory->Release(), 1u);
  IClassFactory* again = nullptr;
  EXPECT_EQ(factory->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, factory);
  EXPECT_EQ(again->Release(), 1u);
  EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(ModuleEntryTest, CreateInstanceRefusesAggregationAndUnknownInterfaces) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  void* out = nullptr;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IMailRuleClient, &out),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(g_pRuleClient.load(), nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  // The object made for the refused interface is gone again.
  EXPECT_EQ(g_pRuleClient.load(), nullptr);

  IMailRuleClient* client = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IMailRuleClient, reinterpret_cast<void**>(&client)), S_OK);
  EXPECT_EQ(g_pRuleClient.load(), static_cast<CMailRuleClient*>(client));
  factory->Release();
  EXPECT_EQ(client->Release(), 0u);
  EXPECT_EQ(g_pRuleClient.load(), nullptr);
}

TEST_F(ModuleEntryTest, OnlyLockServerHoldsTheModule) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(CLSID_PellixRuleClient, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IMailRuleClient* client = NewClient();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // live objects do not count
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->Release();
  client->Release();
}

TEST_F(ModuleEntryTest, InitialisationLoadsOnceButReadsTheSettingsEveryTime) {
  ASSERT_FALSE(g_bInitialized);
  EnsureInitialized();
  EXPECT_TRUE(g_bInitialized);
  ASSERT_NE(g_Templates[TEMPLATE_SLOT_BUBBLE], nullptr);
  LPWSTR first = g_Templates[TEMPLATE_SLOT_BUBBLE];
  EXPECT_EQ(g_Settings.DebugLogging, 0u);
  Set(TEXT("DebugLogging"), 1);
  EnsureInitialized();
  EXPECT_EQ(g_Settings.DebugLogging, 1u);
  EXPECT_EQ(g_Templates[TEMPLATE_SLOT_BUBBLE], first);  // not loaded again
}

TEST_F(ModuleEntryTest, ProcessAttachReadsSettingsAndSmileysOnly) {
  Set(TEXT("DebugLogging"), 1);
  SetText(TEXT("InstallDir"), u"\\Skinned");
  WriteFile(u"\\Skinned\\Skins\\default\\Smileydata.txt", ":) smile\r\n:( sad\r\n");
  ASSERT_TRUE(DllMain(module_, DLL_PROCESS_ATTACH, nullptr));
  EXPECT_EQ(g_hInstance, module_);
  EXPECT_EQ(g_Settings.DebugLogging, 1u);
  EXPECT_TRUE(g_SmileyTableLoaded);
  EXPECT_EQ(g_SmileyCount, 2);
  EXPECT_EQ(g_Templates[TEMPLATE_SLOT_BUBBLE], nullptr);  // templates wait for first use
  EXPECT_FALSE(g_bInitialized);
  EXPECT_TRUE(DllMain(module_, DLL_PROCESS_DETACH, nullptr));
  EXPECT_FALSE(g_SmileyTableLoaded);
  EXPECT_EQ(g_SmileyCount, 0);
}

TEST_F(ModuleEntryTest, ProcessDetachWithAClientAliveEndsTheBubbleThread) {
  IMailRuleClient* client = NewClient();
  StartBubbleThread();
  while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
  HWND window = g_hBubbleThreadWindow;
  ASSERT_TRUE(IsWindow(window));
  ASSERT_NE(AddSms(g_dwNotificationNumber++), nullptr);
  EnsureInitialized();
  EXPECT_TRUE(DllMain(module_, DLL_PROCESS_DETACH, nullptr));
  EXPECT_FALSE(g_bBubbleThreadRunning);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(findsms(NOTIFICATION_NUMBER_FIRST), nullptr);
  EXPECT_EQ(g_Templates[TEMPLATE_SLOT_BUBBLE], nullptr);
  client->Release();
}

TEST_F(ModuleEntryTest, ProcessDetachWithoutAClientLeavesTheBubbleAlone) {
  StartBubbleThread();
  while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
  EnsureInitialized();
  EXPECT_TRUE(DllMain(module_, DLL_PROCESS_DETACH, nullptr));
  EXPECT_TRUE(g_bBubbleThreadRunning);
  EXPECT_NE(g_Templates[TEMPLATE_SLOT_BUBBLE], nullptr);
}

using RuleClientTest = ModuleEntryTest;

TEST_F(RuleClientTest, QueryInterfaceChecksItsArguments) {
  IMailRuleClient* client = NewClient();
  EXPECT_EQ(client->QueryInterface(IID_IMailRuleClient, nullptr), E_INVALIDARG);
  void* out = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(client->QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  IUnknown* unknown = nullptr;
  EXPECT_EQ(client->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(client));
  EXPECT_EQ(client->AddRef(), 3u);
  EXPECT_EQ(client->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(client->Release(), 0u);
}

TEST_F(RuleClientTest, InitializeGrantsWriteAccessAndLeavesThePowerStateAsItWas) {
  Set(TEXT("DebugLogging"), 1);
  IMailRuleClient* client = NewClient();
  MRCACCESS access = MRC_ACCESS_NONE;
  EXPECT_EQ(client->Initialize(nullptr, &access), S_OK);
  EXPECT_EQ(access, MRC_ACCESS_WRITE);
  EXPECT_TRUE(g_bInitialized);
  EXPECT_EQ(g_hKeepAwakeThread, nullptr);
  EXPECT_FALSE(Power().unattended());
  std::vector<std::string> power;
  for (const auto& e : device().journal().EntriesOfKind(journal_kind::kPower)) power.push_back(e.text);
  EXPECT_EQ(power, (std::vector<std::string>{"unattended on (1)", "unattended off (0)"}));
  // The log is emptied by the first initialisation, so its own lines come after.
  EXPECT_EQ(Log(), "successfull CMailRuleClient::Initialize!\r\n");
  client->Release();
  EXPECT_NE(Log().find("Finalizing SMSRuleClient!\r\n"), std::string::npos);
  EXPECT_NE(Log().find("mySHOnceDeInit()\r\n"), std::string::npos);
}

TEST_F(RuleClientTest, TheLastReleaseEndsTheBubbleWhileItRuns) {
  IMailRuleClient* client = NewClient();
  MRCACCESS access;
  client->Initialize(nullptr, &access);
  StartBubbleThread();
  while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(1);
  HWND window = g_hBubbleThreadWindow;
  ASSERT_NE(AddSms(g_dwNotificationNumber++), nullptr);
  client->AddRef();
  client->Release();
  EXPECT_TRUE(g_bBubbleThreadRunning);  // not the last reference
  client->Release();
  EXPECT_FALSE(g_bBubbleThreadRunning);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(findsms(NOTIFICATION_NUMBER_FIRST), nullptr);
  EXPECT_EQ(g_dwNotificationNumber, static_cast<DWORD>(NOTIFICATION_NUMBER_FIRST));
  EXPECT_EQ(g_Templates[TEMPLATE_SLOT_FORM], nullptr);
  EXPECT_EQ(g_StyleSheet, nullptr);
}

// Named for the threaded run: a form and the rule client initialise at the same moment.
using ModuleEntryConcurrencyTest = ModuleEntryTest;

TEST_F(ModuleEntryConcurrencyTest, TwoThreadsInitialiseOnce) {
  LPWSTR seen[2] = {};
  std::thread form([&] {
    EnsureInitialized();
    seen[0] = g_Templates[TEMPLATE_SLOT_FORM];
  });
  std::thread rule([&] {
    EnsureInitialized();
    seen[1] = g_Templates[TEMPLATE_SLOT_FORM];
  });
  form.join();
  rule.join();
  EXPECT_TRUE(g_bInitialized);
  ASSERT_NE(seen[0], nullptr);
  // Both found the templates that stayed loaded: nobody loaded them a second time.
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0], g_Templates[TEMPLATE_SLOT_FORM]);
}

}  // namespace
