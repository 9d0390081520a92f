// The layout engine's view of the device: text through the device's font engine, pictures
// from the page's answered requests, and drawing into the surface handed to HtmlPage::Draw.
#pragma once

#include <litehtml/litehtml.h>

#include <memory>
#include <vector>

#include "gdi/rect.h"
#include "gdi/surface.h"

namespace pellix::device::htmlview {

class HtmlPage;

// What HtmlPage::Draw passes through litehtml's opaque drawing handle.
struct DrawTarget {
  gdi::Surface* surface;
  gdi::Rect clip;  // inside the surface
};

// The handheld's screen, for CSS units, media queries and the default text size.
struct ScreenGeometry {
  int width = 240;
  int height = 320;
  int dpi = 96;
};

class PageContainer final : public litehtml::document_container {
 public:
  explicit PageContainer(HtmlPage& page);
  ~PageContainer();

  void set_zoom(int level) { zoom_ = level; }
  void set_view_width(int width) { view_width_ = width; }
  void set_screen(const ScreenGeometry& screen) { screen_ = screen; }
  // Forgets the cached fonts when there are many. REQUIRES: no document of this container
  // exists (their font handles point into the cache).
  void TrimFonts();

  litehtml::uint_ptr create_font(const litehtml::tchar_t* face_name, int size, int weight,
                                 litehtml::font_style italic, unsigned int decoration,
                                 litehtml::font_metrics* fm) override;
  void delete_font(litehtml::uint_ptr font) override;
  int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr font) override;
  void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr font,
                 litehtml::web_color color, const litehtml::position& pos) override;
  int pt_to_px(int pt) const override;
  int get_default_font_size() const override;
  const litehtml::tchar_t* get_default_font_name() const override { return "sans-serif"; }
  void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
  void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool redraw_on_ready) override;
  void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, litehtml::size& sz) override;
  void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
  void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders, const litehtml::position& draw_pos,
                    bool root) override;
  void set_caption(const litehtml::tchar_t*) override {}
  void set_base_url(const litehtml::tchar_t*) override {}
  void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
  void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
  void set_cursor(const litehtml::tchar_t*) override {}
  void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
  void import_css(litehtml::tstring&, const litehtml::tstring&, litehtml::tstring&) override {}
  void set_clip(const litehtml::position&, const litehtml::border_radiuses&, bool, bool) override {}
  void del_clip() override {}
  void get_client_rect(litehtml::position& client) const override;
  std::shared_ptr<litehtml::element> create_element(const litehtml::tchar_t* tag, const litehtml::string_map&,
                                                    const std::shared_ptr<litehtml::document>& doc) override;
  void get_media_features(litehtml::media_features& media) const override;
  void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;
  void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                  const std::function<void(const litehtml::tchar_t*)>& on_space) override;

 private:
  struct CachedFont;

  void FillRect(const DrawTarget& target, const gdi::Rect& rect, gdi::Pixel color);
  void DrawPicture(const DrawTarget& target, const std::string& name, const litehtml::position& box,
                   const gdi::Rect& clip);

  HtmlPage& page_;
  // Fonts outlive the documents that ask for them: a view shows page after page in the same
  // few sizes, so each is measured once. litehtml's delete_font leaves them here.
  std::vector<std::unique_ptr<CachedFont>> fonts_;
  int zoom_ = 2;
  int view_width_ = 240;
  ScreenGeometry screen_;
};

// Words longer than this many characters are cut into pieces of kWordPiece characters, so that
// a long address still wraps inside a narrow view.
inline constexpr size_t kLongWord = 16;
inline constexpr size_t kWordPiece = 8;

}  // namespace pellix::device::htmlview
