// coredll graphics: fonts and text.
#include <algorithm>
#include <string_view>

#include "gdi/gdi_api.h"
#include "gdi/raster.h"
#include "gdi/text_layout.h"

using namespace pellix::device;
using namespace pellix::device::gdi;

namespace {

DeviceContext* FindDC(ApiLock& api, HDC hdc) {
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

std::u16string_view Text(LPCWSTR s, int count) {
  if (!s) return {};
  if (count < 0) return std::u16string_view(s);
  return std::u16string_view(s, static_cast<size_t>(count));
}

// Draws one run of text with its cell's top-left at (x, top) in context coordinates, with the
// context's colours and background mode, clipped by the context and by `clip` when given.
void DrawRun(DeviceContext& dc, const Font& font, int x, int top, std::u16string_view text,
             const INT* dx, const Rect* clip) {
  FontEngine& fonts = FontEngine::Shared();
  const FontMetrics m = fonts.Metrics(font);
  int width = 0;
  if (dx)
    for (size_t i = 0; i < text.size(); ++i) width += dx[i];
  else
    width = fonts.Advance(font, text);
  auto target = dc.BeginDraw();
  if (!target) return;
  Region area = target->clip;
  if (clip) area = area.Intersect(clip->Offset(target->origin_x, target->origin_y));
  const int sx = x + target->origin_x, sy = top + target->origin_y;
  if (dc.bk_mode == OPAQUE)
    for (const Rect& c : area.Rects())
      target->surface->Fill(Rect::FromSize(sx, sy, width, m.height).Intersect(c), dc.bk_color);
  for (const Rect& c : area.Rects()) {
    if (!dx) {
      fonts.Draw(*target->surface, font, sx, sy, text, dc.text_color, c);
      continue;
    }
    int pen = sx;
    for (size_t i = 0; i < text.size(); ++i) {
      fonts.Draw(*target->surface, font, pen, sy, text.substr(i, 1), dc.text_color, c);
      pen += dx[i];
    }
  }
  dc.EndDraw(*target);
}

}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
  if (!lplf) return nullptr;
  ApiLock api;
  Font font;
  font.style = MakeFontStyle(lplf->lfWeight >= FW_SEMIBOLD, lplf->lfItalic != 0);
  const long height = lplf->lfHeight;
  if (height == 0) {
    font.pixel_size = api.table().SystemFont().pixel_size;
  } else if (height < 0) {
    font.pixel_size = static_cast<int>(std::min(-static_cast<long long>(height), 512LL));
  } else {
    // A positive height is the cell height: the largest em size whose line fits it.
    font.pixel_size = 1;
    for (int size = static_cast<int>(std::min(height, 512L)); size > 1; --size) {
      if (FontEngine::Shared().Metrics(Font{font.style, size}).height <= height) {
        font.pixel_size = size;
        break;
      }
    }
  }
  return static_cast<HFONT>(api.table().Add(std::make_shared<FontObject>(font)));
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
  if (!lptm) return FALSE;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  const Font font = CurrentFont(api, *dc);
  const FontMetrics m = FontEngine::Shared().Metrics(font);
  const bool bold = font.style == FontStyle::kBold || font.style == FontStyle::kBoldOblique;
  *lptm = TEXTMETRICW{};
  lptm->tmHeight = m.height;
  lptm->tmAscent = m.ascent;
  lptm->tmDescent = m.descent;
  lptm->tmInternalLeading = std::max(0, m.height - font.pixel_size);
  lptm->tmExternalLeading = 0;
  lptm->tmAveCharWidth = m.average_width;
  lptm->tmMaxCharWidth = m.max_width;
  lptm->tmWeight = bold ? FW_BOLD : FW_NORMAL;
  lptm->tmDigitizedAspectX = lptm->tmDigitizedAspectY = 96;
  lptm->tmFirstChar = 0x20;
  lptm->tmLastChar = 0xFFFC;
  lptm->tmDefaultChar = 0x20;
  lptm->tmBreakChar = 0x20;
  lptm->tmItalic = font.style == FontStyle::kOblique || font.style == FontStyle::kBoldOblique;
  // The "fixed pitch" bit set means a variable-pitch font.
  lptm->tmPitchAndFamily = TMPF_FIXED_PITCH | TMPF_VECTOR | TMPF_TRUETYPE | FF_SWISS;
  lptm->tmCharSet = ANSI_CHARSET;
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl) {
  if (!psizl || c < 0 || (c > 0 && !lpString)) return FALSE;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  const Font font = CurrentFont(api, *dc);
  psizl->cx = FontEngine::Shared().Advance(font, Text(lpString, c));
  psizl->cy = FontEngine::Shared().Metrics(font).height;
  return TRUE;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR lpszString, int cchString, int nMaxExtent,
                           LPINT lpnFit, LPINT lpnDx, LPSIZE lpSize) {
  if (!lpSize || cchString < 0 || (cchString > 0 && !lpszString)) return FALSE;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  const Font font = CurrentFont(api, *dc);
  const std::u16string_view text = Text(lpszString, cchString);
  const size_t fit = FontEngine::Shared().Fit(font, text, nMaxExtent < 0 ? INT32_MAX : nMaxExtent,
                                              lpnDx);
  if (lpnFit) *lpnFit = static_cast<int>(fit);
  lpSize->cx = FontEngine::Shared().Advance(font, text);
  lpSize->cy = FontEngine::Shared().Metrics(font).height;
  return TRUE;
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString,
                 UINT c, const INT* lpDx) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc || (c > 0 && !lpString)) return FALSE;
  std::optional<Rect> rect;
  if (lprect) rect = ToRect(*lprect);
  if ((options & ETO_OPAQUE) && rect && !rect->IsEmpty()) {
    Rect fill = *rect;
    FillArea(*dc, fill, dc->bk_color);
  }
  if (c == 0) return TRUE;
  const std::u16string_view text(lpString, c);
  const Font font = CurrentFont(api, *dc);
  FontEngine& fonts = FontEngine::Shared();
  const FontMetrics m = fonts.Metrics(font);
  int width = 0;
  if (lpDx)
    for (UINT i = 0; i < c; ++i) width += lpDx[i];
  else
    width = fonts.Advance(font, text);
  int left = x, top = y;
  const UINT horizontal = dc->text_align & TA_CENTER;
  if (horizontal == TA_CENTER) left -= width / 2;
  else if (horizontal == TA_RIGHT) left -= width;
  if ((dc->text_align & TA_BASELINE) == TA_BASELINE) top -= m.ascent;
  else if (dc->text_align & TA_BOTTOM) top -= m.height;
  const bool clipped = (options & ETO_CLIPPED) && rect;
  // With ETO_OPAQUE the rectangle was filled already; the text background stays as filled.
  const int saved_mode = dc->bk_mode;
  if ((options & ETO_OPAQUE) && rect) dc->bk_mode = TRANSPARENT;
  DrawRun(*dc, font, left, top, text, lpDx, clipped ? &*rect : nullptr);
  dc->bk_mode = saved_mode;
  return TRUE;
}

