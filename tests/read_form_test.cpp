// The installed module's read form in the device's Inbox, driven by pellix-device scripts as a
// person uses it: opened from the Inbox, walked, deleted and replied to through the Inbox, and
// compared pixel for pixel with its reference pictures at QVGA and VGA (PELLIX_UPDATE_GOLDEN=1
// writes new ones to tests/data/golden/; look at them before committing them).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "imaging/decoded_image.h"
#include "kernel/host_file.h"
#include "testing/temp_image.h"
#include "testing/golden_picture.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using pellix::testing::RunTool;
using pellix::testing::ToolRun;

const char kSettings[] = "'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix'";

class ReadFormToolTest : public ::testing::Test {
 protected:
  ToolRun Tool(const std::string& args) { return RunTool(image_, args, false); }
  // Runs `text` as a script; its output and errors together.
  ToolRun Script(const std::string& text) {
    const fs::path path = dir_.path() / ("script" + std::to_string(++scripts_) + ".txt");
    std::ofstream(path, std::ios::binary) << text;
    return RunTool(image_, "run '" + path.string() + "'");
  }
  void Install(const std::string& init) {
    ASSERT_EQ(Tool(init).status, 0);
    ASSERT_EQ(Tool("install").status, 0);
    ASSERT_EQ(Tool(std::string("reg set ") + kSettings + " DebugLogging dword 1").status, 0);
  }

  pellix::testing::TempDir dir_;
  fs::path image_ = dir_.path() / "image";
  int scripts_ = 0;
};

TEST_F(ReadFormToolTest, TheInboxOpensTheModulesReadFormAndActsThroughIt) {
  Install("init --clock-speed 50");
  ASSERT_EQ(Tool("store add --from +4930111 --time 2026-12-05T19:00 'The older one'").status, 0);
  ASSERT_EQ(Tool("store add --from +4930222 --time 2026-12-05T20:30 'Hi :) call +4930123456'").status, 0);
  const ToolRun run = Script(
      "open latest\n"
      "expect journal 'opened in the read form of .Windows.PellixRule.dll'\n"
      "expect screen-text 'call +4930123456'\n"
      "key right\n"
      "expect journal 'the form shows the next message'\n"
      "expect screen-text 'The older one'\n"
      "key delete\n"
      "expect journal 'moved to Deleted Items'\n"
      "key r\n"
      "expect journal '^compose .*\\+4930222'\n");
  EXPECT_EQ(run.status, 0) << run.out;
  // Composing went to the Inbox's own form module through the module's provider.
  const std::string log = Tool("log").out;
  EXPECT_NE(log.find("No custom compose form!"), std::string::npos) << log;
  std::ifstream journal(image_ / "journal.log", std::ios::binary);
  const std::string journalText((std::istreambuf_iterator<char>(journal)), {});
  EXPECT_NE(journalText.find("opened in the read form"), std::string::npos);
  EXPECT_EQ(journalText.find("the registered form module made no form"), std::string::npos);
  // Delete took the message the form showed after Right.
  EXPECT_NE(Tool("store list --folder 'Deleted Items'").out.find("The older one"), std::string::npos);
}

TEST_F(ReadFormToolTest, TheInboxListShowsTheModulesGlyphWithoutItsTransparentColour) {
  Install("init");
  ASSERT_EQ(Tool("store add --from +4930111 'Hello'").status, 0);
  const fs::path shot = dir_.path() / "list.png";
  const ToolRun run = Script("open latest\nkey escape\nscreenshot '" + shot.string() + "'\n");
  ASSERT_EQ(run.status, 0) << run.out;
  auto file = pellix::device::ReadHostFile(shot, 16u << 20);
  ASSERT_TRUE(file.ok());
  auto picture = pellix::device::imaging::DecodePng(*file);
  ASSERT_TRUE(picture.ok());
  // The glyph is drawn (something other than the row's white at its place), and none of its
  // magenta key shows.
  const auto& pixels = picture->frames[0].pixels;
  size_t magenta = 0, glyph = 0;
  for (uint32_t y = 0; y < picture->height; ++y)
    for (uint32_t x = 0; x < picture->width; ++x) {
      const uint32_t rgb = pixels[static_cast<size_t>(y) * picture->width + x] & 0xFFFFFF;
      magenta += rgb == 0xFF00FF;
      glyph += x < 20 && y > 30 && y < 60 && rgb != 0xFFFFFF;
    }
  EXPECT_EQ(magenta, 0u);
  EXPECT_GT(glyph, 10u);
}

struct Screen {
  const char* size;
  int dpi;
};

void PrintTo(const Screen& s, std::ostream* out) { *out << s.size << "@" << s.dpi; }

class ReadFormGoldenTest : public ReadFormToolTest, public ::testing::WithParamInterface<Screen> {};

TEST_P(ReadFormGoldenTest, AMessageWithSmileysAndAContactPictureMatchesItsReferencePicture) {
  const Screen screen = GetParam();
  Install(std::string("init --screen ") + screen.size + " --dpi " + std::to_string(screen.dpi));
  // Still pictures only, and no animation: the picture must not depend on when it is taken.
  ASSERT_EQ(Tool(std::string("reg set ") + kSettings + " Animation dword 0").status, 0);
  const std::string picture = std::string(PELLIX_SKINS_DIR) + "/default/Smileys/cool.gif";
  ASSERT_EQ(Tool("contacts add --name 'Ada Quill' --phone '+49 171 234567' --picture '" + picture + "'").status, 0);
  ASSERT_EQ(Tool("store add --from +49171234567 --time 2026-12-05T20:30 "
                 "'Hi Ada :) see you at 8 :D call me on +4930123456 or see http://example.org'")
                .status,
            0);
  const fs::path shot = dir_.path() / "read-form.png";
  const ToolRun run = Script("open latest\nscreenshot '" + shot.string() + "'\n");
  ASSERT_EQ(run.status, 0) << run.out;

  const fs::path golden =
      fs::path(PELLIX_TEST_DATA_DIR) / "golden" / (std::string("read_form_") + screen.size + ".png");
  if (pellix::testing::WriteGoldenIfAsked(shot, golden)) GTEST_SKIP() << "wrote " << golden;
  pellix::testing::ExpectSamePicture(shot, golden, 0, std::string("pellix-read-form-") + screen.size + ".png");
}

INSTANTIATE_TEST_SUITE_P(QvgaAndVga, ReadFormGoldenTest,
                         ::testing::Values(Screen{"240x320", 96}, Screen{"480x640", 192}),
                         [](const ::testing::TestParamInfo<Screen>& info) { return std::string(info.param.size); });

}  // namespace
