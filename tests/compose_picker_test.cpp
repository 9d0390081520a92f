// Composing with the smiley picker in the device's Inbox, driven by a pellix-device script as a
// person writes a reply: with `EnhanceComposeForm` on, the installed module's compose window
// wraps the Inbox's own compose form; the smiley button opens the panel, a tapped smiley goes
// into the text, the close box closes the panel and the message goes out with the smiley.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using pellix::testing::RunTool;
using pellix::testing::ToolRun;

const char kSettings[] = "'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix'";

class ComposePickerToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Tool("init --clock-speed 50").status, 0);
    ASSERT_EQ(Tool("install").status, 0);
    ASSERT_EQ(Tool("store add --from +49171234567 --time 2026-12-05T20:30 'Dinner at 8?'").status, 0);
  }
  ToolRun Tool(const std::string& args) { return RunTool(image_, args, false); }
  ToolRun Script(const std::string& text) {
    const fs::path path = dir_.path() / ("script" + std::to_string(++scripts_) + ".txt");
    std::ofstream(path, std::ios::binary) << text;
    return RunTool(image_, "run '" + path.string() + "'");
  }

  pellix::testing::TempDir dir_;
  fs::path image_ = dir_.path() / "image";
  int scripts_ = 0;
};

TEST_F(ComposePickerToolTest, AReplyGoesOutWithTheTappedSmiley) {
  ASSERT_EQ(Tool(std::string("reg set ") + kSettings + " EnhanceComposeForm dword 1").status, 0);
  const ToolRun run = Script(
      "open latest\n"
      "key r\n"
      "expect journal '^compose .*to=\\+49171234567'\n"
      "tap-window STATIC\n"
      "tap-smiley ';-)'\n"
      "tap-smiley '<3'\n"
      "tap-close Smiley\n"
      "tap-window STATIC\n"
      "tap-smiley ':-)'\n"
      "softkey left\n"
      "expect journal '^sms sent to \\+49171234567: ;-\\)<3:-\\)$'\n"
      "expect store count 1 'Sent Items'\n");
  EXPECT_EQ(run.status, 0) << run.out;
}

TEST_F(ComposePickerToolTest, SmileysThatShareAPictureHaveOneButton) {
  ASSERT_EQ(Tool(std::string("reg set ") + kSettings + " EnhanceComposeForm dword 1").status, 0);
  // ":)" shares smile.gif with ":-)", listed before it: only ":-)" has a button.
  const ToolRun run = Script(
      "open latest\n"
      "key r\n"
      "tap-window STATIC\n"
      "tap-smiley ':)'\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("no smiley panel on the screen offers :)"), std::string::npos) << run.out;
}

TEST_F(ComposePickerToolTest, WithoutTheSettingTheInboxsOwnFormHasNoPicker) {
  const ToolRun run = Script(
      "open latest\n"
      "key r\n"
      "expect journal '^compose .*to=\\+49171234567'\n"
      "tap-window STATIC\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("no window of class STATIC is on the screen"), std::string::npos) << run.out;
}

}  // namespace
