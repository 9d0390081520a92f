#include "htmlview/html_page.h"

#include <litehtml/litehtml.h>
#include <litehtml/el_break.h>
#include <litehtml/el_space.h>
#include <litehtml/el_text.h>

#include <algorithm>

#include "htmlview/master_style.h"
#include "htmlview/page_bounds.h"
#include "htmlview/page_container.h"
#include "kernel/device_image.h"

namespace pellix::device::htmlview {

HtmlPage::HtmlPage() : container_(std::make_unique<PageContainer>(*this)) {}

HtmlPage::~HtmlPage() {
  // The document's fonts are released through the container, so it goes first.
  doc_.reset();
}

void HtmlPage::Clear() {
  doc_.reset();
  source_.clear();
  styles_.clear();
  pictures_.clear();
  selected_ = false;
  layout_width_ = 0;
}

void HtmlPage::AddText(std::u16string_view html) { source_ += Utf16ToUtf8(html); }

void HtmlPage::AddStyle(std::u16string_view css) {
  styles_ += Utf16ToUtf8(css);
  styles_ += '\n';
}

void HtmlPage::SetScreen(int width, int height, int dpi) {
  container_->set_screen(ScreenGeometry{std::max(1, width), std::max(1, height), std::max(1, dpi)});
}

void HtmlPage::SetZoom(int level) {
  const int zoom = std::clamp(level, 0, 4);
  if (zoom == zoom_) return;
  zoom_ = zoom;
  container_->set_zoom(zoom_);
  // Text sizes are fixed when the document is built, so a finished one is built again.
  if (doc_) {
    BuildDocument();
    if (layout_width_ > 0) Layout(layout_width_);
  }
}

void HtmlPage::Parse(int width) {
  doc_.reset();
  pictures_.clear();
  selected_ = false;
  layout_width_ = 0;
  container_->set_view_width(std::max(1, width));
  BuildDocument();
}

void HtmlPage::Finish(int width) {
  Parse(width);
  Layout(width);
}

void HtmlPage::BuildDocument() {
  doc_.reset();
  container_->TrimFonts();
  container_->set_zoom(zoom_);
  std::string text = BoundPage(source_);
  if (!styles_.empty()) {
    // Added style sheets come after the page's own, so they win where both set a property.
    // A "</style" inside one would end it early; it is cut there.
    std::string css = styles_;
    if (size_t end = css.find("</"); end != std::string::npos) css.resize(end);
    text += "<style>";
    text += css;
    text += "</style>";
  }
  doc_ = litehtml::document::createFromUTF8(text.c_str(), container_.get(), &SharedContext());
  if (doc_ && doc_->root()) ShortenBackgroundNames(doc_->root());
}

namespace {
// Names the engine copies into each background paint, i.e. at every draw; a name short
// enough for the string's inline buffer is copied without touching the heap.
constexpr char kAliasMark = '\x1b';
const size_t kInlineName = std::string().capacity();

std::string PictureAlias(size_t index) { return kAliasMark + std::to_string(index); }
}  // namespace

// A background named "DesktopBackground" would cost a heap allocation at every draw, which an
// animation step (a redraw of a few smileys over the body's background) must not make. Such a
// name is replaced in the document by an alias of its picture slot, which FindPicture resolves.
void HtmlPage::ShortenBackgroundNames(const std::shared_ptr<litehtml::element>& el) {
  if (const litehtml::background* bg = el->get_background(true); bg && bg->m_image.size() > kInlineName) {
    for (size_t i = 0; i < pictures_.size(); ++i) {
      if (pictures_[i].name != bg->m_image) continue;
      std::string alias = PictureAlias(i);
      if (alias.size() <= kInlineName) const_cast<litehtml::background*>(bg)->m_image = std::move(alias);
      break;
    }
  }
  const size_t count = el->get_children_count();
  for (size_t i = 0; i < count; ++i) ShortenBackgroundNames(el->get_child(static_cast<int>(i)));
}

HtmlPage::PictureSlot* HtmlPage::FindPicture(std::string_view name) {
  if (!name.empty() && name.front() == kAliasMark) {
    size_t index = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return nullptr;
      index = index * 10 + static_cast<size_t>(c - '0');
      if (index >= pictures_.size()) return nullptr;
    }
    return name.size() > 1 ? &pictures_[index] : nullptr;
  }
  for (PictureSlot& slot : pictures_) {
    if (slot.name == name) return &slot;
  }
  return nullptr;
}

