// The state behind one "DISPLAYCLASS" window: its page, the picture requests it has made and
// the pixels it paints from. The window procedures in display_window.cpp are a thin layer
// that turns messages into calls here.
//
// Threads: a view belongs to the thread that created its window; only that thread's window
// procedures touch it.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "htmlview/html_page.h"

#include <windows.h>
#include <htmlctrl.h>

namespace pellix::device::htmlview {

// Draws a bitmap scaled onto `box` of the target, inside `clip`; nothing for a handle that is
// not a bitmap (any more). Pictures are read each time the page is drawn, since their owner may
// change them between paints.
void DrawBitmap(HBITMAP bitmap, gdi::Surface& target, const gdi::Rect& box, const gdi::Rect& clip);

class DisplayView {
 public:
  explicit DisplayView(HWND window) : window_(window) {}
  ~DisplayView();

  HWND window() const { return window_; }
  HWND canvas() const { return canvas_; }
  void set_canvas(HWND canvas) { canvas_ = canvas; }
  HtmlPage& page() { return page_; }

  // Document messages.
  void Clear();
  void EndOfSource();
  // Answers to picture requests, by cookie; unknown cookies (an older document) are ignored.
  bool SetImage(const INLINEIMAGEINFO* info);
  bool ImageFail(DWORD cookie);
  void SetZoom(int level);
  void Resized();

  // Input on the canvas, in canvas (client) coordinates.
  void Tap(POINT point);
  void ContextMenu(POINT client_point);
  void ScrollBy(int dy);
  void ScrollTo(int y);
  int scroll_y() const { return scroll_y_; }
  int max_scroll() const;

  // Paints the page into a context from BeginPaint (or GetDC).
  void Paint(HDC dc);

 private:
  struct OwnedPicture {
    HBITMAP bitmap = nullptr;
    bool owned = false;  // bOwnBitmap: the view deletes it
  };

  int ClientWidth() const;
  int ClientHeight() const;
  LRESULT Notify(UINT code, void* record);
  void Relayout();
  void UpdateScrollBar();
  void FreePictures();

  HWND window_;
  HWND canvas_ = nullptr;
  HtmlPage page_;
  std::map<DWORD, size_t> cookies_;  // cookie -> picture index of the current document
  std::map<size_t, std::unique_ptr<OwnedPicture>> bitmaps_;
  DWORD next_cookie_ = 1;
  bool requesting_ = false;  // inside EndOfSource's requests: lay out once at the end
  int scroll_y_ = 0;
};

}  // namespace pellix::device::htmlview
