// The file side of the templates, the style sheet and the smiley list: which file of which skin
// is read, the built-in texts that stand in, and the ANSI conversion.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/debug_log.h"
#include "core/settings.h"
#include "forms/picture.h"
#include "imaging/sample_pictures.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;

class SkinFilesTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_Settings.InstallDir.Set(u"\\Program Files\\Pellix");  // no trailing "\"
    g_Settings.SkinName.Set(u"Blue");
  }
  void TearDown() override {
    FreeTemplates();
    FreeSmileyTable();
    DeviceTest::TearDown();
  }
  // Writes `bytes` to the skin file `name` (a path below the install folder's "Skins\").
  void Write(const std::string& relative, const std::string& bytes) {
    fs::path path = HostPath(u"\\Program Files\\Pellix\\Skins") / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
};

// The module's string resource of `id`, as the platform hands it out.
std::u16string ResourceString(UINT id) {
  LPCWSTR text = nullptr;
  int length = LoadStringW(GetModuleHandleW(u"PellixRule.dll"), id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 ? std::u16string(text, size_t(length)) : u"(missing)";
}

TEST_F(SkinFilesTest, OnlyTheFilesThatExistReplaceTheBuiltInTemplates) {
  HINSTANCE module = pellix::AttachStaticPellixRule();
  ASSERT_NE(module, nullptr);
  Write("Blue/bubble.html", "<p>%SMSBody%</p>");
  Write("default/bubblepic.html", "not used: templates never fall back to the default skin");
  LoadTemplates();
  EXPECT_EQ(std::u16string(g_Templates[0]), u"<p>%SMSBody%</p>");
  EXPECT_FALSE(g_TemplateBuiltIn[0]);
  // The built-in texts come from the module's string table, the one copy of them.
  EXPECT_EQ(std::u16string(g_Templates[1]), ResourceString(112));
  EXPECT_TRUE(g_TemplateBuiltIn[1]);
  EXPECT_EQ(std::u16string(g_Templates[2]), ResourceString(110));
  EXPECT_TRUE(g_TemplateBuiltIn[2]);
  FreeLibrary(module);
}

TEST_F(SkinFilesTest, TemplatesAreReadInTheAnsiCodePage) {
  // 0x80 is the euro sign in code page 1252; 0xE9 (e acute) comes out decomposed.
  Write("Blue/form.html", "\x80 caf\xE9");
  LoadTemplates();
  EXPECT_EQ(std::u16string(g_Templates[2]), u"\u20AC cafe\u0301");
}

TEST_F(SkinFilesTest, StyleSheet) {
  LoadStyleSheet();
  EXPECT_EQ(std::u16string(g_StyleSheet), u"BODY { font-size: 8pt; }");
  Write("Blue/bubble.css", "");
  LoadStyleSheet();
  EXPECT_EQ(std::u16string(g_StyleSheet), u"") << "an empty file is an empty style";
  Write("Blue/bubble.css", "P { color: red; }");
  LoadStyleSheet();
  EXPECT_EQ(std::u16string(g_StyleSheet), u"P { color: red; }");
}

TEST_F(SkinFilesTest, SmileyListFallsBackToTheDefaultSkin) {
  Write("default/Smileydata.txt", ":) smile\r\n");
  LoadSmileyTable();
  ASSERT_TRUE(g_SmileyTableLoaded);
  ASSERT_EQ(g_SmileyCount, 1);
  EXPECT_EQ(std::u16string(g_SmileyTable[0].file), u"smile.gif");

  Write("Blue/Smileydata.txt", ";) wink\r\n:( sad\r\n");
  LoadSmileyTable();
  ASSERT_EQ(g_SmileyCount, 2);
  EXPECT_EQ(std::u16string(g_SmileyTable[1].code), u":(");
}

TEST_F(SkinFilesTest, NoSmileyListKeepsWhatTheTableHeld) {
  LoadSmileyTable();
  EXPECT_FALSE(g_SmileyTableLoaded);
  EXPECT_EQ(g_SmileyTable, nullptr);
  ParseSmileyTable(u"x y\n");
  LoadSmileyTable();
  EXPECT_EQ(g_SmileyCount, 1);
}

// Writes a `size` by `size` PNG to the skin file `relative`.
void WritePicture(const fs::path& path, int size) {
  fs::create_directories(path.parent_path());
  std::vector<uint32_t> blue(size_t(size) * size, 0xFF0000FFu);
  auto png = pellix::device::imaging::samples::WritePng(size, size, blue, false);
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                              static_cast<std::streamsize>(png.size()));
}

// The active skin's own "Smileys" folder wins over the default skin's; without it, pictures come
// from the default skin. The folder is chosen again at each load.
TEST_F(SkinFilesTest, SmileyPicturesComeFromTheActiveSkinFirst) {
  const fs::path skins = HostPath(u"\\Program Files\\Pellix\\Skins");
  WritePicture(skins / "default" / "Smileys" / "smile.png", 3);
  ParseSmileyTable(u":) smile.png\n");
  PICTURE* picture = GetSmileyImage(u"0");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 3) << "no Blue\\Smileys folder yet: the default skin's picture";
  FreeSmileyImages();
  WritePicture(skins / "Blue" / "Smileys" / "smile.png", 2);
  picture = GetSmileyImage(u"0");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width, 2) << "the active skin's own picture";
}

// A "%" in the install folder is part of the path, not a conversion for the log's formatting:
// the picture's path reaches the log as written. Dropping the pictures is logged; freeing the
// whole table at the end is not.
TEST_F(SkinFilesTest, PicturePathsAreLoggedAsWrittenAndTheTableGoesQuietly) {
  g_Settings.InstallDir.Set(u"\\Program Files\\P%s%d%n");
  g_Settings.DebugLogging = 1;
  fs::path smileys = HostPath(u"\\Program Files\\P%s%d%n\\Skins\\Blue\\Smileys");
  fs::create_directories(smileys);
  auto png = pellix::device::imaging::samples::WritePng(2, 2, std::vector<uint32_t>(4, 0xFF00FF00u), false);
  std::ofstream(smileys / "smile.png", std::ios::binary).write(reinterpret_cast<const char*>(png.data()),
                                                              static_cast<std::streamsize>(png.size()));
  auto log = [this] {
    std::ifstream in(HostPath(u"\\PellixInbox.log"), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };

  ParseSmileyTable(u":) smile.png\n");
  ASSERT_NE(GetSmileyImage(u"0"), nullptr);
  EXPECT_EQ(log(), "Smiley:file is \\Program Files\\P%s%d%n\\Skins\\Blue\\Smileys\\smile.png\r\n");
  FreeSmileyImages();
  EXPECT_EQ(g_SmileyTable[0].picture, nullptr);
  ASSERT_NE(GetSmileyImage(u"0"), nullptr) << "loaded again after being dropped";
  std::string before = log();
  EXPECT_NE(before.find("Freeing smiley images\r\n"), std::string::npos);
  FreeSmileyTable();
  EXPECT_EQ(log(), before);
  EXPECT_EQ(g_SmileyTable, nullptr);
}

}  // namespace
