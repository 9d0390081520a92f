// What a person sees at QVGA and VGA: the screen with a notification in the shell's bubble, as
// `notify --screenshot` saves it, compared pixel for pixel with the reference pictures in
// tests/data/golden/. After a deliberate change to the chrome, PELLIX_UPDATE_GOLDEN=1 writes
// the new pictures there instead; look at them before committing them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "imaging/decoded_image.h"
#include "kernel/host_file.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using pellix::testing::RunTool;

struct Screen {
  const char* size;
  int dpi;
};

void PrintTo(const Screen& s, std::ostream* out) { *out << s.size << "@" << s.dpi; }

class GoldenScreensTest : public ::testing::TestWithParam<Screen> {};

TEST_P(GoldenScreensTest, NotificationBubbleMatchesItsReferencePicture) {
  const Screen screen = GetParam();
  pellix::testing::TempDir dir;
  const fs::path image = dir.path() / "image", shot = dir.path() / "screen.png";
  ASSERT_EQ(RunTool(image, std::string("init --screen ") + screen.size + " --dpi " + std::to_string(screen.dpi)).status, 0);
  const auto run = RunTool(image, "notify --title 'A title much too long for the caption of the bubble' --screenshot '" +
                                      shot.string() + "' 'Hello <b>there</b> :-) a message long enough to wrap onto a second line'");
  ASSERT_EQ(run.status, 0) << run.out;

  const fs::path golden = fs::path(PELLIX_TEST_DATA_DIR) / "golden" / (std::string("notify-") + screen.size + ".png");
  if (std::getenv("PELLIX_UPDATE_GOLDEN")) {
    fs::create_directories(golden.parent_path());
    fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
    GTEST_SKIP() << "wrote " << golden;
  }
  auto expected_file = pellix::device::ReadHostFile(golden, 16u << 20);
  ASSERT_TRUE(expected_file.ok()) << golden;
  auto actual_file = pellix::device::ReadHostFile(shot, 16u << 20);
  ASSERT_TRUE(actual_file.ok());
  auto expected = pellix::device::imaging::DecodePng(*expected_file);
  auto actual = pellix::device::imaging::DecodePng(*actual_file);
  ASSERT_TRUE(expected.ok() && actual.ok());
  ASSERT_EQ(actual->width, expected->width);
  ASSERT_EQ(actual->height, expected->height);
  size_t differing = 0;
  const auto& a = actual->frames[0].pixels;
  const auto& e = expected->frames[0].pixels;
  for (size_t i = 0; i < a.size(); ++i) differing += a[i] != e[i];
  if (differing) {
    const fs::path kept = fs::temp_directory_path() / (std::string("pellix-notify-") + screen.size + ".png");
    fs::copy_file(shot, kept, fs::copy_options::overwrite_existing);
    ADD_FAILURE() << differing << " pixels differ from " << golden << "; the screen is kept as " << kept;
  }
}

INSTANTIATE_TEST_SUITE_P(QvgaAndVga, GoldenScreensTest,
                         ::testing::Values(Screen{"240x320", 96}, Screen{"480x640", 192}),
                         [](const ::testing::TestParamInfo<Screen>& info) { return std::string(info.param.size); });

}  // namespace