namespace {

// DT_END_ELLIPSIS: a line wider than the box loses characters at its end until it fits with
// "..." after it, so a long title never runs into what sits beside it.
TextLine EndEllipsis(FontEngine& fonts, const Font& font, const TextLine& line, int width) {
  if (line.width <= width) return line;
  constexpr std::u16string_view kDots = u"...";
  TextLine cut;
  // Glyphs are at least a pixel wide, so no more characters than pixels can fit.
  size_t keep = std::min(line.text.size(), static_cast<size_t>(std::max(width, 0)));
  for (;; --keep) {
    // Never split a surrogate pair.
    if (keep > 0 && (line.text[keep - 1] & 0xFC00) == 0xD800) continue;
    cut.text = std::u16string(line.text.substr(0, keep)) + std::u16string(kDots);
    cut.width = fonts.Advance(font, cut.text);
    if (cut.width <= width || keep == 0) break;
  }
  return cut;
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  if (!lprc || (cchText != 0 && !lpchText)) return 0;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return 0;
  const Font font = CurrentFont(api, *dc);
  FontEngine& fonts = FontEngine::Shared();
  const int line_height = fonts.Metrics(font).height;
  const Rect box = ToRect(*lprc);
  LayoutOptions options;
  options.max_width = box.Width();
  options.word_break = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
  options.single_line = format & DT_SINGLELINE;
  options.expand_tabs = format & DT_EXPANDTABS;
  options.prefix = !(format & DT_NOPREFIX);
  const std::vector<TextLine> lines = LayoutText(fonts, font, Text(lpchText, cchText), options);
  const int height = line_height * static_cast<int>(lines.size());

  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, l.width);
    if (!options.word_break || widest > box.Width()) lprc->right = lprc->left + widest;
    lprc->bottom = lprc->top + height;
    return height;
  }

  int top = box.top;
  if (options.single_line && (format & DT_VCENTER)) top = box.top + (box.Height() - height) / 2;
  else if (options.single_line && (format & DT_BOTTOM)) top = box.bottom - height;
  const bool clip = !(format & DT_NOCLIP);
  for (const TextLine& whole : lines) {
    const TextLine line = (format & DT_END_ELLIPSIS) ? EndEllipsis(fonts, font, whole, box.Width()) : whole;
    int left = box.left;
    if (format & DT_CENTER) left = box.left + (box.Width() - line.width) / 2;
    else if (format & DT_RIGHT) left = box.right - line.width;
    DrawRun(*dc, font, left, top, line.text, nullptr, clip ? &box : nullptr);
    top += line_height;
  }
  // With vertical placement the result is the offset of the text's bottom from the top.
  if (options.single_line && (format & (DT_VCENTER | DT_BOTTOM))) return top - box.top;
  return height;
}
