#include "htmlview/html_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "htmlview/master_style.h"

namespace pellix::device::htmlview {
namespace {

// A page shaped like the ones the module makes: a table template, smileys by index, links, <br>.
constexpr char16_t kBubblePage[] =
    u"<html><body><table width=\"100%\" cellpadding=\"2\" cellspacing=\"0\"><tr>"
    u"<td valign=\"top\"><img src=\"PictureID\"></td>"
    u"<td>Hi there <img src=\"12\"> see <a href=\"http://example.org/\">example.org</a><br>"
    u"call <a href=\"+4912345\">+4912345</a> <img src=\"12\"> <img src=\"3\"></td>"
    u"</tr></table></body></html>";

struct SolidPicture {
  gdi::Surface pixels;
  SolidPicture(int w, int h, gdi::Pixel color) : pixels(w, h, color) {}
  Picture AsPicture() {
    return Picture{pixels.width(), pixels.height(),
                   [this](gdi::Surface& target, const gdi::Rect& box, const gdi::Rect& clip) {
                     target.Stretch(pixels, pixels.bounds(), box, clip);
                   }};
  }
};

HtmlPage& Loaded(HtmlPage& page, std::u16string_view html, int width = 200) {
  page.AddText(html);
  page.Finish(width);
  return page;
}

TEST(HtmlPageTest, MasterSheetLaysOutTablesAndLineBreaks) {
  EXPECT_NE(std::string(MasterStyleSheet()).find("table"), std::string::npos);
  HtmlPage one, two;
  Loaded(one, u"<p>line</p>");
  Loaded(two, u"<p>line<br>line<br>line</p>");
  ASSERT_GT(one.height(), 0);
  // Three lines are about three times as tall as one.
  EXPECT_GE(two.height(), one.height() + 2 * 10);
}

TEST(HtmlPageTest, PicturesAreListedOncePerNameInOrder) {
  HtmlPage page;
  Loaded(page, kBubblePage);
  ASSERT_EQ(page.picture_count(), 3u);
  EXPECT_EQ(page.picture_name(0), "PictureID");
  EXPECT_EQ(page.picture_name(1), "12");
  EXPECT_EQ(page.picture_name(2), "3");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(page.picture_state(i), HtmlPage::PictureState::kWaiting);
}

TEST(HtmlPageTest, AnsweredPictureGrowsTheLayoutAndIsDrawn) {
  HtmlPage page;
  Loaded(page, u"<body style=\"margin:0\"><img src=\"big\"></body>");
  const int before = page.height();
  SolidPicture red(40, 60, 0xFF0000);
  ASSERT_TRUE(page.SetPicture(0, red.AsPicture()));
  // The same size again needs no new layout.
  EXPECT_FALSE(page.SetPicture(0, red.AsPicture()));
  page.Layout(200);
  EXPECT_GE(page.height(), 60);
  EXPECT_GT(page.height(), before);

  gdi::Surface screen(200, 100, 0x123456);
  page.Draw(screen, screen.bounds(), 0, 0);
  EXPECT_EQ(screen.At(10, 10), 0xFF0000u);   // inside the picture
  EXPECT_EQ(screen.At(100, 10), 0xFFFFFFu);  // page background
  EXPECT_EQ(screen.At(10, 90), 0xFFFFFFu);   // below the document

  // The owner changes its bitmap: the next drawing shows the new pixels.
  red.pixels.Fill(red.pixels.bounds(), 0x00FF00);
  page.Draw(screen, screen.bounds(), 0, 0);
  EXPECT_EQ(screen.At(10, 10), 0x00FF00u);
  // Scrolled by 30 pixels the picture's top moves up.
  page.Draw(screen, screen.bounds(), 0, 30);
  EXPECT_EQ(screen.At(10, 29), 0x00FF00u);
  EXPECT_EQ(screen.At(10, 31), 0xFFFFFFu);
}

TEST(HtmlPageTest, BackgroundPicturesAreDrawnWhateverTheLengthOfTheirName) {
  // A long name is kept under an alias inside the document; the page still knows it by name.
  for (const std::u16string name : {u"bg", u"DesktopBackground", u"AVeryLongBackgroundPictureName.png"}) {
    HtmlPage page;
    page.AddStyle(u"body { margin: 0; background-image: url(" + name + u"); background-repeat: no-repeat; }");
    Loaded(page, u"<body><div style=\"height:40px\"></div></body>");
    ASSERT_EQ(page.picture_count(), 1u);
    EXPECT_EQ(page.picture_name(0), std::string(name.begin(), name.end()));
    SolidPicture blue(30, 20, 0x0000FF);
    page.SetPicture(0, blue.AsPicture());
    page.Layout(200);
    gdi::Surface screen(200, 100, 0);
    page.Draw(screen, screen.bounds(), 0, 0);
    EXPECT_EQ(screen.At(25, 15), 0x0000FFu);
    EXPECT_EQ(screen.At(35, 15), 0xFFFFFFu);
    // A rebuilt document (a new zoom) names it again.
    page.SetZoom(3);
    page.Draw(screen, screen.bounds(), 0, 0);
    EXPECT_EQ(screen.At(25, 15), 0x0000FFu);
  }
}

TEST(HtmlPageTest, RefusedPictureKeepsAPlaceholder) {
  HtmlPage page;
  Loaded(page, u"<body style=\"margin:0\"><img src=\"gone\"></body>");
  page.FailPicture(0);
  page.Layout(200);
  EXPECT_EQ(page.picture_state(0), HtmlPage::PictureState::kFailed);
  gdi::Surface screen(50, 50, 0);
  page.Draw(screen, screen.bounds(), 0, 0);
  EXPECT_NE(screen.At(0, 0), 0xFFFFFFu);  // the frame's corner
  EXPECT_EQ(screen.At(8, 8), 0xFFFFFFu);  // hollow inside
}

TEST(HtmlPageTest, DrawingStaysInsideTheClip) {
  HtmlPage page;
  Loaded(page, u"<body style=\"background:black\">text text text</body>");
  gdi::Surface screen(100, 40, 0xABCDEF);
  page.Draw(screen, {10, 10, 50, 30}, 0, 0);
  EXPECT_EQ(screen.At(12, 11), 0u);  // the black body, inside the clip
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 100; ++x) {
      const bool inside = x >= 10 && x < 50 && y >= 10 && y < 30;
      if (!inside) {
        ASSERT_EQ(screen.At(x, y), 0xABCDEFu) << x << "," << y;
      }
    }
  }
}

