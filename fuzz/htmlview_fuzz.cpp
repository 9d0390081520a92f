// The HTML view's engine on arbitrary documents: parse, answer or refuse each picture, lay out,
// draw, hit-test and extract text. Input: one byte of view width, one byte of picture answers
// (bit i: answer picture i, else refuse), then the document as UTF-16 (odd bytes dropped).
#include <cstddef>
#include <cstdint>
#include <string>

#include "gdi/surface.h"
#include "htmlview/html_page.h"

using pellix::device::gdi::Rect;
using pellix::device::gdi::Surface;
using pellix::device::htmlview::HtmlPage;
using pellix::device::htmlview::Picture;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int width = 1 + data[0];
  const uint8_t answers = data[1];
  std::u16string text;
  for (size_t i = 2; i + 1 < size; i += 2) text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));

  static Surface picture(7, 5, 0x00FF00);
  HtmlPage page;
  page.SetZoom(answers & 7);
  page.SetShrink(answers & 8);
  page.AddText(text);
  page.AddStyle(u"p { margin: 1px }");
  // As the view does: parse, answer the pictures, then lay out.
  page.Parse(width);
  for (size_t i = 0; i < page.picture_count() && i < 8; ++i) {
    if (answers & (1u << i)) {
      page.SetPicture(i, Picture{static_cast<int>(i) * 3, 4, [](Surface& target, const Rect& box, const Rect& clip) {
                                   target.Stretch(picture, picture.bounds(), box, clip);
                                 }});
    } else {
      page.FailPicture(i);
    }
  }
  page.Layout(width);
  Surface screen(64, 48);
  page.Draw(screen, screen.bounds(), 0, page.height() / 2);
  page.Draw(screen, Rect{-5, -5, 500, 20}, -3, -7);
  page.LinkAt(width / 2, 3);
  // A zoom change rebuilds the finished document with the answers it has.
  page.SetZoom((answers >> 4) & 7);
  page.Draw(screen, screen.bounds(), 0, 0);
  page.SelectAll();
  page.SelectedText();
  return 0;
}
