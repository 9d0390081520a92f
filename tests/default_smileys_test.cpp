// The default skin's smiley list and pictures as the module loads them on a device: every entry
// decodes through the imaging library, animations advance and wrap, report icons load by file
// name, and the pictures come from the default skin when the active skin has none.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "core/settings.h"
#include "forms/picture.h"
#include "render/smiley_table.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;

class DefaultSmileysTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    fs::path skins = HostPath(u"\\Program Files\\Pellix\\Skins");
    fs::create_directories(skins / "Plain");
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
    g_Settings.InstallDir.Set(u"\\Program Files\\Pellix\\");
    g_Settings.SkinName.Set(u"Plain");  // no list and no pictures of its own
    LoadSmileyTable();
  }
  void TearDown() override {
    FreeSmileyTable();
    DeviceTest::TearDown();
  }
  static std::u16string Name(LONG i) {
    std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
  }
  static COLORREF Pixel(PICTURE* p, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, p->hBitmap);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
  }
};

TEST_F(DefaultSmileysTest, ListHasTheUsualCodes) {
  ASSERT_TRUE(g_SmileyTableLoaded);
  EXPECT_GE(g_SmileyCount, 20);
  std::map<std::u16string, int> codesPerFile;
  std::set<std::u16string> codes;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    ++codesPerFile[g_SmileyTable[i].file];
    codes.insert(g_SmileyTable[i].code);
  }
  EXPECT_EQ(codes.size(), static_cast<size_t>(g_SmileyCount)) << "a code listed twice never matches";
  EXPECT_EQ(codesPerFile[u"smile.gif"], 3);
  for (const char16_t* code : {u":)", u":-)", u";)", u":(", u":D", u":P", u"<3"})
    EXPECT_TRUE(codes.count(code)) << std::string(code, code + std::char_traits<char16_t>::length(code));
}

TEST_F(DefaultSmileysTest, EveryPictureLoadsAndAnimates) {
  int animated = 0;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    PICTURE* p = GetSmileyImage(Name(i).c_str());
    ASSERT_NE(p, nullptr) << "entry " << i;
    EXPECT_EQ(GetSmileyImage(Name(i).c_str()), p) << "the entry keeps its picture";
    EXPECT_EQ(p->width, 20);
    EXPECT_EQ(p->height, 20);
    ASSERT_NE(p->hBitmap, nullptr);
    EXPECT_EQ(Pixel(p, 0, 0), RGB(255, 255, 255)) << "transparent corners show white";
    ASSERT_GE(p->frameCount, 1u);
    if (p->frameCount > 1) ++animated;
    // A full round of steps comes back to frame 0.
    for (UINT step = 0; step < p->frameCount; ++step) {
      p->frame = (p->frame + 1) % p->frameCount;
      DecodePictureFrame(p);
      RedrawPicture(p);
    }
    EXPECT_EQ(p->frame, 0u);
  }
  EXPECT_GE(animated, 5);
}

TEST_F(DefaultSmileysTest, ReportIconsLoadByFileNameEveryTime) {
  for (const char16_t* name : {u"delivered.gif", u"ndelivered.gif"}) {
    PICTURE* a = GetSmileyImage(name);
    PICTURE* b = GetSmileyImage(name);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b) << "a file name gives the caller a picture of its own";
    for (PICTURE* p : {a, b}) {
      ReleasePicture(p);
      delete p;
    }
  }
  EXPECT_EQ(GetSmileyImage(u"missing.gif"), nullptr);
}

TEST_F(DefaultSmileysTest, FreedPicturesLoadAgain) {
  ASSERT_NE(GetSmileyImage(u"0"), nullptr);
  FreeSmileyImages();
  EXPECT_EQ(g_SmileyTable[0].picture, nullptr);
  EXPECT_NE(GetSmileyImage(u"0"), nullptr);
}

TEST_F(DefaultSmileysTest, TwoThreadsShareOneLoad) {
  PICTURE* seen[2] = {nullptr, nullptr};
  std::thread a([&] { seen[0] = GetSmileyImage(u"7"); });
  std::thread b([&] { seen[1] = GetSmileyImage(u"7"); });
  a.join();
  b.join();
  ASSERT_NE(seen[0], nullptr);
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(g_SmileyTable[7].picture, seen[0]);
}

}  // namespace