TEST(HtmlPageTest, LinkHitTesting) {
  HtmlPage page;
  Loaded(page, u"<body style=\"margin:0\"><a href=\"+4912345\">call me now</a><br><br><br>plain text</body>");
  struct Case {
    int x, y;
    std::optional<std::u16string> href;
  };
  const Case cases[] = {
      {5, 5, u"+4912345"},  // on the link's first word
      {40, 5, u"+4912345"},
      {5, 48, std::nullopt},   // plain text below it
      {190, 5, std::nullopt},  // right of the link on its line
  };
  for (const Case& c : cases) EXPECT_EQ(page.LinkAt(c.x, c.y), c.href) << c.x << "," << c.y;
}

TEST(HtmlPageTest, TextKeepsLineBreaksAndCells) {
  struct Case {
    const char16_t* html;
    const char16_t* text;
  };
  const Case cases[] = {
      {u"one<br>two", u"one\r\ntwo"},
      {u"one<br><br>three", u"one\r\n\r\nthree"},
      {u"<p>para  one</p><p>para two</p>", u"para one\r\npara two"},
      {u"<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", u"a\tb\r\nc"},
      {u"<head><title>hidden</title><style>p{}</style></head>shown <b>bold</b>", u"shown bold"},
      {u"caf\u00e9 \u263A", u"caf\u00e9 \u263A"},
  };
  for (const Case& c : cases) {
    HtmlPage page;
    Loaded(page, c.html);
    EXPECT_EQ(page.Text(), c.text);
  }
}

