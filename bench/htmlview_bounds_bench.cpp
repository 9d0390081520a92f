// The HTML view on hostile pages of 10,000 characters, the longest a chain of text messages
// makes: load, lay out and draw each, from a cold page. The view must stay under 50 ms on every
// one (the bounds of htmlview/page_bounds.h); these are the shapes that once took seconds or
// gigabytes: nested tables, thousands of nested inline elements, formatting tags left open
// across many blocks, and a flood of small elements.
#include <benchmark/benchmark.h>

#include <string>

#include "gdi/surface.h"
#include "htmlview/html_page.h"

namespace {

using pellix::device::gdi::Surface;
using pellix::device::htmlview::HtmlPage;

constexpr size_t kPageLength = 10000;
constexpr int kWidth = 232, kHeight = 320;

// `open` repeated, then `middle`, then `close` repeated, as many times as fit 10,000 characters.
std::u16string Nested(std::u16string_view open, std::u16string_view middle, std::u16string_view close) {
  const size_t n = (kPageLength - middle.size()) / (open.size() + close.size());
  std::u16string page;
  for (size_t i = 0; i < n; ++i) page += open;
  page += middle;
  for (size_t i = 0; i < n; ++i) page += close;
  return page;
}

std::u16string Repeated(std::u16string_view unit) {
  std::u16string page;
  while (page.size() + unit.size() <= kPageLength) page += unit;
  return page;
}

std::u16string OpenFormattingAcrossBlocks() {
  std::u16string page;
  for (int i = 0; i < 300; ++i) page += u"<b id=" + std::u16string(1, char16_t(u'a' + i % 26)) + u">";
  while (page.size() + 4 <= kPageLength) page += u"<p>x";
  return page;
}

void LoadLayoutDraw(benchmark::State& state, const std::u16string& page_text) {
  Surface screen(kWidth, kHeight);
  for (auto _ : state) {
    HtmlPage page;
    page.AddText(page_text);
    page.Finish(kWidth);
    page.Draw(screen, screen.bounds(), 0, 0);
    benchmark::DoNotOptimize(page.height());
  }
  state.counters["chars"] = static_cast<double>(page_text.size());
}

void BM_HtmlBounds_NestedTables(benchmark::State& state) {
  LoadLayoutDraw(state, Nested(u"<table><tr><td>cell ", u"deep", u"</td></tr></table>"));
}
BENCHMARK(BM_HtmlBounds_NestedTables)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_NestedBold(benchmark::State& state) {
  LoadLayoutDraw(state, Repeated(u"<b>"));
}
BENCHMARK(BM_HtmlBounds_NestedBold)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_NestedDivs(benchmark::State& state) {
  LoadLayoutDraw(state, Nested(u"<div style=\"margin:1px\">x", u"deep", u"</div>"));
}
BENCHMARK(BM_HtmlBounds_NestedDivs)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_OpenFormattingAcrossBlocks(benchmark::State& state) {
  LoadLayoutDraw(state, OpenFormattingAcrossBlocks());
}
BENCHMARK(BM_HtmlBounds_OpenFormattingAcrossBlocks)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_ManySmallElements(benchmark::State& state) {
  LoadLayoutDraw(state, Repeated(u"<i>a</i> "));
}
BENCHMARK(BM_HtmlBounds_ManySmallElements)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_TableCells(benchmark::State& state) {
  LoadLayoutDraw(state, u"<table>" + Repeated(u"<tr><td>a<td>b") + u"</table>");
}
BENCHMARK(BM_HtmlBounds_TableCells)->Unit(benchmark::kMillisecond);

void BM_HtmlBounds_PlainText(benchmark::State& state) {
  LoadLayoutDraw(state, Repeated(u"word "));
}
BENCHMARK(BM_HtmlBounds_PlainText)->Unit(benchmark::kMillisecond);

}  // namespace
