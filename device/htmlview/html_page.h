// The engine behind one HTML view: the document's source as it is added, its pictures by name,
// its layout at the view's width, drawing into pixels, link hit testing and text extraction.
// No windows here; the "DISPLAYCLASS" window procedure drives one HtmlPage per view.
//
// Threads: a page, its fonts and its pictures belong to the thread that owns the view.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gdi/rect.h"
#include "gdi/surface.h"

namespace litehtml {
class document;
class element;
}

namespace pellix::device::htmlview {

class PageContainer;

// A picture the owner of the view supplied. It is drawn from its source each time the page
// draws, because the owner keeps the bitmap and may change it (the next frame of an animation).
struct Picture {
  int width = 0;
  int height = 0;
  // Scales the picture onto `box` of the target, changing only pixels inside `clip`.
  std::function<void(gdi::Surface& target, const gdi::Rect& box, const gdi::Rect& clip)> draw;
};

class HtmlPage {
 public:
  enum class PictureState { kWaiting, kAnswered, kFailed };

  HtmlPage();
  ~HtmlPage();
  HtmlPage(const HtmlPage&) = delete;
  HtmlPage& operator=(const HtmlPage&) = delete;

  // Drops the document, its source, style sheets, pictures and selection. Zoom and shrink stay.
  void Clear();
  void AddText(std::u16string_view html);
  void AddStyle(std::u16string_view css);
  // 0 (smallest text) to 4 (largest); 2 is the normal size. Out-of-range levels are clamped.
  // A finished document is built again with the new text sizes, keeping its picture answers.
  void SetZoom(int level);
  int zoom() const { return zoom_; }
  // The screen the page is shown on: its dots per inch set the normal text size and what a
  // point is, its size what media queries see. Takes effect from the next Parse.
  void SetScreen(int width, int height, int dpi);
  // Pictures wider than the view are scaled down to its width.
  void SetShrink(bool shrink) { shrink_ = shrink; }

  // Parses the source added so far for a view `width` pixels wide, without laying it out: the
  // pictures are listed (in order of first appearance, each name once) so that they can be
  // answered before the first layout. Until Layout, height() is 0.
  void Parse(int width);
  // Parse and Layout in one.
  void Finish(int width);
  bool finished() const { return doc_ != nullptr; }
  bool laid_out() const { return doc_ != nullptr && layout_width_ > 0; }

  size_t picture_count() const { return pictures_.size(); }
  const std::string& picture_name(size_t index) const { return pictures_[index].name; }
  PictureState picture_state(size_t index) const { return pictures_[index].state; }
  // Answers a request; returns true when the layout must be redone (the size is new).
  bool SetPicture(size_t index, Picture picture);
  void FailPicture(size_t index);

  // Lays the document out again at `width` (after picture answers or a resize).
  void Layout(int width);
  int layout_width() const { return layout_width_; }
  int height() const;
  int width() const;

  // Draws the part of the document at (scroll_x, scroll_y) into the target's `clip` area. The
  // background outside the document is white.
  void Draw(gdi::Surface& target, const gdi::Rect& clip, int scroll_x, int scroll_y);

  // The href of the link under a point in document coordinates, if any.
  std::optional<std::u16string> LinkAt(int x, int y) const;

  // The document's text, with "\r\n" where lines break (<br>, blocks, table rows) and cells
  // separated by a tab.
  std::u16string Text() const;
  void SelectAll() { selected_ = finished(); }
  void ClearSelection() { selected_ = false; }
  bool has_selection() const { return selected_; }
  std::u16string SelectedText() const { return selected_ ? Text() : std::u16string(); }

  // For the container: a picture by the name used in the document.
  struct PictureSlot {
    std::string name;
    PictureState state = PictureState::kWaiting;
    Picture picture;
  };
  PictureSlot* FindPicture(std::string_view name);
  void NotePictureName(std::string_view name);
  bool shrink() const { return shrink_; }

 private:
  void BuildDocument();
  void ShortenBackgroundNames(const std::shared_ptr<litehtml::element>& el);

  std::unique_ptr<PageContainer> container_;
  std::shared_ptr<litehtml::document> doc_;
  std::string source_;  // UTF-8
  std::string styles_;  // UTF-8
  std::vector<PictureSlot> pictures_;
  int zoom_ = 2;
  bool shrink_ = false;
  bool selected_ = false;
  int layout_width_ = 0;
};


}  // namespace pellix::device::htmlview