TEST(HtmlPageTest, SelectionGivesTextOnlyWhenSelected) {
  HtmlPage page;
  Loaded(page, u"hello<br>world");
  EXPECT_EQ(page.SelectedText(), u"");
  page.SelectAll();
  EXPECT_EQ(page.SelectedText(), u"hello\r\nworld");
  page.Clear();
  EXPECT_FALSE(page.has_selection());
}

TEST(HtmlPageTest, LongWordsWrapInsideANarrowView) {
  HtmlPage page;
  Loaded(page, u"<body style=\"margin:0\">http://www.example.org/a/very/long/address/that/goes/on</body>", 80);
  EXPECT_LE(page.width(), 80);
  EXPECT_GT(page.height(), 30);  // several lines
}

// Elements remember what their inherited lookups found: each must still find its own
// ancestors' values, however deep, and an element's own value must win over the remembered one.
TEST(HtmlPageTest, InheritedStylesFollowEachBranch) {
  HtmlPage page;
  page.AddStyle(u".r { color: #ff0000; } .b { color: #0000ff; } .big { font-size: 40px; }");
  Loaded(page,
         u"<body style=\"margin:0\"><div class=\"r\"><table cellspacing=0 cellpadding=0><tr><td><p style=\"margin:0\">"
         u"<span>MMMM</span></p></td></tr></table><div class=\"b\"><span>MMMM</span></div></div>"
         u"<div class=\"big\"><div><span>MMMM</span></div></div></body>",
         300);
  gdi::Surface screen(300, 120, 0);
  page.Draw(screen, screen.bounds(), 0, 0);
  auto count = [&](gdi::Pixel color, int top, int bottom) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < 300; ++x) n += screen.At(x, y) == color;
    return n;
  };
  int red_rows = 0, blue_rows = 0, first_blue = -1;
  for (int y = 0; y < 120; ++y) {
    if (count(0xFF0000, y, y + 1)) ++red_rows;
    if (count(0x0000FF, y, y + 1)) {
      ++blue_rows;
      if (first_blue < 0) first_blue = y;
    }
  }
  ASSERT_GT(red_rows, 0);
  ASSERT_GT(blue_rows, 0);
  EXPECT_EQ(count(0x0000FF, 0, first_blue), 0);  // the red line is all red
  // The big text inherits 40px through a plain div: taller than the two small lines together.
  EXPECT_GT(page.height(), 2 * red_rows + 40);
}

TEST(HtmlPageTest, AddedStyleWinsAndZoomScalesText) {
  HtmlPage plain, styled;
  Loaded(plain, u"<p>x</p>");
  styled.AddText(u"<p>x</p>");
  styled.AddStyle(u"p { font-size: 30px; }");
  styled.Finish(200);
  EXPECT_GT(styled.height(), plain.height() + 15);

  int heights[5];
  for (int level = 0; level < 5; ++level) {
    HtmlPage page;
    page.SetZoom(level);
    Loaded(page, u"a<br>b<br>c<br>d");
    heights[level] = page.height();
  }
  for (int level = 1; level < 5; ++level) EXPECT_GT(heights[level], heights[level - 1]) << level;
}

TEST(HtmlPageTest, AppendedTextIsOneDocument) {
  HtmlPage page;
  page.AddText(u"<b>first");
  page.AddText(u" second</b>");
  page.Finish(200);
  EXPECT_EQ(page.Text(), u"first second");
}

