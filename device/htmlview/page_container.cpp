#include "htmlview/page_container.h"

#include "htmlview/page_elements.h"

#include <algorithm>

#include "gdi/font_engine.h"
#include "htmlview/html_page.h"
#include "kernel/device_image.h"

namespace pellix::device::htmlview {

namespace {

// Text sizes of zoom levels 0 to 4, in percent of the normal size.
constexpr int kZoomPercent[5] = {75, 88, 100, 125, 150};
// The normal text size at 96 dots per inch; a VGA handheld's text is as tall to the eye.
constexpr int kDefaultFontSize = 12;
// A refused picture keeps this much room, so that the page does not jump when it is refused.
constexpr int kPlaceholderSize = 16;
// Pages use a handful of sizes; a page with very many keeps the cache from growing unbounded.
constexpr size_t kMaxCachedFonts = 32;


gdi::Pixel ToRgb(const litehtml::web_color& c) { return gdi::MakePixel(c.red, c.green, c.blue); }

gdi::Rect ToRect(const litehtml::position& p) { return gdi::Rect::FromSize(p.x, p.y, p.width, p.height); }

bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

}  // namespace

struct PageContainer::CachedFont {
  gdi::Font font;
  gdi::FontMetrics metrics;
  unsigned decoration;
};

PageContainer::PageContainer(HtmlPage& page) : page_(page) {}

PageContainer::~PageContainer() = default;

void PageContainer::TrimFonts() {
  if (fonts_.size() > kMaxCachedFonts) fonts_.clear();
}

litehtml::uint_ptr PageContainer::create_font(const litehtml::tchar_t*, int size, int weight,
                                              litehtml::font_style italic, unsigned int decoration,
                                              litehtml::font_metrics* fm) {
  const int level = std::clamp(zoom_, 0, 4);
  gdi::Font font;
  font.pixel_size = std::max(1, (size * kZoomPercent[level] + 50) / 100);
  font.style = gdi::MakeFontStyle(weight >= 600, italic == litehtml::fontStyleItalic);
  CachedFont* handle = nullptr;
  for (const auto& cached : fonts_) {
    if (cached->font == font && cached->decoration == decoration) handle = cached.get();
  }
  if (!handle) {
    fonts_.push_back(std::make_unique<CachedFont>(CachedFont{font, gdi::FontEngine::Shared().Metrics(font), decoration}));
    handle = fonts_.back().get();
  }
  if (fm) {
    fm->ascent = handle->metrics.ascent;
    fm->descent = handle->metrics.descent;
    fm->height = handle->metrics.height;
    fm->x_height = handle->metrics.ascent / 2;
    fm->draw_spaces = decoration != litehtml::font_decoration_none;
  }
  return reinterpret_cast<litehtml::uint_ptr>(handle);
}

void PageContainer::delete_font(litehtml::uint_ptr) {}

int PageContainer::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) {
  auto* handle = reinterpret_cast<PageContainer::CachedFont*>(font);
  if (!handle || !text || !*text) return 0;
  return gdi::FontEngine::Shared().Advance(handle->font, Utf8ToUtf16(text));
}

void PageContainer::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr font,
                              litehtml::web_color color, const litehtml::position& pos) {
  auto* target = reinterpret_cast<DrawTarget*>(hdc);
  auto* handle = reinterpret_cast<PageContainer::CachedFont*>(font);
  if (!target || !handle || !text || !*text) return;
  const gdi::FontMetrics& m = handle->metrics;
  const int baseline = pos.y + pos.height - m.descent;
  const gdi::Pixel rgb = ToRgb(color);
  gdi::FontEngine::Shared().Draw(*target->surface, handle->font, pos.x, baseline - m.ascent, Utf8ToUtf16(text),
                                 rgb, target->clip);
  if (handle->decoration & litehtml::font_decoration_underline) {
    FillRect(*target, {pos.x, baseline + 1, pos.x + pos.width, baseline + 2}, rgb);
  }
  if (handle->decoration & litehtml::font_decoration_linethrough) {
    const int y = baseline - m.ascent / 4;
    FillRect(*target, {pos.x, y, pos.x + pos.width, y + 1}, rgb);
  }
}

