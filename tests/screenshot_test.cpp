// pellix-device screenshot as a maintainer uses it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using ToolResult = pellix::testing::ToolRun;

ToolResult Tool(const std::filesystem::path& image, const std::string& args) {
  return pellix::testing::RunTool(image, args);
}

// Width and height from a PNG file's header; {0, 0} when it is not a PNG.
std::pair<int, int> PngSize(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<unsigned char> b((std::istreambuf_iterator<char>(file)), {});
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (b.size() < 24 || !std::equal(signature, signature + 8, b.begin())) return {0, 0};
  auto be32 = [&](size_t at) { return (b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]; };
  return {be32(16), be32(20)};
}

TEST(ScreenshotToolTest, FreshImagesShowTheirDesktopAtTheProfilesSize) {
  struct Case {
    const char* init;
    int width, height;
  };
  const Case cases[] = {{"init", 240, 320}, {"init --screen 640x480 --dpi 192", 640, 480}};
  for (const Case& c : cases) {
    pellix::testing::TempDir dir;
    const auto image = dir.path() / "image";
    ASSERT_EQ(Tool(image, c.init).status, 0);
    const auto out = dir.path() / "screen.png";
    const ToolResult shot = Tool(image, "screenshot '" + out.string() + "'");
    ASSERT_EQ(shot.status, 0) << shot.out;
    EXPECT_EQ(PngSize(out), std::make_pair(c.width, c.height)) << c.init;
  }
}

TEST(ScreenshotToolTest, MistakesAreReportedOnOneLine) {
  pellix::testing::TempDir dir;
  const auto image = dir.path() / "image";
  ASSERT_EQ(Tool(image, "init").status, 0);
  EXPECT_EQ(Tool(image, "screenshot").status, 2);  // no file named
  const ToolResult window = Tool(image, "screenshot '" + (dir.path() / "w.png").string() + "' --window 0x1234");
  EXPECT_EQ(window.status, 1);
  EXPECT_NE(window.out.find("no such window"), std::string::npos) << window.out;
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "w.png"));
  const ToolResult bad = Tool(image, "screenshot '" + (dir.path() / "b.png").string() + "' --window x");
  EXPECT_EQ(bad.status, 2);
}

}  // namespace
