#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/settings.h"
#include "skin/ini_reader.h"
#include "skin/skin.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;

class SkinTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_Skin = g_BuiltInSkin;
    UseSkin(u"\\Program Files\\Pellix", u"test");
  }

  void UseSkin(const char16_t* installDir, const char16_t* name) {
    g_Settings.InstallDir.Set(installDir);
    g_Settings.SkinName.Set(name);
  }

  // Writes skin.ini of the skin `name` below \Program Files\Pellix\Skins\.
  void WriteSkin(const std::u16string& name, const std::string& ini) {
    fs::path folder = HostPath(u"\\Program Files\\Pellix\\Skins\\" + name);
    fs::create_directories(folder);
    std::ofstream(folder / "skin.ini", std::ios::binary) << ini;
  }
};

TEST_F(SkinTest, WithoutSkinIniTheBuiltInValuesStand) {
  LoadSkin();
  EXPECT_EQ(g_Skin.NotifyWndHeight, 80);
  EXPECT_EQ(g_Skin.NotifyWndStartX, 15);
  EXPECT_EQ(g_Skin.NotifyWndStartY, 110);
  EXPECT_EQ(g_Skin.NotifyWndWidth, -30);
  EXPECT_EQ(g_Skin.CaptionHeight, 0);
  EXPECT_EQ(g_Skin.SkinBMP[0], 0);
  EXPECT_EQ(g_Skin.AlphaBlendBackground, 250);
  EXPECT_EQ(g_Skin.DynamicHeight, 0);
  EXPECT_EQ(g_Skin.GifFrameDelay, 250);
  EXPECT_EQ(g_Skin.Left + g_Skin.Top + g_Skin.Right + g_Skin.Bottom, 0);
  EXPECT_EQ(g_Skin.HTMLLeft + g_Skin.HTMLTop + g_Skin.HTMLRight + g_Skin.HTMLBottom, 0);
  EXPECT_FALSE(g_Skin.BottomAnchor);
}

// The platform opens no folder as a file: a folder named "skin.ini" is no skin file, so the record
// keeps what it held instead of taking an empty skin's values.
TEST_F(SkinTest, AFolderNamedSkinIniIsNoSkin) {
  fs::create_directories(HostPath(u"\\Program Files\\Pellix\\Skins\\test\\skin.ini"));
  g_Skin.BottomAnchor = TRUE;  // an empty skin, like any skin read, would clear it
  g_Skin.NotifyWndHeight = 123;
  LoadSkin();
  EXPECT_TRUE(g_Skin.BottomAnchor);
  EXPECT_EQ(g_Skin.NotifyWndHeight, 123);
  EXPECT_EQ(IniOpen("\\Program Files\\Pellix\\Skins\\test\\skin.ini"), INI_NO_DOCUMENT);
}

TEST_F(SkinTest, ReadsEveryFieldFromItsKey) {
  WriteSkin(u"test",
            "[Skin]\n"
            "NotifyWndHeight = \"_CYSCREEN / 4\"\n"
            "NotifyWndStartX = \"3\"\n"
            "NotifyWndStartY = \"0 - _NotifyHeight\"\n"
            "NotifyWndWidth = \"_CXSCREEN - 20\"\n"
            "CaptionHeight = \"2 * 7\"\n"
            "SkinBMP = \"shape.bmp\"\n"
            "AlphaBlendBackground = 200\n"
            "DynamicHeight = 1\n"
            "[Borders]\n"
            "Left = \"1\"\nTop = \"2\"\nRight = \"3\"\nBottom = \"4\"\n"
            "HTMLLeft = \"5\"\nHTMLTop = \"6\"\nHTMLRight = \"7\"\nHTMLBottom = \"8\"\n"
            "[Animation]\n"
            "GifFrameDelay = 150\n");
  LoadSkin();
  EXPECT_EQ(g_Skin.NotifyWndHeight, 80);  // 320 / 4
  EXPECT_EQ(g_Skin.NotifyWndStartX, 3);
  EXPECT_EQ(g_Skin.NotifyWndStartY, 0);
  EXPECT_TRUE(g_Skin.BottomAnchor);
  EXPECT_EQ(g_Skin.NotifyWndWidth, 220);
  EXPECT_EQ(g_Skin.CaptionHeight, 14);
  EXPECT_EQ(std::u16string(g_Skin.SkinBMP), u"\\Program Files\\Pellix\\Skins\\test\\shape.bmp");
  EXPECT_EQ(g_Skin.AlphaBlendBackground, 200);
  EXPECT_EQ(g_Skin.DynamicHeight, 1);
  const int insets[] = {g_Skin.Left, g_Skin.Top, g_Skin.Right, g_Skin.Bottom,
                        g_Skin.HTMLLeft, g_Skin.HTMLTop, g_Skin.HTMLRight, g_Skin.HTMLBottom};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(insets[i], i + 1);
  EXPECT_EQ(g_Skin.GifFrameDelay, 150);
}

