// pellix-device render on a fresh image: the default skin's smiley list, the built-in templates
// and the settings of the image's registry.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using ToolOutput = pellix::testing::ToolRun;

// Standard output only: the page must be all that is printed.
ToolOutput Render(const std::filesystem::path& image, const std::string& args) {
  return pellix::testing::RunTool(image, args, /*merge_stderr=*/false);
}

const std::string kHead =
    "<html><body><table  border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%\"><tr><td "
    "width=\"100%\" align=\"left\" style=\"height: 29px; font-size: 8pt; font-family: default; "
    "text-align: left;\"><p>";
const std::string kTail = "</p></td></tr></table></body></html>";

class RenderCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Render(image, "init").status, 0);
    // These cases pin the built-in pages, so the skin's own templates step aside.
    auto skin = image / "fs" / "Program Files" / "Halvane Quorrin" / "Pellix" / "Skins" / "default";
    for (const char* name : {"bubble.html", "bubblepic.html", "form.html"}) std::filesystem::remove(skin / name);
  }
  pellix::testing::TempDir dir;
  std::filesystem::path image = dir.path() / "image";
};

TEST_F(RenderCommandTest, PrintsThePageAndNothingElse) {
  // ":)" is entry 8 and "<3" entry 6 of the default list; the full stop stays outside the link.
  ToolOutput run = Render(image, "render 'Hi :) call 0123456789. <3'");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHead +
                         "Hi <img src=\"8\"> call <a href=\"0123456789\">0123456789</a>. <img "
                         "src=\"6\">" +
                         kTail);
}

TEST_F(RenderCommandTest, ReportsAndStandardInput) {
  std::filesystem::path text = dir.path() / "text";
  std::ofstream(text, std::ios::binary) << "caf\xC3\xA9\r\nok";  // UTF-8 e acute
  ToolOutput run = Render(image, "render --report 1 - < '" + text.string() + "'");
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kHead + "<img style=\"float: left\" src=\"delivered.gif\">caf\xC3\xA9<br>ok" +
                         kTail);
}

TEST_F(RenderCommandTest, PicturesOffLeavesCodesAndIconsOut) {
  ASSERT_EQ(Render(image, "reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' "
                          "NewNotifyPicSmiley dword 0").status,
            0);
  ToolOutput run = Render(image, "render --report 2 ':)'");
  EXPECT_EQ(run.out, kHead + ":)" + kTail);
}

TEST_F(RenderCommandTest, BadArguments) {
  EXPECT_EQ(Render(image, "render").status, 2);
  EXPECT_EQ(Render(image, "render --slot 3 x").status, 2);
  EXPECT_EQ(Render(image, "render --report").status, 2);
  EXPECT_EQ(Render(image, "render a b").status, 2);
}

}  // namespace
