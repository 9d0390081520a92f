#include "gdi/text_layout.h"

namespace pellix::device::gdi {
namespace {

std::u16string Clean(std::u16string_view text, const LayoutOptions& o, int tab_width,
                     FontEngine& fonts, const Font& font) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (o.prefix && c == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') ++i;
      else continue;
      c = u'&';
    }
    if (c == u'\t') {
      if (!o.expand_tabs) {
        out.push_back(u' ');
        continue;
      }
      // Pad with spaces to the next tab stop.
      const int space = std::max(1, fonts.Advance(font, u" "));
      const int at = fonts.Advance(font, out);
      const int next = (at / tab_width + 1) * tab_width;
      for (int x = at; x < next; x += space) out.push_back(u' ');
      continue;
    }
    out.push_back(c);
  }
  return out;
}

void BreakParagraph(FontEngine& fonts, const Font& font, std::u16string_view para,
                    const LayoutOptions& o, std::vector<TextLine>& lines) {
  if (!o.word_break) {
    lines.push_back(TextLine{std::u16string(para), fonts.Advance(font, para)});
    return;
  }
  size_t start = 0;
  while (true) {
    // Skip the spaces a break leaves at the start of a continuation line.
    if (start > 0)
      while (start < para.size() && para[start] == u' ') ++start;
    std::u16string_view rest = para.substr(start);
    const int rest_width = fonts.Advance(font, rest);
    if (rest_width <= o.max_width || rest.empty()) {
      if (!rest.empty() || lines.empty() || start == 0)
        lines.push_back(TextLine{std::u16string(rest), rest_width});
      return;
    }
    const size_t fits = fonts.Fit(font, rest, o.max_width);
    // The last space at or before the fitting point ends the line.
    size_t cut = std::u16string_view::npos;
    for (size_t i = std::min(fits, rest.size() - 1) + 1; i-- > 0;)
      if (rest[i] == u' ') {
        cut = i;
        break;
      }
    size_t next;
    if (cut == std::u16string_view::npos || cut == 0) {
      // A word longer than the line: keep it whole.
      size_t end = rest.find(u' ');
      if (end == std::u16string_view::npos) end = rest.size();
      cut = end;
      next = end;
    } else {
      next = cut + 1;
    }
    std::u16string_view line = rest.substr(0, cut);
    while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
    lines.push_back(TextLine{std::u16string(line), fonts.Advance(font, line)});
    start += next;
    if (start >= para.size()) return;
  }
}

}  // namespace

std::vector<TextLine> LayoutText(FontEngine& fonts, const Font& font, std::u16string_view text,
                                 const LayoutOptions& options) {
  const int tab_width = std::max(1, 8 * fonts.Metrics(font).average_width);
  std::u16string clean = Clean(text, options, tab_width, fonts, font);
  std::vector<TextLine> lines;
  if (options.single_line) {
    for (char16_t& c : clean)
      if (c == u'\r' || c == u'\n') c = u' ';
    lines.push_back(TextLine{clean, fonts.Advance(font, clean)});
    return lines;
  }
  size_t start = 0;
  while (true) {
    size_t end = clean.find_first_of(u"\r\n", start);
    std::u16string_view para =
        std::u16string_view(clean).substr(start, end == std::u16string::npos ? std::u16string::npos
                                                                              : end - start);
    BreakParagraph(fonts, font, para, options, lines);
    if (end == std::u16string::npos) break;
    // "\r\n" is one line end.
    start = end + ((clean[end] == u'\r' && end + 1 < clean.size() && clean[end + 1] == u'\n') ? 2 : 1);
  }
  return lines;
}

}  // namespace pellix::device::gdi