TEST_F(SkinTest, ExpressionKeysMustBeQuotedAndIntegerKeysMustNot) {
  WriteSkin(u"test",
            "[Skin]\n"
            "NotifyWndWidth = 200\n"                // not a string: reads "0"
            "NotifyWndHeight = \"90\"\n"
            "AlphaBlendBackground = \"100\"\n"      // a string: not read
            "DynamicHeight = 0x1\n"                 // hexadecimal: not read
            "[Animation]\n"
            "GifFrameDelay = 1.5f\n");              // digit first: the integer 1
  g_Skin.AlphaBlendBackground = 123;
  g_Skin.DynamicHeight = 1;
  LoadSkin();
  EXPECT_EQ(g_Skin.NotifyWndWidth, 0);
  EXPECT_EQ(g_Skin.NotifyWndHeight, 90);
  EXPECT_EQ(g_Skin.AlphaBlendBackground, 123);
  EXPECT_EQ(g_Skin.DynamicHeight, 1);
  EXPECT_EQ(g_Skin.GifFrameDelay, 1);
}

TEST_F(SkinTest, ALoadedSkinResetsExpressionsButKeepsUnsetIntegers) {
  WriteSkin(u"first",
            "[Skin]\nNotifyWndHeight = \"50\"\nCaptionHeight = \"9\"\nSkinBMP = \"a.bmp\"\n"
            "AlphaBlendBackground = 7\nDynamicHeight = 1\nNotifyWndStartY = \"_NotifyHeight\"\n"
            "[Borders]\nHTMLTop = \"12\"\n[Animation]\nGifFrameDelay = 99\n");
  WriteSkin(u"second", "[Skin]\nNotifyWndWidth = \"100\"\n");
  UseSkin(u"\\Program Files\\Pellix\\", u"first");  // a trailing "\" is not doubled
  LoadSkin();
  ASSERT_EQ(g_Skin.NotifyWndHeight, 50);
  ASSERT_TRUE(g_Skin.BottomAnchor);
  UseSkin(u"\\Program Files\\Pellix", u"second");
  LoadSkin();
  EXPECT_EQ(g_Skin.NotifyWndHeight, 0);  // missing expression keys become 0
  EXPECT_EQ(g_Skin.NotifyWndStartY, 0);
  EXPECT_EQ(g_Skin.CaptionHeight, 0);
  EXPECT_EQ(g_Skin.HTMLTop, 0);
  EXPECT_EQ(g_Skin.NotifyWndWidth, 100);
  EXPECT_FALSE(g_Skin.BottomAnchor);     // cleared for every skin that is read
  EXPECT_EQ(std::u16string(g_Skin.SkinBMP), u"\\Program Files\\Pellix\\Skins\\second\\0");
  EXPECT_EQ(g_Skin.AlphaBlendBackground, 7);  // integers the file does not set are kept
  EXPECT_EQ(g_Skin.DynamicHeight, 1);
  EXPECT_EQ(g_Skin.GifFrameDelay, 99);

  // A skin without skin.ini leaves everything, the flag included, as it was.
  WriteSkin(u"first",
            "[Skin]\nNotifyWndStartY = \"_NotifyHeight - 4\"\n");
  UseSkin(u"\\Program Files\\Pellix", u"first");
  LoadSkin();
  ASSERT_TRUE(g_Skin.BottomAnchor);
  UseSkin(u"\\Program Files\\Pellix", u"nothing");
  LoadSkin();
  EXPECT_TRUE(g_Skin.BottomAnchor);
  EXPECT_EQ(g_Skin.NotifyWndStartY, -4);
}

