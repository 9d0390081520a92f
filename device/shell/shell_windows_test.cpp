// The shell through the SDK: menu bars and their soft keys, notifications shown by a sink
// window, shell execution.
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "kernel/device.h"
#include "kernel/module_loader.h"
#include "person/person.h"
#include "shell/menu_bar.h"
#include "shell/platform_bubble.h"
#include "shell/title_bar.h"
#include "shell/notification_manager.h"
#include "testing/temp_image.h"

#include <aygshell.h>
#include <htmlctrl.h>
#include <libloader.h>
#include <pellixres.h>

namespace {

using pellix::device::shell::PressSoftKey;
using pellix::device::shell::SoftKeyText;

constexpr CLSID kBubbleClass = {0x6b1d4e82, 0x3fa7, 0x41c9, {0x9d, 0x25, 0x8e, 0x07, 0xc6, 0xa3, 0xf1, 0xb4}};

std::vector<UINT> g_commands;
std::vector<LPARAM> g_command_params;
std::vector<std::pair<DWORD, UINT>> g_notifications;  // (id, code)
bool g_sink_shows = true;  // whether the sink answers SHNN_SHOW by showing it itself

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    g_commands.push_back(LOWORD(wParam));
    g_command_params.push_back(lParam);
    return 0;
  }
  if (msg == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->hwndFrom == nullptr) {
      g_notifications.push_back({static_cast<DWORD>(header->idFrom), header->code});
      return header->code == SHNN_SHOW && g_sink_shows ? 1 : 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A menu resource as the resource compiler writes it: "Dismiss" 40005, then the pop-up "Menu"
// with "Reply" 40001 and "Delete" 40004.
constexpr uint16_t kPopup = 0x0010, kEnd = 0x0080;
constexpr uint16_t kMenuTemplate[] = {
    0, 0,                                                   // header
    0, 40005, 'D', 'i', 's', 'm', 'i', 's', 's', 0,         //
    kPopup | kEnd, 'M', 'e', 'n', 'u', 0,                   //
    0, 40001, 'R', 'e', 'p', 'l', 'y', 0,                   //
    kEnd, 40004, 'D', 'e', 'l', 'e', 't', 'e', 0,           //
};
constexpr PELLIX_RESOURCE kResources[] = {{4 /* RT_MENU */, 118, kMenuTemplate, sizeof(kMenuTemplate)}};
constexpr PELLIX_RESOURCE_TABLE kResourceTable = {PELLIX_RESOURCE_VERSION, 1, kResources};

class ShellWindowsTest : public pellix::testing::DeviceTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.clock_speed = 10.0;
    return p;
  }
  void SetUp() override {
    DeviceTest::SetUp();
    g_commands.clear();
    g_command_params.clear();
    g_notifications.clear();
    g_sink_shows = true;
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"RECORDER";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, u"RECORDER", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 294, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  // Lets this thread's windows answer for `ms` real milliseconds.
  void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // Pumps until `done` holds or two real seconds pass.
  bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) Pump(2);
    return done();
  }
  static void PressKey(BYTE vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
  }
  HWND window_ = nullptr;
};