void HtmlPage::NotePictureName(std::string_view name) {
  if (!FindPicture(name)) pictures_.push_back(PictureSlot{std::string(name), PictureState::kWaiting, {}});
}

bool HtmlPage::SetPicture(size_t index, Picture picture) {
  if (index >= pictures_.size()) return false;
  PictureSlot& slot = pictures_[index];
  const bool resized = slot.state != PictureState::kAnswered || slot.picture.width != picture.width ||
                       slot.picture.height != picture.height;
  slot.state = PictureState::kAnswered;
  slot.picture = std::move(picture);
  return resized;
}

void HtmlPage::FailPicture(size_t index) {
  if (index < pictures_.size()) {
    pictures_[index].state = PictureState::kFailed;
    pictures_[index].picture = {};
  }
}

void HtmlPage::Layout(int width) {
  layout_width_ = std::max(1, width);
  container_->set_view_width(layout_width_);
  if (doc_) doc_->render(layout_width_);
}

int HtmlPage::height() const { return doc_ ? doc_->height() : 0; }
int HtmlPage::width() const { return doc_ ? doc_->width() : 0; }

void HtmlPage::Draw(gdi::Surface& target, const gdi::Rect& clip, int scroll_x, int scroll_y) {
  const gdi::Rect area = clip.Intersect(target.bounds());
  if (area.IsEmpty()) return;
  target.Fill(area, 0x00FFFFFF);
  if (!doc_) return;
  DrawTarget draw{&target, area};
  litehtml::position lclip(area.left, area.top, area.Width(), area.Height());
  doc_->draw(reinterpret_cast<litehtml::uint_ptr>(&draw), -scroll_x, -scroll_y, &lclip);
}

std::optional<std::u16string> HtmlPage::LinkAt(int x, int y) const {
  if (!doc_ || !doc_->root()) return std::nullopt;
  for (litehtml::element::ptr el = doc_->root()->get_element_by_point(x, y, x, y); el; el = el->parent()) {
    const char* tag = el->get_tagName();
    if (tag && litehtml::t_strcasecmp(tag, "a") == 0) {
      if (const char* href = el->get_attr("href")) return Utf8ToUtf16(href);
    }
  }
  return std::nullopt;
}

namespace {

bool EndsWithBreak(const std::string& out) { return out.empty() || out.back() == '\n'; }

void TrimTrailingSpaces(std::string& out) {
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
}

void NewLine(std::string& out) {
  TrimTrailingSpaces(out);
  if (!EndsWithBreak(out)) out += "\r\n";
}

// Collects text the way it reads on screen; the engine's own get_text() joins lines.
void CollectText(const litehtml::element::ptr& el, std::string& out) {
  if (dynamic_cast<litehtml::el_break*>(el.get())) {
    TrimTrailingSpaces(out);
    out += "\r\n";
    return;
  }
  if (dynamic_cast<litehtml::el_space*>(el.get())) {
    if (el->get_white_space() == litehtml::white_space_pre) {
      std::string text;
      el->get_text(text);
      out += text == "\n" ? "\r\n" : text;
    } else if (!out.empty() && out.back() != ' ' && out.back() != '\n' && out.back() != '\t') {
      out += ' ';
    }
    return;
  }
  if (dynamic_cast<litehtml::el_text*>(el.get())) {
    el->get_text(out);
    return;
  }
  const litehtml::style_display display = el->get_display();
  if (display == litehtml::display_none) return;
  const bool block = display == litehtml::display_block || display == litehtml::display_list_item ||
                     display == litehtml::display_table || display == litehtml::display_table_row ||
                     display == litehtml::display_table_caption;
  if (block) NewLine(out);
  if (display == litehtml::display_table_cell) {
    TrimTrailingSpaces(out);
    if (!EndsWithBreak(out)) out += '\t';
  }
  const size_t count = el->get_children_count();
  for (size_t i = 0; i < count; ++i) CollectText(el->get_child(static_cast<int>(i)), out);
  if (block) NewLine(out);
}

}  // namespace

std::u16string HtmlPage::Text() const {
  if (!doc_ || !doc_->root()) return {};
  std::string out;
  CollectText(doc_->root(), out);
  TrimTrailingSpaces(out);
  while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0) {
    out.resize(out.size() - 2);
    TrimTrailingSpaces(out);
  }
  return Utf8ToUtf16(out);
}

}  // namespace pellix::device::htmlview
