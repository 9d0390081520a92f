// Bounds on hostile pages: what the layout engine's parser makes of a bounded page stays within
// the depth, table nesting and element count, keeps the page's text, and leaves an ordinary
// page's markup as it was.
#include "htmlview/page_bounds.h"

#include <gtest/gtest.h>
#include <gumbo.h>

#include <algorithm>
#include <string>

#include "htmlview/html_page.h"
#include "kernel/device_image.h"

namespace {

using namespace pellix::device::htmlview;

struct TreeShape {
  int depth = 0;
  int table_depth = 0;
  int elements = 0;
};

void Measure(const GumboNode* n, int depth, int tables, TreeShape& shape) {
  if (n->type != GUMBO_NODE_ELEMENT) return;
  const bool table = n->v.element.tag == GUMBO_TAG_TABLE;
  ++shape.elements;
  shape.depth = std::max(shape.depth, depth + 1);
  shape.table_depth = std::max(shape.table_depth, tables + table);
  const GumboVector& children = n->v.element.children;
  for (unsigned i = 0; i < children.length; ++i)
    Measure(static_cast<const GumboNode*>(children.data[i]), depth + 1, tables + table, shape);
}

// The tree the layout engine's parser builds from `html`.
TreeShape ShapeOf(const std::string& html) {
  GumboOutput* out = gumbo_parse(html.c_str());
  TreeShape shape;
  Measure(out->root, 0, 0, shape);
  gumbo_destroy_output(&kGumboDefaultOptions, out);
  return shape;
}

std::string Times(std::string_view unit, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += unit;
  return s;
}

TEST(PageBounds, NestedTablesAreCutToTheirTextBelowTheTableDepth) {
  const std::string page = Times("<table><tr><td>cell", 20) + "deep" + Times("</td></tr></table>", 20);
  const std::string bounded = BoundPage(page);
  const TreeShape shape = ShapeOf(bounded);
  EXPECT_EQ(shape.table_depth, kMaxTableDepth);
  // Every cell's text is still there.
  size_t cells = 0;
  for (size_t at = 0; (at = bounded.find("cell", at)) != std::string::npos; ++at) ++cells;
  EXPECT_EQ(cells, 20u);
  EXPECT_NE(bounded.find("deep"), std::string::npos);
}

TEST(PageBounds, DeepInlineNestingAndElementFloodsStayWithinTheBounds) {
  for (const std::string& page : {Times("<b>", 20000) + "end", Times("<span>x", 5000), Times("<i>a</i> ", 3000),
                                  Times("<div>", 3000)}) {
    const TreeShape shape = ShapeOf(BoundPage(page));
    EXPECT_LE(shape.depth, kMaxDepth) << page.substr(0, 20);
    EXPECT_LE(shape.elements, kMaxElements) << page.substr(0, 20);
  }
}

TEST(PageBounds, FormattingLeftOpenAcrossBlocksDoesNotMultiplyInTheParser) {
  // Each <p> would re-open every formatting element still open: 300 x 2000 elements.
  std::string page;
  for (int i = 0; i < 300; ++i) page += "<b id=" + std::to_string(i) + ">";
  page += Times("<p>x", 2000);
  const std::string bounded = BoundPage(page);
  const TreeShape shape = ShapeOf(bounded);
  EXPECT_LE(shape.elements, kMaxElements);
  EXPECT_LE(shape.depth, kMaxDepth);
  EXPECT_EQ(static_cast<int>(std::count(bounded.begin(), bounded.end(), 'x')), 2000);
}

TEST(PageBounds, AnOrdinaryPageKeepsItsMarkupAndDropsOnlyScriptsAndComments) {
  const std::string page =
      "<html><body><table width=\"100%\"><tr><td><img src=\"PictureID\"></td>"
      "<td style=\"font-size: 8pt\"><p>Fish &amp; chips &lt;3 <b>now</b><br>"
      "<a href=\"http://example.org/?a=1&amp;b=&quot;2&quot;\">link</a></p><!-- note --><script>x()</script>"
      "</td></tr></table><style>p { margin: 0 }</style></body></html>";
  const std::string bounded = BoundPage(page);
  EXPECT_NE(bounded.find("<img src=\"PictureID\">"), std::string::npos) << bounded;
  EXPECT_NE(bounded.find("<td style=\"font-size: 8pt\">"), std::string::npos) << bounded;
  EXPECT_NE(bounded.find("Fish &amp; chips &lt;3 <b>now</b><br>"), std::string::npos) << bounded;
  EXPECT_NE(bounded.find("href=\"http://example.org/?a=1&amp;b=&quot;2&quot;\""), std::string::npos) << bounded;
  EXPECT_NE(bounded.find("<style>p { margin: 0 }</style>"), std::string::npos) << bounded;
  EXPECT_EQ(bounded.find("note"), std::string::npos);
  EXPECT_EQ(bounded.find("x()"), std::string::npos);
  // A page within the bounds comes out of a second pass as it went in.
  EXPECT_EQ(BoundPage(bounded), bounded);
}

TEST(PageBounds, APlainPageGoesThroughAsItIsAndAnythingUnusualIsRewritten) {
  // The bubble's own page, as the module fills its template.
  const std::string plain =
      "<html>\n<body>\n<table border=\"0\" cellpadding=\"0\" width=\"100%\"><tr>"
      "<td width=\"1%\" valign=top style=\"padding: 1px 4px\"><img class=\"sender\" src=\"PictureID\" /></td>"
      "<td><div class='message'>Fish &amp; chips &lt;3 <img src=\"12\"><br>"
      "<a href=\"+4917012345678\">+4917012345678</a></div></td></tr></table>\n</body>\n</html>";
  EXPECT_EQ(BoundPage(plain), plain);
  // Each of these differs from a plain page in one way that the full rewrite must handle.
  const std::string unusual[] = {
      "<p onclick\"=\"x\">a</p>",                                        // an attribute name it drops
      "<p>a<!-- b --></p>",                                                // a comment
      "<p>a<script>x()</script></p>",                                      // a script
      "<p><blink>a</blink></p>",                                           // a tag it writes as its text
      "<table><tr><td><table><tr><td><table><tr><td><table><tr><td>a</td></tr></table>"
      "</td></tr></table></td></tr></table></td></tr></table>",            // tables too deep
      "<p><b><b><b><b><b><b><b><b><b>a</b></b></b></b></b></b></b></b></b></p>",  // formatting left open
      "<p title=a\"b>a</p>",                                               // an unquoted value with a quote
      "<p>a < b</p>",                                                      // a stray "<"
  };
  for (const std::string& page : unusual) EXPECT_NE(BoundPage(page), page) << page;
  std::string many;
  for (int i = 0; i < 30; ++i) many += "<span>";
  EXPECT_NE(BoundPage(many), many);
}

TEST(PageBounds, TheViewShowsTheTextOfAPageBeyondTheBounds) {
  HtmlPage page;
  page.AddText(pellix::device::Utf8ToUtf16(Times("<table><tr><td>", 12) + "inner" + Times("</td></tr></table>", 12)));
  page.Finish(200);
  EXPECT_GT(page.height(), 0);
  EXPECT_NE(page.Text().find(u"inner"), std::u16string::npos);
}

}  // namespace
