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
#include "testing/golden_picture.h"
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
  if (pellix::testing::WriteGoldenIfAsked(shot, golden)) GTEST_SKIP() << "wrote " << golden;
  pellix::testing::ExpectSamePicture(shot, golden, 0, std::string("pellix-notify-") + screen.size + ".png");
}

INSTANTIATE_TEST_SUITE_P(QvgaAndVga, GoldenScreensTest,
                         ::testing::Values(Screen{"240x320", 96}, Screen{"480x640", 192}),
                         [](const ::testing::TestParamInfo<Screen>& info) { return std::string(info.param.size); });

}  // namespace
