// System metrics and parameters follow the profile; power requests reach the journal.
#include <gtest/gtest.h>

#include "kernel/power.h"
#include "pm.h"
#include "testing/temp_image.h"
#include "windows.h"

namespace {

using pellix::testing::DeviceTest;

class VgaSmartPhone : public DeviceTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.screen_width = 480;
    p.screen_height = 640;
    p.dpi = 192;
    p.platform = "SmartPhone";
    return p;
  }
};

class DefaultDevice : public DeviceTest {};

TEST_F(DefaultDevice, MetricsOfAQvgaPocketPc) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 320);
  EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 26);
  EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 26);
  WCHAR platform[50];
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof platform, platform, 0));
  EXPECT_EQ(std::u16string(platform), u"PocketPC");
  // A buffer too small for the text fails rather than cutting it.
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, 8, platform, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(VgaSmartPhone, MetricsScaleWithTheScreen) {
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 480);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 640);
  EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 52);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), 64);
  EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), 1);
  WCHAR platform[50];
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof platform, platform, 0));
  EXPECT_EQ(std::u16string(platform), u"SmartPhone");
}

TEST_F(DefaultDevice, PowerRequestsAreJournalledAndCounted) {
  auto& power = device().Component<pellix::device::PowerManager>();
  EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE));
  EXPECT_TRUE(power.unattended());
  EXPECT_TRUE(PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE));
  EXPECT_FALSE(power.unattended());
  SystemIdleTimerReset();
  SystemIdleTimerReset();
  EXPECT_EQ(power.idle_timer_resets(), 2u);

  HANDLE backlight = SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), D0, POWER_NAME, nullptr, 0);
  ASSERT_NE(backlight, nullptr);
  EXPECT_EQ(power.RequiredState("BKL1:"), 0);
  EXPECT_EQ(ReleasePowerRequirement(backlight), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(ReleasePowerRequirement(backlight), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(power.RequiredState("BKL1:"), -1);

  auto entries = device().journal().Entries();
  std::vector<std::string> texts;
  for (auto& e : entries) texts.push_back(e.kind + ":" + e.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"power:unattended on (1)", "power:unattended off (0)",
                                             "backlight:require BKL1: D0", "backlight:release BKL1: D0"}));
}

TEST_F(DefaultDevice, DebugOutputGoesToTheJournal) {
  NKDbgPrintfW(TEXT("value %d of %s\r\n"), 3, TEXT("x"));
  auto debug = device().journal().EntriesOfKind("debug");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0].text, "value 3 of x\r\n");
}

}  // namespace
