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

#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

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
class Remembering : public Base {
 public:
  explicit Remembering(const std::shared_ptr<litehtml::document>& doc) : Base(doc) {}

  const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                              const litehtml::tchar_t* def) const override {
    if (!inherited || !final_) return Base::get_style_property(name, inherited, def);
    for (size_t i = 0; i < found_count_; ++i) {
      if (found_[i].first == name) return found_[i].second ? found_[i].second : def;
    }
    const litehtml::tchar_t* value = Base::get_style_property(name, true, nullptr);
    if (found_count_ < found_.size()) found_[found_count_++] = {name, value};
    return value ? value : def;
  }

  void parse_styles(bool is_reparse) override {
    found_count_ = 0;
    final_ = true;
    Base::parse_styles(is_reparse);
  }

  void refresh_styles() override {
    found_count_ = 0;
    final_ = false;
    Base::refresh_styles();
  }

  void apply_stylesheet(const litehtml::css& stylesheet) override {
    found_count_ = 0;
    final_ = false;
    Base::apply_stylesheet(stylesheet);
  }

 private:
  // Room for every inherited property the engine reads; beyond it lookups are simply not kept.
  mutable std::array<std::pair<const litehtml::tchar_t*, const litehtml::tchar_t*>, 48> found_{};
  mutable size_t found_count_ = 0;
  bool final_ = false;
};

bool IsTag(const litehtml::element::ptr& el, const char* tag) {
  const char* name = el ? el->get_tagName() : nullptr;
  return name && std::strcmp(name, tag) == 0;
}

bool IsOneOf(const char* value, std::initializer_list<const char*> words) {
  if (!value) return false;
  for (const char* word : words)
    if (litehtml::t_strcasecmp(value, word) == 0) return true;
  return false;
}

bool IsCount(const char* text) {
  size_t digits = 0;
  for (; text[digits]; ++digits)
    if (text[digits] < '0' || text[digits] > '9' || digits >= 4) return false;
  return digits > 0;
}

enum class Hints { kCell, kTable, kPicture, kBlock };

// Presentational attributes become properties of the element itself, as browsers treat them:
// above the master sheet, below the page's style sheets and its style attributes, which the
// engine applies later. Done here rather than with attribute rules in the master sheet because
// the engine tests every rule against every element and parses a matching rule's text again
// for each element it matches.
template <class Base, Hints kKind>
class Hinted final : public Remembering<Base> {
 public:
  using Remembering<Base>::Remembering;

  void parse_attributes() override {
    Base::parse_attributes();
    if constexpr (kKind == Hints::kCell) {
      CellHints();
    } else if constexpr (kKind == Hints::kTable) {
      // border="N": an outset frame N pixels wide (1 when N is not a number); "0" has none.
      if (const char* border = this->get_attr("border"); border && std::strcmp(border, "0") != 0) {
        const std::string frame = (IsCount(border) ? std::string(border) : std::string("1")) + "px outset gray";
        Hint("border", frame.c_str());
      }
    } else if constexpr (kKind == Hints::kPicture) {
      const char* align = this->get_attr("align");
      if (IsOneOf(align, {"left", "right"})) Hint("float", align);
      if (IsOneOf(align, {"middle", "absmiddle"})) Hint("vertical-align", "middle");
    } else {
      const char* align = this->get_attr("align");
      if (IsOneOf(align, {"left", "center", "right", "justify"})) Hint("text-align", align);
    }
  }

 private:
  void Hint(const char* name, const char* value) { this->m_style.add_property(name, value, nullptr, false, this); }

  void CellHints() {
    const litehtml::element::ptr row = this->parent();
    litehtml::element::ptr table = row;
    while (table && !IsTag(table, "table")) table = table->parent();
    if (table) {
      // border="0" leaves the cells as they are: without a border style they have none.
      const char* border = table->get_attr("border");
      if (border && std::strcmp(border, "0") != 0) Hint("border", "1px inset gray");
      if (const char* padding = table->get_attr("cellpadding"); padding && IsCount(padding)) {
        const std::string px = std::string(padding) + "px";
        Hint("padding", px.c_str());
      }
    }
    // A cell's own alignment, else its row's.
    const bool in_row = IsTag(row, "tr");
    const char* align = this->get_attr("align");
    if (!align && in_row) align = row->get_attr("align");
    if (IsOneOf(align, {"left", "center", "right", "justify"})) Hint("text-align", align);
    const char* valign = this->get_attr("valign");
    if (!valign && in_row) valign = row->get_attr("valign");
    if (IsOneOf(valign, {"top", "middle", "bottom", "baseline"})) Hint("vertical-align", valign);
    if (this->get_attr("nowrap")) Hint("white-space", "nowrap");
  }
};

template <class T>
std::shared_ptr<litehtml::element> Make(const std::shared_ptr<litehtml::document>& doc) {
  return std::make_shared<Remembering<T>>(doc);
}

}  // namespace

// The engine's own choice of element class for each tag, each remembering its lookups, and
// the tags with presentational attributes taking them as properties.
std::shared_ptr<litehtml::element> CreatePageElement(const char* tag,
                                                     const std::shared_ptr<litehtml::document>& doc) {
  auto is = [tag](const char* name) { return std::strcmp(tag, name) == 0; };
  if (is("br")) return Make<litehtml::el_break>(doc);
  if (is("p")) return std::make_shared<Hinted<litehtml::el_para, Hints::kBlock>>(doc);
  if (is("img")) return std::make_shared<Hinted<litehtml::el_image, Hints::kPicture>>(doc);
  if (is("table")) return std::make_shared<Hinted<litehtml::el_table, Hints::kTable>>(doc);
  if (is("td") || is("th")) return std::make_shared<Hinted<litehtml::el_td, Hints::kCell>>(doc);
  if (is("link")) return Make<litehtml::el_link>(doc);
  if (is("title")) return Make<litehtml::el_title>(doc);
  if (is("a")) return Make<litehtml::el_anchor>(doc);
  if (is("tr")) return Make<litehtml::el_tr>(doc);
  if (is("style")) return std::make_shared<litehtml::el_style>(doc);
  if (is("base")) return Make<litehtml::el_base>(doc);
  if (is("body")) return Make<litehtml::el_body>(doc);
  if (is("div")) return std::make_shared<Hinted<litehtml::el_div, Hints::kBlock>>(doc);
  if (is("script")) return std::make_shared<litehtml::el_script>(doc);
  if (is("font")) return Make<litehtml::el_font>(doc);
  return Make<litehtml::html_tag>(doc);
}

}  // namespace pellix::device::htmlview
