// The pellix-device tool as a maintainer uses it: images, the registry, settings and the log.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;

ToolRun Tool(const std::filesystem::path& image, const std::string& args) {
  return pellix::testing::RunTool(image, args);
}

class ToolTest : public ::testing::Test {
 protected:
  pellix::testing::TempDir dir;
  std::filesystem::path image = dir.path() / "image";
};

TEST_F(ToolTest, InitInstallsTheModuleAndSkinsAndRefusesToOverwrite) {
  ToolRun init = Tool(image, "init --screen 480x640 --dpi 192");
  ASSERT_EQ(init.status, 0) << init.out;
  EXPECT_TRUE(std::filesystem::exists(image / "fs" / "Windows" / "PellixRule.dll"));
  EXPECT_TRUE(std::filesystem::is_directory(image / "fs" / "Program Files" / "Halvane Quorrin" / "Pellix" /
                                            "Skins" / "default"));
  // Every file the README names is there from the start.
  for (const char* name : {"profile", "registry.db", "store.db", "contacts.db", "journal.log"})
    EXPECT_TRUE(std::filesystem::is_regular_file(image / name)) << name;
  ToolRun again = Tool(image, "init");
  EXPECT_NE(again.status, 0);
  EXPECT_NE(again.out.find("already exists"), std::string::npos);
  EXPECT_EQ(Tool(image, "init --force").status, 0);
}

TEST_F(ToolTest, InitTakesTheLocaleAndTheTimeZone) {
  ToolRun init = Tool(image, "init --locale de-de --time-zone Europe/Berlin");
  ASSERT_EQ(init.status, 0) << init.out;
  std::ifstream in(image / "profile");
  std::string profile((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(profile.find("locale = de-DE\n"), std::string::npos) << profile;
  EXPECT_NE(profile.find("time_zone = Europe/Berlin\n"), std::string::npos) << profile;
  EXPECT_NE(profile.find("time_zone_rule = CET-1CEST,M3.5.0,M10.5.0/3\n"), std::string::npos) << profile;

  ToolRun bad_locale = Tool(image, "init --force --locale xx-XX");
  EXPECT_NE(bad_locale.status, 0);
  EXPECT_NE(bad_locale.out.find("en-US"), std::string::npos) << bad_locale.out;  // names the choices
  EXPECT_NE(Tool(image, "init --force --time-zone Mars/Olympus").status, 0);
  EXPECT_EQ(Tool(image, "init --force --time-zone '<+0530>-5:30'").status, 0);
}

TEST_F(ToolTest, SettingsReflectRegistryChanges) {
  ASSERT_EQ(Tool(image, "init").status, 0);
  ToolRun settings = Tool(image, "settings");
  ASSERT_EQ(settings.status, 0);
  EXPECT_NE(settings.out.find("InstallDir = \\Program Files\\Halvane Quorrin\\Pellix\\\n"), std::string::npos);
  EXPECT_NE(settings.out.find("ZoomLevel = 2\n"), std::string::npos);

  const std::string key = "'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix'";
  ASSERT_EQ(Tool(image, "reg set " + key + " SoundLoop dword 0xFFFFFFFD").status, 0);
  ASSERT_EQ(Tool(image, "reg set " + key + " SkinName sz night").status, 0);
  settings = Tool(image, "settings");
  EXPECT_NE(settings.out.find("SoundLoop = 1\n"), std::string::npos);  // -3 is clamped
  EXPECT_NE(settings.out.find("SkinName = night\n"), std::string::npos);
  // Settings lines come in the record's order.
  EXPECT_LT(settings.out.find("Enabled ="), settings.out.find("DeliveryFix ="));
  EXPECT_LT(settings.out.find("ZoomLevel ="), settings.out.find("SoundFile ="));

  ToolRun get = Tool(image, "reg get " + key + " SkinName");
  EXPECT_EQ(get.out, "sz:night\n");
  ToolRun exported = Tool(image, "reg export HKCU");
  EXPECT_NE(exported.out.find("\"SoundLoop\"=dword:fffffffd"), std::string::npos);
  ASSERT_EQ(Tool(image, "reg delete " + key + " SkinName").status, 0);
  EXPECT_NE(Tool(image, "reg get " + key + " SkinName").status, 0);
}

TEST_F(ToolTest, ErrorsAreOneLineAndChangeNothing) {
  ToolRun missing = Tool(image, "settings");
  EXPECT_NE(missing.status, 0);
  EXPECT_NE(missing.out.find("no device image"), std::string::npos);
  ASSERT_EQ(Tool(image, "init").status, 0);
  std::string before = Tool(image, "reg export").out;
  struct {
    const char* args;
    const char* says;
  } bad[] = {
      {"reg set 'HKXX\\A' N dword 1", "unknown registry root"},
      {"reg set 'HKCU\\A' N qword 1", "expected dword, sz or binary"},
      {"reg set 'HKCU\\A' N dword twelve", "dword takes"},
      {"reg set 'HKCU\\A' N binary 0g", "binary takes"},
      {"reg get 'HKCU\\Nothing'", "no such key"},
      {"frobnicate", "unknown command"},
  };
  for (auto& b : bad) {
    ToolRun r = Tool(image, b.args);
    EXPECT_NE(r.status, 0) << b.args;
    EXPECT_NE(r.out.find(b.says), std::string::npos) << b.args << ": " << r.out;
  }
  EXPECT_EQ(Tool(image, "reg export").out, before);
}

TEST_F(ToolTest, LogPrintsTheModulesDebugLog) {
  ASSERT_EQ(Tool(image, "init").status, 0);
  EXPECT_NE(Tool(image, "log").status, 0);
  std::FILE* f = std::fopen((image / "fs" / "PellixInbox.log").c_str(), "wb");
  std::fputs("caf\xe9\r\n", f);
  std::fclose(f);
  ToolRun log = Tool(image, "log");
  EXPECT_EQ(log.status, 0);
  EXPECT_EQ(log.out, "caf\xc3\xa9\r\n");
}

}  // namespace
