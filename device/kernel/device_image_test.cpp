#include "kernel/device_image.h"

#include <gtest/gtest.h>

#include <fstream>

#include "kernel/registry.h"
#include "testing/temp_image.h"

namespace pellix::device {
namespace {

using pellix::testing::TempDir;

TEST(DeviceImage, CreateRefusesExistingImageUnlessForced) {
  TempDir dir;
  Profile profile;
  profile.screen_width = 480;
  profile.screen_height = 640;
  ASSERT_TRUE(DeviceImage::Create(dir.path(), profile).ok());
  EXPECT_FALSE(DeviceImage::Create(dir.path(), Profile{}).ok());
  auto reopened = DeviceImage::Open(dir.path());
  ASSERT_TRUE(reopened.ok());
  EXPECT_EQ(reopened->profile().screen_width, 480);
  ASSERT_TRUE(DeviceImage::Create(dir.path(), Profile{}, /*force=*/true).ok());
  EXPECT_EQ(DeviceImage::Open(dir.path())->profile().screen_width, 240);
}

TEST(DeviceImage, DisplayDriverStatesTheProfilesResolution) {
  TempDir dir;
  Profile profile;
  profile.dpi = 192;
  ASSERT_TRUE(DeviceImage::Create(dir.path(), profile).ok());
  Registry registry((dir.path() / "registry.db").string());
  auto value = registry.GetValue(RegistryRoot::kLocalMachine, u"Drivers\\Display\\GPE", u"LogicalPixelsY");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, 4u);  // REG_DWORD
  EXPECT_EQ(value->data, (std::vector<uint8_t>{192, 0, 0, 0}));
}

TEST(DeviceImage, OpenRejectsMissingOrBrokenProfile) {
  TempDir dir;
  EXPECT_FALSE(DeviceImage::Open(dir.path()).ok());
  std::ofstream(dir.path() / "profile") << "screen_width = wide\n";
  EXPECT_FALSE(DeviceImage::Open(dir.path()).ok());
  std::ofstream(dir.path() / "profile") << "platform = Toaster\n";
  EXPECT_FALSE(DeviceImage::Open(dir.path()).ok());
}

TEST(DeviceImage, PathsMatchWithoutRegardToCase) {
  TempDir dir;
  auto image = DeviceImage::Create(dir.path(), Profile{});
  ASSERT_TRUE(image.ok());
  std::filesystem::create_directories(image->fs_root() / "Program Files" / "Halvane Quorrin");
  auto mapped = image->MapPath(u"\\PROGRAM FILES\\halvane quorrin\\New.txt");
  ASSERT_TRUE(mapped.ok());
  EXPECT_EQ(*mapped, image->fs_root() / "Program Files" / "Halvane Quorrin" / "New.txt");
  EXPECT_EQ(*image->MapPath(u"\\"), image->fs_root());
  EXPECT_FALSE(image->MapPath(u"\\..\\etc\\passwd").ok());
  EXPECT_FALSE(image->MapPath(std::u16string(300, u'a')).ok());
}

TEST(Utf, RoundTripsAndReplacesBrokenInput) {
  std::u16string text = u"Gr\u00fc\u00dfe \u263a \U0001F600";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf8ToUtf16("a\xff" "b"), u"a\uFFFDb");
  EXPECT_EQ(Utf8ToUtf16("\xe2\x82"), u"\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace pellix::device
