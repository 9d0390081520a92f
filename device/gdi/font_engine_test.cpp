// The font engine when the host lacks some of its faces: it must keep drawing, never abort.
#include "gdi/font_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "testing/temp_image.h"

namespace {

using namespace pellix::device::gdi;
namespace fs = std::filesystem;

constexpr const char* kSystemFonts = "/usr/share/fonts/truetype/dejavu";

// A font folder holding only the named faces of the system's.
fs::path FontsWith(const pellix::testing::TempDir& dir, std::initializer_list<const char*> files) {
  for (const char* f : files) fs::create_symlink(fs::path(kSystemFonts) / f, dir.path() / f);
  return dir.path();
}

// The columns, from the left, in which `row` has ink.
std::string Ink(const Surface& s, int row) {
  std::string line;
  for (int x = 0; x < s.width(); ++x) line += s.At(x, row) != 0x00FFFFFF ? '#' : '.';
  return line;
}

int InkedPixels(const Surface& s) {
  int n = 0;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) n += s.At(x, y) != 0x00FFFFFF;
  return n;
}

TEST(FontEngineFallback, MissingObliqueFacesAreSlantedFromTheUprightOnesWithOneWarning) {
  pellix::testing::TempDir dir;
  FontEngine fonts(FontsWith(dir, {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"}).string());
  const Font upright{FontStyle::kRegular, 48}, oblique{FontStyle::kOblique, 48};
  const Font bold_oblique{FontStyle::kBoldOblique, 48};

  ::testing::internal::CaptureStderr();
  Surface a(100, 70, 0x00FFFFFF), b(100, 70, 0x00FFFFFF), c(100, 70, 0x00FFFFFF);
  fonts.Draw(a, upright, 10, 5, u"I", 0, a.bounds());
  fonts.Draw(b, oblique, 10, 5, u"I", 0, b.bounds());
  fonts.Draw(c, bold_oblique, 10, 5, u"I", 0, c.bounds());
  const std::string warnings = ::testing::internal::GetCapturedStderr();

  // One line names what to install; the second missing face adds nothing.
  EXPECT_NE(warnings.find("DejaVuSans-Oblique.ttf"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("fonts-dejavu-extra"), std::string::npos) << warnings;
  EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;

  // The slanted "I" leans right: its top row's ink starts further right than its bottom row's.
  const int ascent = fonts.Metrics(oblique).ascent;
  const int top = 5 + ascent - 30, bottom = 5 + ascent - 3;
  EXPECT_EQ(Ink(a, top).find('#'), Ink(a, bottom).find('#'));
  EXPECT_GT(Ink(b, top).find('#'), Ink(b, bottom).find('#') + 2) << Ink(b, top) << "\n" << Ink(b, bottom);
  EXPECT_GT(InkedPixels(c), InkedPixels(b));  // the bold face under the slant
  EXPECT_EQ(fonts.Advance(oblique, u"Hello"), fonts.Advance(upright, u"Hello"));
  // The upright face keeps its own size after the slanted copy was sized differently.
  EXPECT_LT(fonts.Metrics(Font{FontStyle::kOblique, 20}).height, fonts.Metrics(upright).height);
  EXPECT_EQ(fonts.Advance(upright, u"Hello"), FontEngine::Shared().Advance(upright, u"Hello"));
}

TEST(FontEngineFallback, WithoutAnyFaceTextKeepsItsBoxesAndDrawsNothing) {
  pellix::testing::TempDir dir;
  FontEngine fonts((dir.path() / "none").string());
  ::testing::internal::CaptureStderr();
  Surface s(80, 40, 0x00FFFFFF);
  const Font font{FontStyle::kBold, 20};
  fonts.Draw(s, font, 0, 0, u"Hi", 0, s.bounds());
  EXPECT_GT(fonts.Advance(font, u"Hi"), 0);
  EXPECT_GT(fonts.Metrics(font).height, 0);
  EXPECT_EQ(fonts.Fit(font, u"Hello", 1000), 5u);
  EXPECT_EQ(InkedPixels(s), 0);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("fonts-dejavu-core"), std::string::npos);
}

TEST(FontEngineFallback, NoFontIsOpenedUntilTextIsMeasuredOrDrawn) {
  pellix::testing::TempDir dir;
  ::testing::internal::CaptureStderr();
  { FontEngine fonts((dir.path() / "none").string()); }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
