// A device with the default skin installed and the bubble thread running, and the hand-over
// ProcessMessage makes: a record in the notification list, WM_ADDNOTIFICATION sent and
// WM_SOUNDINITIALIZE posted. Shared by the bubble's threaded tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "bubble/bubble_thread.h"
#include "bubble/popup_window.h"
#include "core/settings.h"
#include "person/journal.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/notification_list.h"
#include "testing/temp_image.h"

namespace pellix::testing {

class BubbleDeviceTest : public DeviceTest {
 protected:
  device::Profile MakeProfile() const override {
    device::Profile p = screen_;
    p.clock_speed = clock_speed_;
    return p;
  }
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = AttachStaticPellixRule();
    namespace fs = std::filesystem;
    const fs::path skins = HostPath(u"\\Skins");
    fs::create_directories(skins);
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
    GetSettings();
    g_Settings.InstallDir.Set(u"\\");
    g_Settings.SkinName.Set(u"default");
    g_Settings.DebugLogging = 1;
    g_Settings.SoundEnabled = 0;
    g_Settings.Vibrate = 0;
    g_Settings.Animation = 1;
    g_Settings.CompatibilityMode = 0;
    g_Settings.NotificationReplyDefault = 0;
    LoadSmileyTable();
    LoadTemplates();
  }
  void TearDown() override {
    // As the rule client's end: the HTML view library goes with this device (the module would
    // otherwise keep its handle into the next test's device when tests share a process).
    ShutdownBubbleThread();
    mySHOnceDeInit();
    FreeSmileyTable();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }

  void StartThread() {
    StartBubbleThread();
    ASSERT_TRUE(WaitUntil([] { return !g_bBubbleThreadRunning || g_bBubbleWindowReady; }));
    ASSERT_TRUE(g_bBubbleWindowReady);
  }

  // What ProcessMessage hands the bubble thread for `text`; returns the notification number.
  DWORD Notify(const std::u16string& text, const std::u16string& title = u"Anna Berg", DWORD reportKind = 0,
               HBITMAP picture = nullptr) {
    const DWORD number = g_dwNotificationNumber++;
    LPWSTR html = nullptr;
    CreateHTMLFromSMSBody(text.c_str(), &html, reportKind, picture ? 1 : 0);
    SmsNotification* record = AddSms(number);
    record->dwKindCode = 121;
    record->dwDisplayMode = 1;
    record->dwReportKind = reportKind;
    record->hPicture = picture;
    record->lPictureWidth = 50;
    record->lPictureHeight = 50;
    record->pszHTML = _wcsdup(html);
    record->pszSender = _wcsdup(u"+4915112345");
    SHNOTIFICATIONDATA nd = {};
    nd.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
    nd.dwID = number;
    nd.pszHTML = html;
    nd.pszTitle = title.c_str();
    nd.lParam = reinterpret_cast<LPARAM>(record);
    SendMessageW(g_hBubbleThreadWindow, WM_ADDNOTIFICATION, 1, reinterpret_cast<LPARAM>(&nd));
    PostMessageW(g_hBubbleThreadWindow, WM_SOUNDINITIALIZE, 0, 0);
    free(html);
    return number;
  }

  // The notification the popup shows, 0 when it is hidden.
  static DWORD Shown() {
    if (!g_hPopupWindow || !IsWindowVisible(g_hPopupWindow)) return 0;
    return static_cast<DWORD>(GetWindowLongW(g_hPopupView, GWL_ID));
  }

  static bool WaitUntil(const std::function<bool()>& done, int real_ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }
  bool WaitForJournal(const std::function<bool(const device::JournalEntry&)>& match, uint64_t from = 0) {
    return device().journal().WaitFor(match, std::chrono::seconds(10), from).has_value();
  }
  std::string Log() {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Logged(const std::string& line) { return Log().find(line) != std::string::npos; }

  device::Profile screen_;
  double clock_speed_ = 20.0;
  HINSTANCE module_ = nullptr;
};

}  // namespace pellix::testing
