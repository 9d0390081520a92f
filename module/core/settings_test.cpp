// Loading the settings record from the registry: defaults, clamps, fields that keep their
// previous value, and the platform queries.
#include "core/settings.h"

#include <gtest/gtest.h>

#include <string>

#include "testing/temp_image.h"

namespace {

using pellix::testing::DeviceTest;

class SettingsTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_Settings.VibrateMs = 0;
    g_Settings.SoundFile.Set(TEXT(""));
    g_Settings.InstallDir.Set(TEXT(""));
  }
  HKEY Key(LPCWSTR path = PELLIX_SETTINGS_KEY) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    return key;
  }
  void SetDword(LPCWSTR name, DWORD value, LPCWSTR path = PELLIX_SETTINGS_KEY) {
    HKEY key = Key(path);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    RegCloseKey(key);
  }
  void SetText(LPCWSTR name, const std::u16string& text) {
    HKEY key = Key();
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(key);
  }
  void Remove(LPCWSTR name) {
    HKEY key = Key();
    RegDeleteValueW(key, name);
    RegCloseKey(key);
  }
};

class SmartPhoneSettings : public SettingsTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.platform = "SmartPhone";
    return p;
  }
};

TEST_F(SettingsTest, WithoutAKeyTheDefaultsStandAndDebugOutputSaysSo) {
  // From values no default has: the defaults come back, the three kept fields stay.
  g_Settings.Enabled = 0;
  g_Settings.ShowMyBubble = 0;
  g_Settings.ZoomLevel = 4;
  g_Settings.NewNotifyPicSmiley = 0;
  g_Settings.SkinName.Set(TEXT("night"));
  g_Settings.VibrateMs = 777;
  g_Settings.SoundFile.Set(TEXT("\\Windows\\alarm.wav"));
  g_Settings.InstallDir.Set(TEXT("\\Storage Card\\Pellix"));
  EXPECT_EQ(GetSettings(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(g_Settings.Enabled, 1u);
  EXPECT_EQ(g_Settings.ShowMyBubble, 1u);
  EXPECT_EQ(g_Settings.SoundEnabled, 0u);
  EXPECT_EQ(g_Settings.ZoomLevel, 2u);
  EXPECT_EQ(g_Settings.SoundLoop, 1);
  EXPECT_EQ(g_Settings.NewNotifyPicSmiley, 1u);
  EXPECT_EQ(g_Settings.Animation, 1u);
  EXPECT_EQ(g_Settings.DeliveryFix, 1u);
  EXPECT_EQ(std::u16string(g_Settings.SkinName), u"default");
  EXPECT_EQ(g_Settings.VibrateMs, 777u);
  EXPECT_EQ(std::u16string(g_Settings.SoundFile), u"\\Windows\\alarm.wav");
  EXPECT_EQ(std::u16string(g_Settings.InstallDir), u"\\Storage Card\\Pellix");
  auto debug = device().journal().EntriesOfKind("debug");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0].text, "Error opening regitery directoy in GetSettings\r\n");
}

TEST_F(SmartPhoneSettings, NoBubbleOnASmartPhone) {
  GetSettings();
  EXPECT_EQ(g_Settings.ShowMyBubble, 0u);
  SetDword(TEXT("ShowMyBubble"), 1);
  GetSettings();
  EXPECT_EQ(g_Settings.ShowMyBubble, 0u);
  EXPECT_FALSE(IsSmartPhoneDevice() == FALSE);
}

TEST_F(SettingsTest, ClampsOfNumericValues) {
  struct Case {
    LPCWSTR name;
    DWORD stored;
    DWORD expected;
  } cases[] = {
      {TEXT("VibrateMs"), 50, 100},          {TEXT("VibrateMs"), 10001, 10000},
      {TEXT("VibrateMs"), 0xFFFFFFFF, 10000}, {TEXT("VibrateMs"), 2500, 2500},
      {TEXT("ZoomLevel"), 7, 4},             {TEXT("ZoomLevel"), 0xFFFFFFFF, 4},
      {TEXT("ZoomLevel"), 0, 0},             {TEXT("SoundLoop"), 0, 1},
      {TEXT("SoundLoop"), static_cast<DWORD>(-3), 1}, {TEXT("SoundLoop"), 5, 5},
  };
  for (const Case& c : cases) {
    SetDword(c.name, c.stored);
    GetSettings();
    DWORD actual = std::u16string(c.name) == u"VibrateMs" ? g_Settings.VibrateMs
                   : std::u16string(c.name) == u"ZoomLevel" ? g_Settings.ZoomLevel
                                                            : static_cast<DWORD>(g_Settings.SoundLoop);
    EXPECT_EQ(actual, c.expected) << static_cast<int>(c.stored);
  }
}

TEST_F(SettingsTest, OnlyTheSmartPhoneTextIsASmartPhone) {
  EXPECT_FALSE(IsSmartPhoneDevice()) << "PocketPC";
  GetSettings();
  EXPECT_EQ(g_Settings.ShowMyBubble, 1u);
}

