// `pellix-device resources` on an image with the module installed, and on the linked copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "kernel/device_image.h"
#include "testing/temp_image.h"

namespace {

std::string RunTool(const std::string& command, int& status) {
  std::string output;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return output;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  status = pclose(pipe);
  return output;
}

TEST(ResourcesCommand, ListsTheInstalledModulesResources) {
  pellix::testing::TempDir dir;
  auto image = pellix::device::DeviceImage::Create(dir.path() / "image", {});
  ASSERT_TRUE(image.ok());
  auto windows = dir.path() / "image" / "fs" / "Windows";
  std::filesystem::create_directories(windows);
  std::filesystem::copy_file(PELLIX_MODULE_PATH, windows / "PellixRule.dll");

  const std::string tool = std::string(PELLIX_TOOL_PATH) + " --image " + (dir.path() / "image").string();
  for (const std::string& args : {std::string("resources"), std::string("resources --static")}) {
    int status = -1;
    std::string out = RunTool(tool + " " + args, status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("menu 116: \"Number\" { \"Send SMS\" 40014, \"Call\" 40012, "
                       "\"Save to contacts\" 40013 }\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("bitmap 121: 24 x 23, 8 bits per pixel\n"), std::string::npos) << out;
    EXPECT_NE(out.find("icon 114: 16 x 16, 32 bits per pixel\n"), std::string::npos) << out;
    EXPECT_NE(out.find("string 112: <html>"), std::string::npos) << out;
  }
  int status = -1;
  std::string out = RunTool(tool + " resources \\\\Windows\\\\absent.dll", status);
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("cannot load"), std::string::npos) << out;
}

}  // namespace
