// The activation and setting-change helpers of aygshell.dll, reached by ordinal as forms reach
// them: focus goes back to the control that had it when a window is active again.
#include "windows/test_window.h"

#include <aygshell.h>
#include <libloader.h>

namespace pellix::testing {
namespace {

using ActivateFn = BOOL (*)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD);
using SettingChangeFn = BOOL (*)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*);

class ActivationTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
    HMODULE shell = LoadLibraryW(u"aygshell.dll");
    ASSERT_NE(shell, nullptr);
    activate_ = reinterpret_cast<ActivateFn>(GetProcAddressW(shell, MAKEINTRESOURCEW(84)));
    setting_change_ = reinterpret_cast<SettingChangeFn>(GetProcAddressW(shell, MAKEINTRESOURCEW(83)));
    ASSERT_TRUE(activate_ && setting_change_);
  }
  ActivateFn activate_ = nullptr;
  SettingChangeFn setting_change_ = nullptr;
};

TEST_F(ActivationTest, FocusReturnsToTheControlThatHadIt) {
  HWND form = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 240, 300);
  HWND first = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 240, 20, form);
  HWND second = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 20, 240, 20, form);
  HWND elsewhere = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 10, 10);
  SHACTIVATEINFO info{};
  info.cbSize = sizeof info;

  SetFocus(second);
  EXPECT_TRUE(activate_(form, MAKEWPARAM(WA_INACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(info.hwndLastFocus, second);
  EXPECT_EQ(info.fActive, 0u);

  SetFocus(elsewhere);
  EXPECT_TRUE(activate_(form, MAKEWPARAM(WA_ACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(info.fActive, 1u);
  EXPECT_EQ(GetFocus(), second);

  // Focus outside the window is not remembered; a control that is gone is not given focus.
  SetFocus(elsewhere);
  info.hwndLastFocus = first;
  EXPECT_TRUE(activate_(form, MAKEWPARAM(WA_INACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(info.hwndLastFocus, first);
  DestroyWindow(first);
  EXPECT_TRUE(activate_(form, MAKEWPARAM(WA_CLICKACTIVE, 0), 0, &info, 0));
  EXPECT_EQ(GetFocus(), elsewhere);

  EXPECT_FALSE(activate_(form, MAKEWPARAM(WA_ACTIVE, 0), 0, nullptr, 0));
  EXPECT_FALSE(activate_(nullptr, MAKEWPARAM(WA_ACTIVE, 0), 0, &info, 0));
}

TEST_F(ActivationTest, OnlyAScreenResetAsksForANewLayout) {
  HWND form = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 0, 240, 300);
  SHACTIVATEINFO info{};
  info.cbSize = sizeof info;
  RECT before{};
  GetWindowRect(form, &before);
  EXPECT_TRUE(setting_change_(form, SETTINGCHANGE_RESET, 0, &info));
  EXPECT_FALSE(setting_change_(form, 0, 0, &info));
  EXPECT_FALSE(setting_change_(form, SETTINGCHANGE_RESET, 0, nullptr));
  // The caller lays itself out; the helper moves nothing.
  RECT after{};
  GetWindowRect(form, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
}

}  // namespace
}  // namespace pellix::testing
