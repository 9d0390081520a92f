#include "htmlview/master_style.h"

namespace pellix::device::htmlview {

namespace {

// Pages come from small templates with tables, pictures, links and <br>. Tables carry their
// spacing as attributes; the layout engine reads cellspacing and border itself but ignores
// cellpadding, so attribute rules restore that. Every rule that matches an element is parsed
// again for it, which is most of the cost of building a document: keep the sheet lean.
constexpr const char kMasterStyle[] = R"CSS(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, noframes, ol, p, ul, center, dir, hr, menu, pre { display: block; }
head, script, style, title, meta, link, base, param, noscript { display: none; }
html { background-color: white; color: black; }
body { margin: 2px; }
p, blockquote, ul, ol, dl, dir, menu { margin-top: 0.5em; margin-bottom: 0.5em; }
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
table[border] { border: 1px outset gray; }
table[border] td, table[border] th { border: 1px inset gray; }
table[border="0"] td, table[border="0"] th { border-width: 0; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { text-align: center; }
table[cellpadding="0"] td, table[cellpadding="0"] th { padding: 0; }
table[cellpadding="1"] td, table[cellpadding="1"] th { padding: 1px; }
table[cellpadding="2"] td, table[cellpadding="2"] th { padding: 2px; }
table[cellpadding="3"] td, table[cellpadding="3"] th { padding: 3px; }
table[cellpadding="4"] td, table[cellpadding="4"] th { padding: 4px; }
table[cellpadding="5"] td, table[cellpadding="5"] th { padding: 5px; }
table[cellpadding="6"] td, table[cellpadding="6"] th { padding: 6px; }
table[cellpadding="8"] td, table[cellpadding="8"] th { padding: 8px; }
table[cellpadding="10"] td, table[cellpadding="10"] th { padding: 10px; }
caption { display: table-caption; text-align: center; }
col { display: table-column; }
colgroup { display: table-column-group; }
td[align="center"], th[align="center"], div[align="center"], p[align="center"], tr[align="center"] td { text-align: center; }
td[align="right"], th[align="right"], div[align="right"], p[align="right"], tr[align="right"] td { text-align: right; }
td[valign="top"], tr[valign="top"] td { vertical-align: top; }
td[valign="middle"], tr[valign="middle"] td { vertical-align: middle; }
td[valign="bottom"], tr[valign="bottom"] td { vertical-align: bottom; }
td[nowrap], th[nowrap] { white-space: nowrap; }
img[align="left"] { float: left; }
img[align="right"] { float: right; }
img[align="middle"], img[align="absmiddle"] { vertical-align: middle; }
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
