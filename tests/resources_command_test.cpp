// `pellix-device resources` on an image with the module installed, and on the linked copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kernel/device_image.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

TEST(ResourcesCommand, ListsTheInstalledModulesResources) {
  pellix::testing::TempDir dir;
  auto image = pellix::device::DeviceImage::Create(dir.path() / "image", {});
  ASSERT_TRUE(image.ok());
  auto windows = dir.path() / "image" / "fs" / "Windows";
  std::filesystem::create_directories(windows);
  std::filesystem::copy_file(PELLIX_MODULE_PATH, windows / "PellixRule.dll");

  const auto image_dir = dir.path() / "image";
  for (const std::string& args : {std::string("resources"), std::string("resources --static")}) {
    auto [status, out, err] = pellix::testing::RunTool(image_dir, args);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("menu 116: \"Number\" { \"Send SMS\" 40014, \"Call\" 40012, "
                       "\"Save to contacts\" 40013 }\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("bitmap 121: 24 x 23, 8 bits per pixel\n"), std::string::npos) << out;
    EXPECT_NE(out.find("icon 114: 16 x 16, 32 bits per pixel\n"), std::string::npos) << out;
    EXPECT_NE(out.find("string 112: <html>"), std::string::npos) << out;
  }
  auto [status, out, err] = pellix::testing::RunTool(image_dir, "resources \\\\Windows\\\\absent.dll");
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("cannot load"), std::string::npos) << out;
}

}  // namespace