TEST(HtmlPageTest, EmptyAndBrokenSourceIsHarmless) {
  const char16_t* sources[] = {u"", u"<", u"<table><tr><td>", u"</a></b></table>", u"<img>", u"<img src=\"\">",
                               u"\xD800 lone surrogate"};
  for (const char16_t* s : sources) {
    HtmlPage page;
    Loaded(page, s);
    gdi::Surface screen(32, 32);
    page.Draw(screen, screen.bounds(), 0, 0);
    page.Text();
    page.LinkAt(1, 1);
  }
}

TEST(HtmlPageTest, ParseListsPicturesBeforeTheFirstLayout) {
  HtmlPage page;
  page.AddText(kBubblePage);
  page.Parse(200);
  EXPECT_TRUE(page.finished());
  EXPECT_FALSE(page.laid_out());
  EXPECT_EQ(page.height(), 0);
  ASSERT_EQ(page.picture_count(), 3u);
  SolidPicture tall(10, 45, 0x0000FF);
  for (size_t i = 0; i < page.picture_count(); ++i) page.SetPicture(i, tall.AsPicture());
  page.Layout(200);
  EXPECT_TRUE(page.laid_out());
  EXPECT_GE(page.height(), 45);
}

TEST(HtmlPageTest, ZoomOfAFinishedPageRebuildsItAndKeepsTheAnswers) {
  HtmlPage page;
  Loaded(page, u"<body style=\"margin:0\"><img src=\"p\"><br>a<br>b<br>c</body>");
  // Taller than any line, so that it starts at the top whatever the text size.
  SolidPicture red(40, 40, 0xFF0000);
  page.SetPicture(0, red.AsPicture());
  page.Layout(200);
  const int normal = page.height();
  page.SetZoom(4);
  EXPECT_GT(page.height(), normal);
  ASSERT_EQ(page.picture_count(), 1u);
  EXPECT_EQ(page.picture_state(0), HtmlPage::PictureState::kAnswered);
  gdi::Surface screen(50, 50, 0);
  page.Draw(screen, screen.bounds(), 0, 0);
  EXPECT_EQ(screen.At(5, 5), 0xFF0000u);
  page.SetZoom(0);
  EXPECT_LT(page.height(), normal);
}

TEST(HtmlPageTest, ShrinkFitsWidePicturesIntoTheView) {
  struct Case {
    bool shrink;
    int min_height, max_height;
  };
  // A 400 x 200 picture in a view 100 pixels wide.
  const Case cases[] = {{false, 200, 260}, {true, 50, 70}};
  for (const Case& c : cases) {
    HtmlPage page;
    page.SetShrink(c.shrink);
    Loaded(page, u"<body style=\"margin:0\"><img src=\"wide\"></body>", 100);
    SolidPicture wide(400, 200, 0x00FF00);
    page.SetPicture(0, wide.AsPicture());
    page.Layout(100);
    EXPECT_GE(page.height(), c.min_height) << c.shrink;
    EXPECT_LE(page.height(), c.max_height) << c.shrink;
  }
}

TEST(HtmlPageTest, FontsOutliveDocumentsOfTheSamePage) {
  HtmlPage page;
  Loaded(page, u"a<br><b>b</b><br><i>c</i>");
  const int first = page.height();
  // A page in very many sizes overflows the font cache, which is emptied between documents.
  std::u16string sizes;
  for (int px = 6; px < 60; ++px) {
    const std::string size = std::to_string(px);
    sizes += u"<span style=\"font-size:" + std::u16string(size.begin(), size.end()) + u"px\">x</span>";
  }
  page.Clear();
  Loaded(page, sizes);
  EXPECT_GT(page.height(), 50);
  page.Clear();
  Loaded(page, u"a<br><b>b</b><br><i>c</i>");
  EXPECT_EQ(page.height(), first);
  gdi::Surface screen(64, 64);
  page.Draw(screen, screen.bounds(), 0, 0);
}

