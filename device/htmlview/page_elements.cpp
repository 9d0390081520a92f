#include "htmlview/page_elements.h"

#include <litehtml/litehtml.h>
#include <litehtml/el_anchor.h>
#include <litehtml/el_base.h>
#include <litehtml/el_body.h>
#include <litehtml/el_break.h>
#include <litehtml/el_div.h>
#include <litehtml/el_font.h>
#include <litehtml/el_image.h>
#include <litehtml/el_link.h>
#include <litehtml/el_para.h>
#include <litehtml/el_script.h>
#include <litehtml/el_style.h>
#include <litehtml/el_table.h>
#include <litehtml/el_td.h>
#include <litehtml/el_title.h>
#include <litehtml/el_tr.h>

#include <cstring>
#include <utility>
#include <vector>

namespace pellix::device::htmlview {

namespace {

// The engine looks every inherited property up by walking from the element to the root,
// one map lookup per ancestor, for each of some thirty properties of each element: most of
// the cost of building a page. Once an element's styles are final (its parse_styles has
// begun; ancestors parse before descendants), what an inherited lookup finds cannot change
// until the styles are refreshed, so each element remembers its answers. Names are the
// engine's literals: the same call site asks with the same pointer, and a different pointer
// with the same text is only a second entry.
template <class Base>
class Remembering final : public Base {
 public:
  explicit Remembering(const std::shared_ptr<litehtml::document>& doc) : Base(doc) {}

  const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                              const litehtml::tchar_t* def) const override {
    if (!inherited || !final_) return Base::get_style_property(name, inherited, def);
    for (const auto& [key, value] : found_) {
      if (key == name) return value ? value : def;
    }
    const litehtml::tchar_t* value = Base::get_style_property(name, true, nullptr);
    found_.emplace_back(name, value);
    return value ? value : def;
  }

  void parse_styles(bool is_reparse) override {
    found_.clear();
    final_ = true;
    Base::parse_styles(is_reparse);
  }

  void refresh_styles() override {
    found_.clear();
    final_ = false;
    Base::refresh_styles();
  }

  void apply_stylesheet(const litehtml::css& stylesheet) override {
    found_.clear();
    final_ = false;
    Base::apply_stylesheet(stylesheet);
  }

 private:
  mutable std::vector<std::pair<const litehtml::tchar_t*, const litehtml::tchar_t*>> found_;
  bool final_ = false;
};

template <class T>
std::shared_ptr<litehtml::element> Make(const std::shared_ptr<litehtml::document>& doc) {
  return std::make_shared<Remembering<T>>(doc);
}

}  // namespace

// The engine's own choice of element class for each tag, each remembering its lookups.
std::shared_ptr<litehtml::element> CreatePageElement(const char* tag,
                                                     const std::shared_ptr<litehtml::document>& doc) {
  auto is = [tag](const char* name) { return std::strcmp(tag, name) == 0; };
  if (is("br")) return Make<litehtml::el_break>(doc);
  if (is("p")) return Make<litehtml::el_para>(doc);
  if (is("img")) return Make<litehtml::el_image>(doc);
  if (is("table")) return Make<litehtml::el_table>(doc);
  if (is("td") || is("th")) return Make<litehtml::el_td>(doc);
  if (is("link")) return Make<litehtml::el_link>(doc);
  if (is("title")) return Make<litehtml::el_title>(doc);
  if (is("a")) return Make<litehtml::el_anchor>(doc);
  if (is("tr")) return Make<litehtml::el_tr>(doc);
  if (is("style")) return std::make_shared<litehtml::el_style>(doc);
  if (is("base")) return Make<litehtml::el_base>(doc);
  if (is("body")) return Make<litehtml::el_body>(doc);
  if (is("div")) return Make<litehtml::el_div>(doc);
  if (is("script")) return std::make_shared<litehtml::el_script>(doc);
  if (is("font")) return Make<litehtml::el_font>(doc);
  return Make<litehtml::html_tag>(doc);
}

}  // namespace pellix::device::htmlview
