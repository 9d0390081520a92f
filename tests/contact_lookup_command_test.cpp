// pellix-device contacts lookup: the module's contact lookup on an image's contact store, run as
// a maintainer would run it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "imaging/sample_pictures.h"
#include "kernel/device_image.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;

class ContactLookupCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto image = pellix::device::DeviceImage::Create(dir_.path() / "image", pellix::device::Profile{});
    ASSERT_TRUE(image.ok());
  }

  ToolRun Tool(const std::string& args) { return pellix::testing::RunTool(dir_.path() / "image", args, false); }

  std::string Picture(int width, int height) {
    const std::vector<uint32_t> pixels(size_t(width) * height, 0xFF336699u);
    const std::vector<uint8_t> png = pellix::device::imaging::samples::WritePng(width, height, pixels, false);
    const auto path = dir_.path() / ("face" + std::to_string(width) + ".png");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    return path.string();
  }

  pellix::testing::TempDir dir_;
};

TEST_F(ContactLookupCommandTest, NamePictureAndResult) {
  ASSERT_EQ(Tool("contacts add --name 'Anna Berg' --phone '0171 234567' --picture '" + Picture(100, 50) + "'").status, 0);
  ASSERT_EQ(Tool("contacts add --name 'Bert' --phone '030 1234'").status, 0);

  struct Case {
    std::string args;
    std::string out;
    int status;
  };
  const Case cases[] = {
      // Found through the national form of the international number, picture fitted to 50x50.
      {"contacts lookup +49171234567", "name = Anna Berg\npicture = 50x25\nresult = 0x00000000\n", 0},
      {"contacts lookup +49171234567 --box 20x40", "name = Anna Berg\npicture = 20x10\nresult = 0x00000000\n", 0},
      // A contact without a picture: the name, and the failure of the picture step.
      {"contacts lookup 0301234", "name = Bert\npicture = none\nresult = 0x80070002\n", 1},
      // Nobody: the number itself.
      {"contacts lookup 555", "name = 555\npicture = none\nresult = 0x80004005\n", 1},
  };
  for (const Case& c : cases) {
    ToolRun run = Tool(c.args);
    EXPECT_EQ(run.out, c.out) << c.args << "\n" << run.err;
    EXPECT_EQ(run.status, c.status) << c.args;
  }
  EXPECT_EQ(Tool("contacts lookup").status, 2);
  EXPECT_EQ(Tool("contacts lookup 555 --box 0x5").status, 2);
}

}  // namespace