TEST_F(ShellWindowsTest, LeftSoftKeyIsACommandRightOneAPopup) {
  HMENU menu = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 40001, u"Reply");
  AppendMenuW(popup, MF_STRING, 40004, u"Delete");
  AppendMenuW(menu, MF_STRING, 40005, u"Dismiss");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  HWND bar = pellix::device::shell::CreateMenuBarWindow(window_, menu, true, true);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SoftKeyText(bar, 0), u"Dismiss");
  EXPECT_EQ(SoftKeyText(bar, 1), u"Menu");
  RECT r{};
  GetWindowRect(bar, &r);
  EXPECT_EQ(r.bottom, 320);  // at the bottom of the screen
  EXPECT_EQ(r.right - r.left, 240);
  EXPECT_EQ(reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 1)), popup);

  ASSERT_TRUE(PressSoftKey(0, bar));
  Pump(30);
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0], 40005u);
  // A tap on the bar's left half is the same press.
  SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(ShellWindowsTest, OfTwoBarsOfOneWindowTheSoftKeysActOnTheOneShownLast) {
  HMENU first = CreateMenu();
  AppendMenuW(first, MF_STRING, 1, u"One");
  HMENU second = CreateMenu();
  AppendMenuW(second, MF_STRING, 2, u"Two");
  HWND a = pellix::device::shell::CreateMenuBarWindow(window_, first, true, true);
  HWND b = pellix::device::shell::CreateMenuBarWindow(window_, second, true, true);
  EXPECT_EQ(pellix::device::shell::SoftKeyBar(), b);
  ShowWindow(b, SW_HIDE);
  EXPECT_EQ(pellix::device::shell::SoftKeyBar(), a);
  ASSERT_TRUE(PressSoftKey(0));
  Pump(30);
  ASSERT_EQ(g_commands.size(), 1u);
  EXPECT_EQ(g_commands[0], 1u);
}

TEST_F(ShellWindowsTest, SinkIsAskedToShowEachNotificationInTurn) {
  SHNOTIFICATIONDATA first{}, second{};
  for (auto* d : {&first, &second}) {
    d->cbStruct = 88;
    d->npPriority = SHNP_INFORM;
    d->csDuration = 1;
    d->clsid = kBubbleClass;
    d->hwndSink = window_;
    d->pszTitle = u"t";
    d->pszHTML = u"h";
  }
  first.dwID = 40;
  second.dwID = 41;
  ASSERT_EQ(SHNotificationAdd(&first), ERROR_SUCCESS);
  ASSERT_EQ(SHNotificationAdd(&second), ERROR_SUCCESS);
  // The show requests arrive while this thread pumps, not during SHNotificationAdd.
  EXPECT_TRUE(g_notifications.empty());
  ASSERT_TRUE(PumpUntil([] { return !g_notifications.empty(); }));
  ASSERT_EQ(g_notifications.size(), 1u);
  EXPECT_EQ(g_notifications[0], (std::pair<DWORD, UINT>{40, SHNN_SHOW}));
  // One device second is 100 real milliseconds: the second waits for the first's time.
  ASSERT_TRUE(PumpUntil([] { return g_notifications.size() >= 2; }));
  ASSERT_EQ(g_notifications.size(), 2u);
  EXPECT_EQ(g_notifications[1], (std::pair<DWORD, UINT>{41, SHNN_SHOW}));
  EXPECT_EQ(SHNotificationRemove(&kBubbleClass, 40), ERROR_SUCCESS);
  EXPECT_EQ(SHNotificationRemove(&kBubbleClass, 40), ERROR_NOT_FOUND);
}

