// pellix-device preview as a skin author uses it: the default skin's bubble at 240 x 320 and
// at 480 x 640, with a smiley and the sender's contact picture, compared with reference
// pictures; the image itself keeps nothing of the preview.
//
// PELLIX_UPDATE_GOLDEN=1 writes the reference pictures instead of comparing (after a deliberate
// change of the bubble's look; look at them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/decoded_image.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using pellix::testing::RunTool;

std::vector<uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Screen {
  const char* name;
  const char* init;
  int title_bar;  // rows of the title bar, which lists the notification once its second is over
};

class PreviewToolTest : public ::testing::TestWithParam<Screen> {};

TEST_P(PreviewToolTest, TheDefaultSkinsBubbleMatchesItsReferencePicture) {
  const Screen& screen = GetParam();
  pellix::testing::TempDir dir;
  const fs::path image = dir.path() / "image";
  ASSERT_EQ(RunTool(image, screen.init).status, 0);
  ASSERT_EQ(RunTool(image, "picture samples '" + (dir.path() / "samples").string() + "'").status, 0);
  ASSERT_EQ(RunTool(image, "contacts add --name 'Ada Quill' --phone +49171234567 --picture '" +
                               (dir.path() / "samples" / "photo.jpg").string() + "'").status, 0);
  // Still smileys: the picture must not depend on how many animation steps fit in.
  ASSERT_EQ(RunTool(image, "reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' Animation dword 0").status, 0);
  const fs::path out = dir.path() / "bubble.png";
  const auto run = RunTool(image, "preview --from +49171234567 'Hi :) see you at 8' '" + out.string() + "'");
  ASSERT_EQ(run.status, 0) << run.out;

  const fs::path golden = fs::path(PELLIX_GOLDEN_DIR) / (std::string("bubble_") + screen.name + ".png");
  if (std::getenv("PELLIX_UPDATE_GOLDEN")) {
    fs::copy_file(out, golden, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << golden;
  }
  const auto expected = pellix::device::imaging::DecodePng(ReadFile(golden));
  ASSERT_TRUE(expected.ok()) << golden << ": " << expected.error().message;
  const auto actual = pellix::device::imaging::DecodePng(ReadFile(out));
  ASSERT_TRUE(actual.ok());
  ASSERT_EQ(actual->width, expected->width);
  ASSERT_EQ(actual->height, expected->height);
  const auto& a = actual->frames[0].pixels;
  const auto& e = expected->frames[0].pixels;
  int differing = 0, first = -1;
  for (size_t i = static_cast<size_t>(screen.title_bar) * actual->width; i < a.size(); ++i) {
    if (a[i] == e[i]) continue;
    if (first < 0) first = static_cast<int>(i);
    ++differing;
  }
  EXPECT_EQ(differing, 0) << "first at x " << first % static_cast<int>(actual->width) << ", y "
                          << first / static_cast<int>(actual->width) << "; the new picture is " << out;
  if (differing) fs::copy_file(out, fs::temp_directory_path() / ("bubble_" + std::string(screen.name) + ".actual.png"),
                               fs::copy_options::overwrite_existing);

  // The preview happened on a copy: the image holds no message.
  EXPECT_EQ(RunTool(image, "store list").out, "");
}

INSTANTIATE_TEST_SUITE_P(Screens, PreviewToolTest,
                         ::testing::Values(Screen{"240x320", "init", 26},
                                           Screen{"480x640", "init --screen 480x640 --dpi 192", 52}),
                         [](const auto& info) { return std::string(info.param.name[0] == '2' ? "QVGA" : "VGA"); });

TEST(PreviewToolMistakesTest, AreReportedWithoutTouchingTheImage) {
  pellix::testing::TempDir dir;
  const fs::path image = dir.path() / "image";
  ASSERT_EQ(RunTool(image, "init").status, 0);
  const std::string png = "'" + (dir.path() / "p.png").string() + "'";
  EXPECT_EQ(RunTool(image, "preview").status, 2);
  EXPECT_EQ(RunTool(image, "preview Hello").status, 2);
  EXPECT_EQ(RunTool(image, "preview --report 3 Hello " + png).status, 1);
  EXPECT_EQ(RunTool(image, "preview --at soon Hello " + png).status, 1);
  EXPECT_EQ(RunTool(image, "preview --skin ../x Hello " + png).status, 1);
  EXPECT_EQ(RunTool(image, "preview Hello '" + (image / "p.png").string() + "'").status, 1);
  EXPECT_FALSE(fs::exists(dir.path() / "p.png"));
}

}  // namespace
