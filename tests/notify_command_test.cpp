// pellix-device notify as a maintainer uses it: a notification shown in the shell's bubble,
// saved as a picture and dismissed with a soft key.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::RunTool;

TEST(NotifyToolTest, ShowsSavesAndDismissesWithEitherSoftKey) {
  pellix::testing::TempDir dir;
  const auto image = dir.path() / "image";
  ASSERT_EQ(RunTool(image, "init").status, 0);
  for (const char* key : {"left", "right"}) {
    const auto picture = dir.path() / (std::string(key) + ".png");
    const auto run = RunTool(image, "notify --title 'New message' --screenshot '" + picture.string() +
                                        "' --press " + key + " '<b>Anna</b>: see you at 8<br>bye'");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, "add 1 \"New message\"\nshow 1 \"New message\"\nlisted 1 \"New message\"\n") << key;
    std::error_code ec;
    EXPECT_GT(std::filesystem::file_size(picture, ec), 1000u) << key;
  }
}

TEST(NotifyToolTest, RefusesBadArguments) {
  pellix::testing::TempDir dir;
  const auto image = dir.path() / "image";
  ASSERT_EQ(RunTool(image, "init").status, 0);
  const char* bad[] = {"notify", "notify '<b>x</b>' --press middle", "notify x --seconds 0",
                       "notify x --seconds ten", "notify x y"};
  for (const char* args : bad) EXPECT_NE(RunTool(image, args).status, 0) << args;
}

}  // namespace