TEST_F(ShellWindowsTest, WebAddressOpensTheBrowser) {
  SHELLEXECUTEINFO info{};
  info.cbSize = 60;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = u"http://example.org/x";
  info.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(ShellExecuteEx(&info));
  const auto launch = device().journal().WaitFor(
      [](const pellix::device::JournalEntry& e) { return e.kind == "launch"; }, std::chrono::seconds(2));
  ASSERT_TRUE(launch.has_value());
  EXPECT_EQ(launch->text, "browser http://example.org/x");
  for (int i = 0; i < 200 && !FindWindowW(u"PELLIXBROWSER", nullptr); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  HWND browser = FindWindowW(u"PELLIXBROWSER", nullptr);
  ASSERT_NE(browser, nullptr);
  WCHAR title[64] = {};
  GetWindowTextW(browser, title, 64);
  EXPECT_EQ(std::u16string(title), u"http://example.org/x");
}

TEST_F(ShellWindowsTest, MissingFilesAndBadArgumentsFail) {
  SHELLEXECUTEINFO info{};
  info.cbSize = 60;
  info.lpFile = u"\\Windows\\nothing.exe";
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  info.cbSize = 12;
  EXPECT_FALSE(ShellExecuteEx(&info));
  EXPECT_FALSE(ShellExecuteEx(nullptr));
}

TEST_F(ShellWindowsTest, ActivationHelpersByOrdinal) {
  HMODULE ayg = LoadLibraryW(u"aygshell.dll");
  ASSERT_NE(ayg, nullptr);
  auto activate = reinterpret_cast<BOOL (*)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD)>(
      GetProcAddressW(ayg, reinterpret_cast<LPCWSTR>(84)));
  auto setting = reinterpret_cast<BOOL (*)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*)>(
      GetProcAddressW(ayg, reinterpret_cast<LPCWSTR>(83)));
  ASSERT_NE(activate, nullptr);
  ASSERT_NE(setting, nullptr);
  SHACTIVATEINFO sai{};
  sai.cbSize = sizeof(sai);
  SetFocus(window_);
  EXPECT_TRUE(activate(window_, MAKEWPARAM(WA_INACTIVE, 0), 0, &sai, 0));
  EXPECT_EQ(sai.hwndLastFocus, window_);
  EXPECT_EQ(sai.fActive, 0u);
  EXPECT_TRUE(activate(window_, MAKEWPARAM(WA_ACTIVE, 0), 0, &sai, 0));
  EXPECT_EQ(sai.fActive, 1u);
  EXPECT_TRUE(setting(window_, SETTINGCHANGE_RESET, 0, &sai));
  EXPECT_FALSE(activate(window_, 0, 0, nullptr, 0));
  FreeLibrary(ayg);
}

TEST_F(ShellWindowsTest, MenuBarFromAMenuResourceAnswersTheSoftKeys) {
  auto module = pellix::device::Modules().AttachStatic({.path = u"\\Windows\\Menus.dll", .resources = &kResourceTable});
  ASSERT_TRUE(module.ok());
  SHMENUBARINFO info{};
  info.cbSize = 36;
  info.hwndParent = window_;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = 118;
  info.hInstRes = reinterpret_cast<HINSTANCE>(*module);
  ASSERT_TRUE(SHCreateMenuBar(&info));
  HWND bar = info.hwndMB;
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(IsWindowVisible(bar));
  EXPECT_EQ(SoftKeyText(bar, 0), u"Dismiss");
  EXPECT_EQ(SoftKeyText(bar, 1), u"Menu");

  // The left soft key is the command itself; the right one opens the pop-up, where the person
  // chooses an item.
  PressKey(VK_F1);
  ASSERT_TRUE(PumpUntil([] { return g_commands.size() == 1; }));
  EXPECT_EQ(g_commands[0], 40005u);
  pellix::device::Person::Get().AnswerMenu(pellix::device::MenuAnswer::ByText(u"Delete"));
  PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([] { return g_commands.size() == 2; }));
  EXPECT_EQ(g_commands[1], 40004u);

  // A missing resource or a short record makes no bar.
  info.nToolBarId = 119;
  EXPECT_FALSE(SHCreateMenuBar(&info));
  info.nToolBarId = 118;
  info.cbSize = 20;
  EXPECT_FALSE(SHCreateMenuBar(&info));
  // With the bar gone the soft keys are ordinary keys of the focus window again.
  DestroyWindow(bar);
  SetFocus(window_);
  PressKey(VK_F1);
  Pump(20);
  EXPECT_EQ(g_commands.size(), 2u);
}