TEST_F(SkinTest, SkinFolderPath) {
  struct Case {
    const char16_t* install;
    const char16_t* name;
    const char16_t* folder;
  };
  const Case cases[] = {
      {u"\\Program Files\\Pellix", u"default", u"\\Program Files\\Pellix\\Skins\\default\\"},
      {u"\\Program Files\\Pellix\\", u"Blue", u"\\Program Files\\Pellix\\Skins\\Blue\\"},
      {u"", u"x", u"\\Skins\\x\\"},
  };
  for (const Case& c : cases) {
    UseSkin(c.install, c.name);
    WCHAR folder[600];
    GetSkinFolderPath(folder, 600);
    EXPECT_EQ(std::u16string(folder), c.folder);
  }
  WCHAR small[8];
  UseSkin(u"\\Program Files", u"default");
  GetSkinFolderPath(small, 8);
  EXPECT_EQ(std::u16string(small).size(), 7u);  // cut, never overrun
}

// The shipped default skin on two screens; the expected values are worked out by hand from
// skins/default/skin.ini and the metrics the device reports.
class DefaultSkinTest : public SkinTest {
 protected:
  void InstallDefault() {
    fs::path source = fs::path(PELLIX_SKINS_DIR) / "default";
    fs::path target = HostPath(u"\\Program Files\\Pellix\\Skins\\default");
    fs::create_directories(target);
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    UseSkin(u"\\Program Files\\Pellix", u"default");
  }
};

// Where the popup puts the default skin's bubble (x, y, width, height) and its message area, on
// this device's screen: the placement rules, not the skin's own arithmetic.
struct Placement {
  int x, y, w, h, htmlW, htmlH;
};
Placement PlaceDefaultSkin() {
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  Placement p{};
  p.h = g_Skin.NotifyWndHeight;
  p.x = g_Skin.NotifyWndStartX <= 0 ? g_Skin.NotifyWndStartX + sw : g_Skin.NotifyWndStartX;
  p.y = g_Skin.NotifyWndStartY <= 0 ? g_Skin.NotifyWndStartY + sh : g_Skin.NotifyWndStartY;
  if (g_Skin.BottomAnchor) p.y -= p.h;
  p.w = g_Skin.NotifyWndWidth <= 0 ? g_Skin.NotifyWndWidth + sw : g_Skin.NotifyWndWidth;
  p.htmlW = p.w - g_Skin.Left - g_Skin.Right - g_Skin.HTMLLeft - g_Skin.HTMLRight;
  p.htmlH = p.h - g_Skin.Top - g_Skin.Bottom - g_Skin.HTMLTop - g_Skin.HTMLBottom;
  return p;
}

// The shipped skin sits on the screen above the menu bar, its caption above the message, with
// room for the message, and reads its picture from its own folder.
void ExpectDefaultSkinFits() {
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  Placement p = PlaceDefaultSkin();
  EXPECT_GE(p.x, 0);
  EXPECT_LE(p.x + p.w, sw);
  EXPECT_GE(p.y, 0);
  EXPECT_LE(p.y + p.h, sh - GetSystemMetrics(SM_CYMENU));
  EXPECT_GT(p.htmlW, 0);
  EXPECT_GT(p.htmlH, 0);
  EXPECT_GE(g_Skin.HTMLTop, g_Skin.CaptionHeight);
  EXPECT_EQ(std::u16string(g_Skin.SkinBMP), u"\\Program Files\\Pellix\\Skins\\default\\skin.bmp");
}

TEST_F(DefaultSkinTest, FitsAQuarterVgaScreen) {
  InstallDefault();
  LoadSkin();
  ExpectDefaultSkinFits();
}

class VgaDefaultSkinTest : public DefaultSkinTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.screen_width = 480;
    p.screen_height = 640;
    p.dpi = 192;
    return p;
  }
};

TEST_F(VgaDefaultSkinTest, FitsAVgaScreenAtTwiceTheSize) {
  InstallDefault();
  LoadSkin();
  ExpectDefaultSkinFits();
  // The same skin on the quarter-VGA screen gives half of every size.
  Placement vga = PlaceDefaultSkin();
  EXPECT_EQ(vga.w, 2 * 210);
  EXPECT_EQ(vga.h, 2 * 80);
  EXPECT_EQ(vga.x, 2 * 15);
}

}  // namespace