TEST(HtmlPageTest, TableAttributesGiveSpacingAndBorders) {
  struct Case {
    const char16_t* attributes;
    gdi::Pixel corner;  // the page's top-left pixel
  };
  const gdi::Pixel white = 0xFFFFFF, red = 0xFF0000;
  const Case cases[] = {
      {u"border=\"0\" cellspacing=\"0\" cellpadding=\"0\"", red},  // the cell starts at the corner
      {u"border=\"0\" cellpadding=\"0\"", white},                  // default spacing around it
      {u"border=\"1\" cellspacing=\"0\" cellpadding=\"0\"", 0},    // a border, neither white nor red
  };
  for (const Case& c : cases) {
    HtmlPage page;
    Loaded(page, u"<body style=\"margin:0\"><table " + std::u16string(c.attributes) +
                     u"><tr><td style=\"background:red\">cell</td></tr></table></body>");
    gdi::Surface screen(40, 40, 0x123456);
    page.Draw(screen, screen.bounds(), 0, 0);
    if (c.corner == 0) {
      EXPECT_NE(screen.At(0, 0), white);
      EXPECT_NE(screen.At(0, 0), red);
    } else {
      EXPECT_EQ(screen.At(0, 0), c.corner) << "case " << (&c - cases);
    }
  }
}

// Attributes of cells, rows, tables and pictures place and space their content.
TEST(HtmlPageTest, PresentationalAttributesPlaceContent) {
  auto draw = [](std::u16string_view html, gdi::Surface& screen) {
    HtmlPage page;
    SolidPicture blue(10, 10, 0x0000FF);
    Loaded(page, html, screen.width());
    for (size_t i = 0; i < page.picture_count(); ++i) page.SetPicture(i, blue.AsPicture());
    page.Layout(screen.width());
    page.Draw(screen, screen.bounds(), 0, 0);
    return page.height();
  };
  const std::u16string table = u"<body style=\"margin:0\"><table width=\"200\" cellspacing=\"0\" cellpadding=\"0\">";
  gdi::Surface screen(200, 80, 0);
  // Alignment given on the row reaches its cells, both ways.
  draw(table + u"<tr align=\"right\" valign=\"bottom\"><td style=\"height:50px; background:red\"><img src=\"p\"></td></tr></table>",
       screen);
  EXPECT_EQ(screen.At(195, 45), 0x0000FFu);
  EXPECT_EQ(screen.At(5, 45), 0xFF0000u);
  EXPECT_EQ(screen.At(195, 5), 0xFF0000u);
  // The cell's own attribute wins over its row's.
  draw(table + u"<tr align=\"right\"><td align=\"left\" style=\"background:red\"><img src=\"p\"></td></tr></table>", screen);
  EXPECT_EQ(screen.At(5, 5), 0x0000FFu);
  EXPECT_EQ(screen.At(195, 5), 0xFF0000u);
  // A picture aligned right floats to the right edge.
  draw(u"<body style=\"margin:0\"><img src=\"p\" align=\"right\">text</body>", screen);
  EXPECT_EQ(screen.At(195, 5), 0x0000FFu);
  // Any cellpadding pads each side of each cell; a page's style sheet still has the last word.
  const int none = draw(u"<table cellspacing=\"0\" cellpadding=\"0\"><tr><td>x</td></tr></table>", screen);
  EXPECT_EQ(draw(u"<table cellspacing=\"0\" cellpadding=\"7\"><tr><td>x</td></tr></table>", screen), none + 14);
  EXPECT_EQ(draw(u"<style>td { padding: 0 }</style><table cellspacing=\"0\" cellpadding=\"7\"><tr><td>x</td></tr></table>",
                 screen),
            none);
  // nowrap keeps a cell's words on one line.
  const int wrapped = draw(u"<table width=\"40\"><tr><td>aaa bbb ccc ddd</td></tr></table>", screen);
  const int kept = draw(u"<table width=\"40\"><tr><td nowrap>aaa bbb ccc ddd</td></tr></table>", screen);
  EXPECT_LT(kept, wrapped);
}

}  // namespace
}  // namespace pellix::device::htmlview