TEST_F(ShellWindowsTest, PlatformBubbleShowsWhatTheSinkLeavesToIt) {
  g_sink_shows = false;
  HMENU menu = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 40001, u"Reply");
  AppendMenuW(menu, MF_STRING, 40005, u"Mark read");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  SOFTKEYCMD commands[] = {{40005, NOTIF_SOFTKEY_FLAGS_DISMISS}, {40001, NOTIF_SOFTKEY_FLAGS_STAYOPEN}};
  SHNOTIFICATIONDATA data{};
  data.cbStruct = 88;
  data.dwID = 42;
  data.npPriority = SHNP_INFORM;
  data.csDuration = 30;
  data.clsid = kBubbleClass;
  data.hwndSink = window_;
  data.grfFlags = SHNF_HASMENU;
  data.pszTitle = u"New message";
  data.pszHTML = u"<b>Hello</b> there<br>second line";
  data.skm = SOFTKEYMENU{menu, commands, 2};
  ASSERT_EQ(SHNotificationAdd(&data), ERROR_SUCCESS);

  ASSERT_TRUE(PumpUntil([] { return pellix::device::shell::PlatformBubble() != nullptr; }));
  HWND bubble = pellix::device::shell::PlatformBubble();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(bubble) != FALSE; }));
  ASSERT_EQ(g_notifications.size(), 1u);
  EXPECT_EQ(g_notifications[0], (std::pair<DWORD, UINT>{42, SHNN_SHOW}));
  WCHAR text[32] = {};
  GetWindowTextW(bubble, text, 32);
  EXPECT_EQ(std::u16string(text), u"New message");
  RECT r{};
  GetWindowRect(bubble, &r);
  EXPECT_EQ(r.right - r.left, 240);
  // The HTML goes through an HTML view inside the bubble.
  HWND view = GetWindow(bubble, GW_CHILD);
  ASSERT_NE(view, nullptr);
  WCHAR class_name[32] = {};
  GetClassNameW(view, class_name, 32);
  EXPECT_EQ(std::u16string(class_name), u"DISPLAYCLASS");
  EXPECT_GT(SendMessageW(view, DTM_LAYOUTHEIGHT, 0, 0), 20);
  HWND bar = pellix::device::shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SoftKeyText(bar, 0), u"Mark read");

  // An item of the right pop-up that keeps the bubble open reaches the sink with the id.
  pellix::device::Person::Get().AnswerMenu(pellix::device::MenuAnswer::ById(40001));
  PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([] { return !g_commands.empty(); }));
  EXPECT_EQ(g_commands[0], 40001u);
  EXPECT_EQ(g_command_params[0], 42);
  Pump(30);
  EXPECT_TRUE(IsWindowVisible(bubble));

  // The left soft key dismisses: command, SHNN_DISMISS, and the notification waits in the title bar.
  PressKey(VK_F1);
  ASSERT_TRUE(PumpUntil([] { return g_commands.size() == 2 && g_notifications.size() == 2; }));
  EXPECT_EQ(g_commands[1], 40005u);
  EXPECT_EQ(g_command_params[1], 42);
  EXPECT_EQ(g_notifications[1], (std::pair<DWORD, UINT>{42, SHNN_DISMISS}));
  auto& manager = device().Component<pellix::device::shell::NotificationManager>();
  ASSERT_TRUE(PumpUntil([&] { return manager.TitleBar().size() == 1; }));
  EXPECT_FALSE(IsWindowVisible(bubble));
  // From its icon in the title bar the person shows it again: a new SHNN_SHOW.
  ASSERT_TRUE(PumpUntil([] { return pellix::device::shell::TitleBarStrip() != nullptr; }));
  HWND strip = pellix::device::shell::TitleBarStrip();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(strip) != FALSE; }));
  RECT icons{};
  GetWindowRect(strip, &icons);
  EXPECT_EQ(icons.top, 0);
  ASSERT_TRUE(pellix::device::Person::Get().Tap(POINT{icons.left + 5, icons.top + 5}).ok());
  ASSERT_TRUE(PumpUntil([] { return g_notifications.size() == 3; }));
  EXPECT_EQ(g_notifications[2], (std::pair<DWORD, UINT>{42, SHNN_SHOW}));
  EXPECT_EQ(SHNotificationRemove(&kBubbleClass, 42), ERROR_SUCCESS);
  // Nothing listed any more: the strip goes.
  ASSERT_TRUE(PumpUntil([] { return pellix::device::shell::TitleBarStrip() == nullptr; }));
  DestroyMenu(menu);
}

}  // namespace
