// The HTML view loading and drawing a typical bubble page: the template with the sender's
// picture, a message with two smileys and a link, the skin's style sheet, three pictures
// answered. The view is warm: its page object, the shared layout context and the font
// engine's glyph caches have seen the page before.
#include <benchmark/benchmark.h>

#include <string>

#include "gdi/surface.h"
#include "htmlview/html_page.h"

namespace {

using pellix::device::gdi::Rect;
using pellix::device::gdi::Surface;
using pellix::device::htmlview::HtmlPage;
using pellix::device::htmlview::Picture;

constexpr char16_t kBubblePage[] =
    u"<html><body><table border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%\"><tr>"
    u"<td width= \"5%\"><p align=\"center\"><img src=\"PictureID\" /></p></td>"
    u"<td width=\"95%\" align=\"left\" style=\"height: 29px; font-size: 8pt; font-family: default; "
    u"text-align: left;\"><p>See you at 8 <img src=\"12\"> at the station, bring the tickets "
    u"<img src=\"3\"><br>Details: <a href=\"http://example.org/trip\">http://example.org/trip</a> "
    u"or call <a href=\"+4917012345678\">+4917012345678</a></p></td></tr></table></body></html>";
constexpr char16_t kStyle[] = u"BODY { font-size: 8pt; }";
constexpr int kWidth = 232, kHeight = 160;

struct Pictures {
  Surface contact{40, 48, 0x3366CC};
  Surface smiley{16, 16, 0xFFCC00};

  Picture For(const std::string& name) {
    Surface* source = name == "PictureID" ? &contact : &smiley;
    return Picture{source->width(), source->height(), [source](Surface& target, const Rect& box, const Rect& clip) {
                     target.Stretch(*source, source->bounds(), box, clip);
                   }};
  }
};

// Everything the view does between DTM_CLEAR and the end of its first paint: the pictures are
// answered during their requests, before the first layout.
void LoadPage(HtmlPage& page, Pictures& pictures) {
  page.Clear();
  page.AddText(kBubblePage);
  page.AddStyle(kStyle);
  page.Parse(kWidth);
  for (size_t i = 0; i < page.picture_count(); ++i) page.SetPicture(i, pictures.For(page.picture_name(i)));
  page.Layout(kWidth);
}

void BM_BubblePageLoadAndDraw(benchmark::State& state) {
  HtmlPage page;
  Pictures pictures;
  Surface screen(kWidth, kHeight);
  LoadPage(page, pictures);  // warm
  for (auto _ : state) {
    LoadPage(page, pictures);
    page.Draw(screen, screen.bounds(), 0, 0);
    benchmark::DoNotOptimize(screen.At(10, 10));
  }
}
BENCHMARK(BM_BubblePageLoadAndDraw)->Unit(benchmark::kMicrosecond);

// The parts, for the share of each: parsing (building the document and its styles), the
// layout once the pictures are answered, and drawing.
void BM_BubblePageParse(benchmark::State& state) {
  HtmlPage page;
  Pictures pictures;
  LoadPage(page, pictures);
  for (auto _ : state) {
    page.Clear();
    page.AddText(kBubblePage);
    page.AddStyle(kStyle);
    page.Parse(kWidth);
  }
}
BENCHMARK(BM_BubblePageParse)->Unit(benchmark::kMicrosecond);

void BM_BubblePageLayout(benchmark::State& state) {
  HtmlPage page;
  Pictures pictures;
  LoadPage(page, pictures);
  for (auto _ : state) page.Layout(kWidth);
}
BENCHMARK(BM_BubblePageLayout)->Unit(benchmark::kMicrosecond);

void BM_BubblePageDraw(benchmark::State& state) {
  HtmlPage page;
  Pictures pictures;
  Surface screen(kWidth, kHeight);
  LoadPage(page, pictures);
  for (auto _ : state) {
    page.Draw(screen, screen.bounds(), 0, 0);
    benchmark::DoNotOptimize(screen.At(10, 10));
  }
}
BENCHMARK(BM_BubblePageDraw)->Unit(benchmark::kMicrosecond);

}  // namespace
