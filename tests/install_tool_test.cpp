// Installing and removing the module with pellix-device, as an installer would: what the registry
// holds after each step, repeated steps, the stored messages' classes, and the conversion command
// with its progress on large stores.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kernel/device_image.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;
namespace store = pellix::device::store;

constexpr char kSmsType[] = "'HKCU\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext'";

class InstallToolTest : public ::testing::Test {
 protected:
  std::filesystem::path image() const { return dir_.path() / "image"; }
  ToolRun Tool(const std::string& args, bool merge = true) { return pellix::testing::RunTool(image(), args, merge); }

  // A .reg listing less the keys that hold no values.
  static std::string WithoutEmptyKeys(const std::string& listing) {
    std::string out;
    size_t start = 0;
    while (start < listing.size()) {
      size_t end = listing.find("\n\n", start);
      end = end == std::string::npos ? listing.size() : end + 2;
      const std::string block = listing.substr(start, end - start);
      if (std::count(block.begin(), block.end(), '\n') > 2 || block.find('=') != std::string::npos) out += block;
      start = end;
    }
    return out;
  }

  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  pellix::testing::TempDir dir_;
};

TEST_F(InstallToolTest, InstallAndUninstallAsAnInstallerWould) {
  ASSERT_EQ(Tool("init").status, 0);
  // The platform's own SMS form module and glyph, and two stored messages.
  ASSERT_EQ(Tool(std::string("reg set ") + kSmsType + " DLL sz '\\Windows\\tmail.dll'").status, 0);
  ASSERT_EQ(Tool(std::string("reg set ") + kSmsType + " GlyphInfo binary 0102030405").status, 0);
  ASSERT_EQ(Tool("store add --from +4930111 one").status, 0);
  ASSERT_EQ(Tool("store add --from +4930222 --class IPM.SMStext.Other two").status, 0);
  const std::string before = Tool("reg export").out;

  ToolRun installed = Tool("install");
  ASSERT_EQ(installed.status, 0) << installed.out;
  EXPECT_TRUE(Has(installed.out, "+ [HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules] "
                                 "\"{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}\"=dword:00000001"))
      << installed.out;
  EXPECT_TRUE(Has(installed.out, "~ [HKEY_CURRENT_USER\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext] "
                                 "\"DLL\"=\"\\\\Windows\\\\PellixRule.dll\""));
  EXPECT_TRUE(Has(installed.out, "converted 1 of 2 messages in the Inbox to IPM.SMStext.Ravlo"));
  EXPECT_TRUE(Has(installed.out, "result = 0x00000000"));

  const std::string after = Tool("reg export").out;
  for (const char* line :
       {"[HKEY_CLASSES_ROOT\\CLSID\\{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}\\InprocServer32]\n"
        "@=\"PellixRule.dll\"\n\"ThreadingModel\"=\"Free\"\n",
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Inbox\\Svc\\SMS\\MsgClasses]\n\"IPM.SMStext.Ravlo\"=dword:00000001\n",
        "\"Ravlo_OriginalDLL\"=\"\\\\Windows\\\\tmail.dll\"\n",
        "\"Ravlo_OriginalGlyphInfo\"=hex:01,02,03,04,05\n",
        // The module's attach may write the glyph before registration names the form module.
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo]\n",
        "\"DLL\"=\"\\\\Windows\\\\PellixRule.dll\"\n",
        "\"GlyphInfo\"=hex:20,00,00,00,7c,00,00,00,7c,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00\n"})
    EXPECT_TRUE(Has(after, line)) << line << "\nin\n" << after;
  EXPECT_TRUE(Has(Tool("store list").out, "\tIPM.SMStext.Ravlo\t+4930111\tone"));

  // Installing again changes nothing: what the first one saved stays saved.
  ToolRun again = Tool("install");
  ASSERT_EQ(again.status, 0) << again.out;
  EXPECT_TRUE(Has(again.out, "the registry is unchanged")) << again.out;
  EXPECT_EQ(Tool("reg export").out, after);

  ToolRun removed = Tool("uninstall");
  ASSERT_EQ(removed.status, 0) << removed.out;
  EXPECT_TRUE(Has(removed.out, "- [HKEY_CURRENT_USER\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext] "
                               "\"Ravlo_OriginalDLL\""));
  EXPECT_TRUE(Has(removed.out, "converted 1 of 2 messages in the Inbox to IPM.SMStext"));
  // Removal leaves the registry as it was, apart from the keys it leaves empty.
  const std::string restored = Tool("reg export").out;
  EXPECT_EQ(WithoutEmptyKeys(restored), WithoutEmptyKeys(before));
  EXPECT_FALSE(Has(restored, "Ravlo"));
  EXPECT_FALSE(Has(restored, "7C1F3D92"));
  EXPECT_TRUE(Has(Tool("store list").out, "\tIPM.SMStext\t+4930111\tone"));

  ToolRun removed_again = Tool("uninstall");
  ASSERT_EQ(removed_again.status, 0) << removed_again.out;
  EXPECT_TRUE(Has(removed_again.out, "the registry is unchanged"));
  EXPECT_EQ(Tool("reg export").out, restored);
}

TEST_F(InstallToolTest, ConvertShowsProgressOnlyForLargeStores) {
  ASSERT_TRUE(pellix::device::DeviceImage::Create(image(), pellix::device::Profile{}).ok());
  {
    store::MessageStore messages(image() / "store.db");
    store::SmsMessage m;
    m.sender = u"+4917100";
    m.text = u"hello";
    for (int i = 0; i < 6000; ++i) ASSERT_TRUE(store::DeliverSms(messages, m).ok());
  }
  ToolRun own = Tool("convert to-own", /*merge=*/false);
  ASSERT_EQ(own.status, 0) << own.out << own.err;
  EXPECT_EQ(own.out, "converted 6000 of 6000 messages in the Inbox to IPM.SMStext.Ravlo\nresult = 0x00000000\n");
  EXPECT_TRUE(Has(own.err, "converting: 6000 of 6000 messages\n")) << own.err;

  ToolRun back = Tool("convert back", /*merge=*/false);
  ASSERT_EQ(back.status, 0);
  EXPECT_TRUE(Has(back.out, "converted 6000 of 6000 messages in the Inbox to IPM.SMStext\n"));

  // Once converted, nothing is left to change.
  ToolRun nothing = Tool("convert back", /*merge=*/false);
  EXPECT_TRUE(Has(nothing.out, "converted 0 of 6000 messages"));

  EXPECT_NE(Tool("convert sideways").status, 0);
}

TEST_F(InstallToolTest, SmallStoresConvertQuietly) {
  ASSERT_EQ(Tool("init").status, 0);
  ASSERT_EQ(Tool("store add --from +4930111 one").status, 0);
  ToolRun own = Tool("convert to-own", /*merge=*/false);
  ASSERT_EQ(own.status, 0);
  EXPECT_EQ(own.err, "");
  EXPECT_TRUE(Has(own.out, "converted 1 of 1 messages"));
}

}  // namespace