// The option bit counts only when a 4-byte "Options" value can be read.
TEST_F(SettingsTest, SoundOptionNeedsAReadableValue) {
  EXPECT_FALSE(IsBubbleSoundOptionSet()) << "no key";
  SetDword(TEXT("Other"), 1, PELLIX_BUBBLE_CLASS_KEY);
  EXPECT_FALSE(IsBubbleSoundOptionSet()) << "no value";
  HKEY key = Key(PELLIX_BUBBLE_CLASS_KEY);
  const BYTE eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  RegSetValueExW(key, TEXT("Options"), 0, REG_BINARY, eight, 8);
  RegCloseKey(key);
  EXPECT_FALSE(IsBubbleSoundOptionSet()) << "8 bytes do not fit the 4-byte buffer";
  SetDword(TEXT("SoundEnabled"), 1);
  GetSettings();
  EXPECT_EQ(g_Settings.SoundEnabled, 1u);
}

TEST_F(SettingsTest, SoundOptionBitTurnsOnlyAOneOff) {
  SetDword(TEXT("Options"), 1, PELLIX_BUBBLE_CLASS_KEY);
  EXPECT_TRUE(IsBubbleSoundOptionSet());
  SetDword(TEXT("SoundEnabled"), 1);
  GetSettings();
  EXPECT_EQ(g_Settings.SoundEnabled, 0u);
  SetDword(TEXT("SoundEnabled"), 2);
  GetSettings();
  EXPECT_EQ(g_Settings.SoundEnabled, 2u);
  SetDword(TEXT("Options"), 2, PELLIX_BUBBLE_CLASS_KEY);
  SetDword(TEXT("SoundEnabled"), 1);
  GetSettings();
  EXPECT_EQ(g_Settings.SoundEnabled, 1u);
}

TEST_F(SettingsTest, NewNotifyAllForcesPictures) {
  SetDword(TEXT("NewNotifyPicSmiley"), 0);
  GetSettings();
  EXPECT_EQ(g_Settings.NewNotifyPicSmiley, 0u);
  SetDword(TEXT("NewNotifyAll"), 1);
  GetSettings();
  EXPECT_EQ(g_Settings.NewNotifyPicSmiley, 1u);
}

TEST_F(SettingsTest, RemovedValuesReturnToDefaultsExceptTheThreeKeptFields) {
  SetText(TEXT("SkinName"), u"night");
  SetText(TEXT("SoundFile"), u"\\Windows\\alarm.wav");
  SetDword(TEXT("VibrateMs"), 700);
  SetDword(TEXT("Enabled"), 0);
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.SkinName), u"night");
  EXPECT_EQ(g_Settings.Enabled, 0u);
  Remove(TEXT("SkinName"));
  Remove(TEXT("SoundFile"));
  Remove(TEXT("VibrateMs"));
  Remove(TEXT("Enabled"));
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.SkinName), u"default");
  EXPECT_EQ(std::u16string(g_Settings.SoundFile), u"\\Windows\\alarm.wav");
  EXPECT_EQ(g_Settings.VibrateMs, 700u);
  EXPECT_EQ(g_Settings.Enabled, 1u);
}

TEST_F(SettingsTest, InstallDirFallsBackWhenItsSizeIsZero) {
  SetDword(TEXT("Enabled"), 1);  // the key exists, InstallDir does not
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.InstallDir), u"\\Program Files\\Halvane Quorrin\\Pellix\\");
  SetText(TEXT("InstallDir"), u"\\Storage Card\\Pellix");
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.InstallDir), u"\\Storage Card\\Pellix");
  HKEY key = Key();
  RegSetValueExW(key, TEXT("InstallDir"), 0, REG_SZ, reinterpret_cast<const BYTE*>(TEXT("")), 0);
  RegCloseKey(key);
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.InstallDir), u"\\Program Files\\Halvane Quorrin\\Pellix\\");
}

TEST_F(SettingsTest, StringsThatDoNotFitOrHaveTheWrongShapeAreIgnored) {
  SetText(TEXT("SkinName"), std::u16string(255, u's'));
  GetSettings();
  EXPECT_EQ(wcslen(g_Settings.SkinName), 255u);
  SetText(TEXT("SkinName"), std::u16string(256, u's'));  // 514 bytes: does not fit
  SetText(TEXT("SoundFile"), u"keep");
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.SkinName), u"default");
  // A 512-byte value without a terminator fits the query but leaves no room for one.
  std::u16string full(256, u'f');
  HKEY key = Key();
  RegSetValueExW(key, TEXT("SoundFile"), 0, REG_SZ, reinterpret_cast<const BYTE*>(full.c_str()), 512);
  // A numeric value stored as a short binary replaces only its own bytes.
  const BYTE two[2] = {3, 0};
  RegSetValueExW(key, TEXT("ZoomLevel"), 0, REG_BINARY, two, 2);
  RegCloseKey(key);
  GetSettings();
  EXPECT_EQ(std::u16string(g_Settings.SoundFile), u"keep");
  EXPECT_EQ(g_Settings.ZoomLevel, 3u);
}

TEST_F(SettingsTest, ConcurrentReadersNeverSeeAMixedText) {
  // A reader thread copies the skin name while the main thread switches it back and forth.
  SetText(TEXT("SkinName"), u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
  GetSettings();
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::thread reader([&] {
    while (!stop) {
      std::u16string seen(g_Settings.SkinName);
      bool all_a = seen.find_first_not_of(u'a') == std::u16string::npos;
      bool all_b = seen.find_first_not_of(u'b') == std::u16string::npos;
      if (!all_a && !all_b) ++mixed;
    }
  });
  for (int i = 0; i < 200; ++i) {
    SetText(TEXT("SkinName"), i % 2 ? u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa" : u"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb");
    GetSettings();
  }
  stop = true;
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