int PageContainer::pt_to_px(int pt) const { return pt * screen_.dpi / 72; }

int PageContainer::get_default_font_size() const { return std::max(1, kDefaultFontSize * screen_.dpi / 96); }

void PageContainer::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
  auto* target = reinterpret_cast<DrawTarget*>(hdc);
  if (!target || marker.marker_type == litehtml::list_style_type_none) return;
  const litehtml::position& p = marker.pos;
  const int side = std::max(2, std::min(p.width, p.height) / 2);
  const int x = p.x + (p.width - side) / 2, y = p.y + (p.height - side) / 2;
  FillRect(*target, {x, y, x + side, y + side}, ToRgb(marker.color));
}

std::shared_ptr<litehtml::element> PageContainer::create_element(const litehtml::tchar_t* tag,
                                                                 const litehtml::string_map&,
                                                                 const std::shared_ptr<litehtml::document>& doc) {
  return CreatePageElement(tag, doc);
}

void PageContainer::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) {
  if (src && *src) page_.NotePictureName(src);
}

void PageContainer::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*, litehtml::size& sz) {
  sz.width = sz.height = 0;
  if (!src) return;
  const HtmlPage::PictureSlot* slot = page_.FindPicture(src);
  if (!slot) return;
  if (slot->state == HtmlPage::PictureState::kFailed) {
    sz.width = sz.height = kPlaceholderSize;
    return;
  }
  if (slot->state != HtmlPage::PictureState::kAnswered) return;
  sz.width = std::max(0, slot->picture.width);
  sz.height = std::max(0, slot->picture.height);
  if (page_.shrink() && view_width_ > 0 && sz.width > view_width_) {
    sz.height = static_cast<int>(static_cast<long>(sz.height) * view_width_ / sz.width);
    sz.width = view_width_;
  }
}

void PageContainer::FillRect(const DrawTarget& target, const gdi::Rect& rect, gdi::Pixel color) {
  const gdi::Rect r = rect.Intersect(target.clip);
  if (!r.IsEmpty()) target.surface->Fill(r, color);
}

void PageContainer::DrawPicture(const DrawTarget& target, const std::string& name, const litehtml::position& box,
                                const gdi::Rect& clip) {
  if (box.width <= 0 || box.height <= 0) return;
  const HtmlPage::PictureSlot* slot = page_.FindPicture(name);
  if (!slot) return;
  const gdi::Rect area = ToRect(box).Intersect(clip).Intersect(target.clip);
  if (area.IsEmpty()) return;
  if (slot->state == HtmlPage::PictureState::kFailed) {
    // A refused picture shows as a grey frame.
    const gdi::Pixel grey = gdi::MakePixel(0xA0, 0xA0, 0xA0);
    const gdi::Rect r = ToRect(box);
    const DrawTarget framed{target.surface, area};
    FillRect(framed, {r.left, r.top, r.right, r.top + 1}, grey);
    FillRect(framed, {r.left, r.bottom - 1, r.right, r.bottom}, grey);
    FillRect(framed, {r.left, r.top, r.left + 1, r.bottom}, grey);
    FillRect(framed, {r.right - 1, r.top, r.right, r.bottom}, grey);
    return;
  }
  if (slot->state == HtmlPage::PictureState::kAnswered && slot->picture.draw)
    slot->picture.draw(*target.surface, ToRect(box), area);
}

