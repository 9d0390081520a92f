#include "htmlview/master_style.h"

namespace pellix::device::htmlview {

namespace {

// Pages come from small templates with tables, pictures, links and <br>. Presentational
// attributes (cellpadding, border, align, valign, nowrap) are turned into properties by the
// page's elements, not by attribute rules here: the layout engine tests every rule against
// every element and parses a matching rule's text again for each element it matches, which is
// most of the cost of building a document. Keep the sheet lean, and give the elements every page
// has (html, body, p) one rule each.
constexpr const char kMasterStyle[] = R"CSS(
address, blockquote, dd, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, noframes, ol, ul, center, dir, hr, menu, pre { display: block; }
head, script, style, title, meta, link, base, param, noscript { display: none; }
html { display: block; background-color: white; color: black; }
body { display: block; margin: 2px; }
p { display: block; margin-top: 0.5em; margin-bottom: 0.5em; }
blockquote, ul, ol, dl, dir, menu { margin-top: 0.5em; margin-bottom: 0.5em; }
blockquote { margin-left: 20px; margin-right: 20px; }
h1 { font-size: 1.6em; margin: 0.4em 0; font-weight: bold; }
h2 { font-size: 1.4em; margin: 0.4em 0; font-weight: bold; }
h3 { font-size: 1.2em; margin: 0.4em 0; font-weight: bold; }
h4, h5, h6 { margin: 0.4em 0; font-weight: bold; }
b, strong, th { font-weight: bold; }
i, em, cite, var, address { font-style: italic; }
u, ins { text-decoration: underline; }
s, strike, del { text-decoration: line-through; }
small { font-size: 0.85em; }
big { font-size: 1.2em; }
sub { vertical-align: sub; font-size: 0.8em; }
sup { vertical-align: super; font-size: 0.8em; }
center { text-align: center; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; }
br { display: block; }
img { display: inline-block; }
a[href] { color: #0000EE; text-decoration: underline; }
ul, ol, menu, dir { padding-left: 20px; }
li { display: list-item; }
ul { list-style-type: disc; }
ol { list-style-type: decimal; }
hr { border: 1px inset gray; margin: 4px 0; height: 0; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
caption { display: table-caption; text-align: center; }
col { display: table-column; }
colgroup { display: table-column-group; }
input, select, textarea, button { display: inline-block; }
)CSS";

}  // namespace

const char* MasterStyleSheet() { return kMasterStyle; }

litehtml::context& SharedContext() {
  static litehtml::context* context = [] {
    auto* ctx = new litehtml::context;
    ctx->load_master_stylesheet(kMasterStyle);
    return ctx;
  }();
  return *context;
}

}  // namespace pellix::device::htmlview
