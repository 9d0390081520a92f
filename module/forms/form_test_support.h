// A device with the module attached and the default skin installed, an SMS store to take
// messages from, a frame window for forms, and a host that records what the forms ask of it.
// Shared by the form provider's and the read window's tests.
#pragma once

#include <gtest/gtest.h>

#include <cemapi.h>
#include <inboxform.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/settings.h"
#include "forms/form_provider.h"
#include "forms/msg_form.h"
#include "forms/read_window.h"
#include "person/journal.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "store/mapi_objects.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace pellix::testing {

struct RecordingHost final : IInboxFormHost {
  STDMETHODIMP OnFormClosing(IInboxMessageForm* form, IMessage* message, DWORD cookie) override {
    closed.push_back({form, message});
    closeCookie = cookie;
    return S_OK;
  }
  STDMETHODIMP GetFrameWindow(HWND* out) override {
    *out = frame;
    return S_OK;
  }
  STDMETHODIMP SetFrameTitle(LPCWSTR) override { return S_OK; }
  STDMETHODIMP DoHostAction(IInboxMessageForm*, IMessage* message, UINT action, LPARAM) override {
    actions.push_back({action, message});
    return S_OK;
  }
  HWND frame = nullptr;
  DWORD closeCookie = 0xFFFF;
  std::vector<std::pair<IInboxMessageForm*, IMessage*>> closed;
  std::vector<std::pair<UINT, IMessage*>> actions;
};

class FormDeviceTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = AttachStaticPellixRule();
    namespace fs = std::filesystem;
    const fs::path skins = HostPath(u"\\Skins");
    fs::create_directories(skins);
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
    SetSetting(u"InstallDir", u"\\");
    SetSetting(u"SkinName", u"default");
    SetSetting(u"DebugLogging", 1);
    SetSetting(u"Animation", 1);
    GetSettings();
    messages_ = &device::store::MessageStore::Of(device());
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = u"FormTestFrame";
    RegisterClassW(&wc);
    frame_ = CreateWindowExW(0, u"FormTestFrame", u"", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                             nullptr, nullptr);
    host_.frame = frame_;
  }
  void TearDown() override {
    if (frame_ && IsWindow(frame_)) DestroyWindow(frame_);
    FreeTemplates();
    FreeSmileyTable();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  static void SetSetting(const char16_t* name, const std::u16string& value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * 2));
    RegCloseKey(key);
  }
  static void SetSetting(const char16_t* name, DWORD value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    RegCloseKey(key);
  }
  // Sets (or with nullopt deletes) a value of the SMS form module key.
  static void SetFormsValue(const char16_t* name, std::optional<std::u16string> value) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, FORMS_REGISTRY_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    if (value)
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                     static_cast<DWORD>((value->size() + 1) * 2));
    else
      RegDeleteValueW(key, name);
    RegCloseKey(key);
  }

  int64_t Deliver(const char16_t* from, const std::u16string& text, const char16_t* folder = u"Inbox",
                  std::vector<std::u16string> to = {}) {
    device::store::SmsMessage m;
    m.folder = folder;
    m.sender = from;
    m.text = text;
    m.to = std::move(to);
    m.delivery_time = *device::store::ParseIsoTime("2026-12-05T20:30:00Z");
    return *device::store::DeliverSms(*messages_, m);
  }
  IMessage* Open(int64_t key) { return new device::store::MessageObject(*messages_, key); }

  IInboxFormProvider* Provider() {
    IInboxFormProvider* provider = nullptr;
    EXPECT_EQ(FormFactoryEx(u"IPM.SMStext.Ravlo", &provider), S_OK);
    return provider;
  }
  // A read form of `key` in the test frame; the caller releases it.
  CMsgForm* ReadForm(IInboxFormProvider* provider, int64_t key, HWND* window = nullptr) {
    IMessage* message = Open(key);
    IInboxMessageForm* form = nullptr;
    HWND made = nullptr;
    EXPECT_EQ(provider->CreateReadForm(&host_, message, frame_, &made, &form), S_OK);
    message->Release();
    if (window) *window = made;
    return static_cast<CMsgForm*>(form);
  }

  // Pumps this thread's messages for `real_ms` or until `done`.
  template <typename F>
  static bool Pump(F done, int real_ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  bool Journaled(const char* kind, const std::string& text, uint64_t from = 0) {
    for (const auto& e : device().journal().EntriesOfKind(kind))
      if (e.sequence >= from && e.text.find(text) != std::string::npos) return true;
    return false;
  }

  // Counts WM_CLOSE reaching the frame.
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
      ++frameCloses;
      return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  static inline int frameCloses = 0;

  HINSTANCE module_ = nullptr;
  device::store::MessageStore* messages_ = nullptr;
  HWND frame_ = nullptr;
  RecordingHost host_;
};

}  // namespace pellix::testing