void PageContainer::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) {
  auto* target = reinterpret_cast<DrawTarget*>(hdc);
  if (!target) return;
  if (bg.color.alpha > 0) {
    const gdi::Rect area = ToRect(bg.clip_box);
    if (bg.color.alpha == 255) {
      FillRect(*target, area, ToRgb(bg.color));
    } else {
      const gdi::Rect r = area.Intersect(target->clip);
      const gdi::Surface solid(std::max(0, r.Width()), std::max(0, r.Height()), ToRgb(bg.color));
      if (!r.IsEmpty()) target->surface->Blend(solid, 0, 0, r, bg.color.alpha);
    }
  }
  if (bg.image.empty() || bg.image_size.width <= 0 || bg.image_size.height <= 0) return;
  const gdi::Rect clip = ToRect(bg.clip_box);
  const int w = bg.image_size.width, h = bg.image_size.height;
  const bool repeat_x = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_x;
  const bool repeat_y = bg.repeat == litehtml::background_repeat_repeat || bg.repeat == litehtml::background_repeat_repeat_y;
  int x0 = bg.position_x, y0 = bg.position_y;
  if (repeat_x) while (x0 > clip.left) x0 -= w;
  if (repeat_y) while (y0 > clip.top) y0 -= h;
  for (int y = y0; y < clip.bottom; y += h) {
    for (int x = x0; x < clip.right; x += w) {
      DrawPicture(*target, bg.image, litehtml::position(x, y, w, h), clip);
      if (!repeat_x) break;
    }
    if (!repeat_y) break;
  }
}

void PageContainer::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                 const litehtml::position& p, bool) {
  auto* target = reinterpret_cast<DrawTarget*>(hdc);
  if (!target) return;
  auto visible = [](const litehtml::border& b) {
    return b.width > 0 && b.style != litehtml::border_style_none && b.style != litehtml::border_style_hidden;
  };
  if (visible(borders.top))
    FillRect(*target, {p.x, p.y, p.right(), p.y + borders.top.width}, ToRgb(borders.top.color));
  if (visible(borders.bottom))
    FillRect(*target, {p.x, p.bottom() - borders.bottom.width, p.right(), p.bottom()}, ToRgb(borders.bottom.color));
  if (visible(borders.left))
    FillRect(*target, {p.x, p.y, p.x + borders.left.width, p.bottom()}, ToRgb(borders.left.color));
  if (visible(borders.right))
    FillRect(*target, {p.right() - borders.right.width, p.y, p.right(), p.bottom()}, ToRgb(borders.right.color));
}

void PageContainer::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
  // Only ASCII letters change case; that covers what small pages use.
  if (tt == litehtml::text_transform_uppercase) {
    for (char& c : text) if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  } else if (tt == litehtml::text_transform_lowercase) {
    for (char& c : text) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  } else if (tt == litehtml::text_transform_capitalize && !text.empty() && text[0] >= 'a' && text[0] <= 'z') {
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
  }
}

void PageContainer::get_client_rect(litehtml::position& client) const {
  client = litehtml::position(0, 0, view_width_, screen_.height);
}

void PageContainer::get_media_features(litehtml::media_features& media) const {
  media.type = litehtml::media_type_screen;
  media.width = view_width_;
  media.height = screen_.height;
  media.device_width = screen_.width;
  media.device_height = screen_.height;
  media.color = 8;
  media.monochrome = 0;
  media.color_index = 256;
  media.resolution = screen_.dpi;
}

void PageContainer::get_language(litehtml::tstring& language, litehtml::tstring& culture) const {
  language = "en";
  culture.clear();
}

void PageContainer::split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                               const std::function<void(const litehtml::tchar_t*)>& on_space) {
  std::string word;
  size_t chars = 0;
  auto flush = [&] {
    if (word.empty()) return;
    if (chars <= kLongWord) {
      on_word(word.c_str());
    } else {
      // Cut at character boundaries so that no UTF-8 sequence is split.
      std::string piece;
      size_t in_piece = 0;
      for (size_t pos = 0; pos < word.size();) {
        const size_t start = pos++;
        while (pos < word.size() && (static_cast<unsigned char>(word[pos]) & 0xC0) == 0x80) ++pos;
        piece.append(word, start, pos - start);
        if (++in_piece == kWordPiece) {
          on_word(piece.c_str());
          piece.clear();
          in_piece = 0;
        }
      }
      if (!piece.empty()) on_word(piece.c_str());
    }
    word.clear();
    chars = 0;
  };
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (IsSpace(c)) {
      flush();
      const char space[2] = {static_cast<char>(c), 0};
      on_space(space);
      continue;
    }
    word += static_cast<char>(c);
    if ((c & 0xC0) != 0x80) ++chars;
  }
  flush();
}

}  // namespace pellix::device::htmlview
