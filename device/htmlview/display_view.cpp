#include "htmlview/display_view.h"

#include <algorithm>

#include "gdi/bitmap.h"
#include "gdi/device_context.h"
#include "gdi/gdi_objects.h"
#include "kernel/device_image.h"

namespace pellix::device::htmlview {

void DrawBitmap(HBITMAP bitmap, gdi::Surface& target, const gdi::Rect& box, const gdi::Rect& clip) {
  gdi::GdiTable& table = gdi::Gdi();
  std::lock_guard lock(table.mutex());
  auto source = table.FindAs<gdi::Bitmap>(reinterpret_cast<HGDIOBJ>(bitmap), gdi::ObjectKind::kBitmap);
  if (!source) return;
  const gdi::Surface& pixels = source->Read();
  target.Stretch(pixels, pixels.bounds(), box, clip);
}

DisplayView::~DisplayView() { FreePictures(); }

void DisplayView::FreePictures() {
  for (auto& [index, picture] : bitmaps_) {
    if (picture->owned && picture->bitmap) DeleteObject(picture->bitmap);
  }
  bitmaps_.clear();
}

int DisplayView::ClientWidth() const {
  RECT r{};
  GetClientRect(window_, &r);
  return std::max<int>(1, r.right - r.left);
}

int DisplayView::ClientHeight() const {
  RECT r{};
  GetClientRect(window_, &r);
  return std::max<int>(0, r.bottom - r.top);
}

LRESULT DisplayView::Notify(UINT code, void* record) {
  auto* header = static_cast<NMHDR*>(record);
  header->hwndFrom = window_;
  header->idFrom = static_cast<UINT_PTR>(static_cast<UINT>(GetWindowLongW(window_, GWL_ID)));
  header->code = code;
  HWND parent = GetParent(window_);
  if (!parent) return 0;
  return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(record));
}

void DisplayView::Clear() {
  page_.Clear();
  cookies_.clear();
  FreePictures();
  scroll_y_ = 0;
  UpdateScrollBar();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
}

void DisplayView::EndOfSource() {
  cookies_.clear();
  FreePictures();
  scroll_y_ = 0;
  // Each picture is asked for once per document, by name. Answers usually come back during the
  // notification, so the page is laid out for the first time once all have been asked for.
  page_.Parse(ClientWidth());
  requesting_ = true;
  const size_t count = page_.picture_count();
  for (size_t i = 0; i < count && IsWindow(window_); ++i) {
    const DWORD cookie = next_cookie_++;
    if (next_cookie_ == 0) next_cookie_ = 1;
    cookies_[cookie] = i;
    const std::u16string name = Utf8ToUtf16(page_.picture_name(i));
    NM_HTMLVIEW record{};
    record.szTarget = name.c_str();
    record.dwCookie = cookie;
    Notify(NM_INLINE_IMAGE, &record);
  }
  requesting_ = false;
  if (!IsWindow(window_)) return;
  Relayout();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
}

bool DisplayView::SetImage(const INLINEIMAGEINFO* info) {
  if (!info) return false;
  auto it = cookies_.find(info->dwCookie);
  if (it == cookies_.end()) return false;
  const size_t index = it->second;
  auto& slot = bitmaps_[index];
  if (slot && slot->owned && slot->bitmap && slot->bitmap != info->hbm) DeleteObject(slot->bitmap);
  slot = std::make_unique<OwnedPicture>();
  slot->bitmap = info->hbm;
  slot->owned = info->bOwnBitmap != FALSE;
  OwnedPicture* picture = slot.get();
  int width = info->iOrigWidth, height = info->iOrigHeight;
  if (width <= 0 || height <= 0) {
    BITMAP bm{};
    if (info->hbm && GetObjectW(info->hbm, sizeof(bm), &bm)) {
      width = bm.bmWidth;
      height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    }
  }
  const bool resized = page_.SetPicture(
      index, Picture{std::max(0, width), std::max(0, height),
                     [picture](gdi::Surface& target, const gdi::Rect& box, const gdi::Rect& clip) {
                       DrawBitmap(picture->bitmap, target, box, clip);
                     }});
  // During the requests the first layout is still to come.
  if (requesting_) return true;
  if (resized && page_.laid_out()) Relayout();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
  return true;
}

bool DisplayView::ImageFail(DWORD cookie) {
  auto it = cookies_.find(cookie);
  if (it == cookies_.end()) return false;
  page_.FailPicture(it->second);
  if (requesting_) return true;
  if (page_.laid_out()) Relayout();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
  return true;
}

void DisplayView::SetZoom(int level) {
  const int before = page_.zoom();
  page_.SetZoom(level);
  if (page_.zoom() != before && page_.laid_out()) {
    Relayout();
    if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
  }
}

void DisplayView::Resized() {
  RECT r{};
  GetClientRect(window_, &r);
  if (canvas_) MoveWindow(canvas_, 0, 0, r.right - r.left, r.bottom - r.top, FALSE);
  if (page_.laid_out() && page_.layout_width() != ClientWidth()) Relayout();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
}

void DisplayView::Relayout() {
  page_.Layout(ClientWidth());
  scroll_y_ = std::clamp(scroll_y_, 0, max_scroll());
  UpdateScrollBar();
}

int DisplayView::max_scroll() const { return std::max(0, page_.height() - ClientHeight()); }

void DisplayView::UpdateScrollBar() {
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = std::max(0, page_.height() - 1);
  si.nPage = static_cast<UINT>(ClientHeight());
  si.nPos = scroll_y_;
  SetScrollInfo(window_, SB_VERT, &si, TRUE);
}

void DisplayView::ScrollTo(int y) {
  const int target = std::clamp(y, 0, max_scroll());
  if (target == scroll_y_) return;
  scroll_y_ = target;
  UpdateScrollBar();
  if (canvas_) InvalidateRect(canvas_, nullptr, FALSE);
}

void DisplayView::ScrollBy(int dy) { ScrollTo(scroll_y_ + dy); }

void DisplayView::Tap(POINT point) {
  const auto href = page_.LinkAt(point.x, point.y + scroll_y_);
  if (!href) return;
  const std::u16string target = *href;
  NM_HTMLVIEW record{};
  record.szTarget = target.c_str();
  Notify(NM_HOTSPOT, &record);
}

void DisplayView::ContextMenu(POINT client_point) {
  POINT screen = client_point;
  ClientToScreen(canvas_ ? canvas_ : window_, &screen);
  std::u16string href;
  if (auto link = page_.LinkAt(client_point.x, client_point.y + scroll_y_)) href = *link;
  NM_HTMLCONTEXT record{};
  record.pt = screen;
  record.szLinkHREF = href.empty() ? nullptr : href.data();
  Notify(NM_CONTEXTMENU, &record);
}

void DisplayView::Paint(HDC dc) {
  gdi::GdiTable& table = gdi::Gdi();
  std::lock_guard lock(table.mutex());
  gdi::DeviceContext* context = table.FindDC(dc);
  if (!context) return;
  std::optional<gdi::DrawTarget> target = context->BeginDraw();
  if (!target) return;
  // The clip already holds the update area; the page paints every pixel inside it.
  for (const gdi::Rect& r : target->clip.Rects())
    page_.Draw(*target->surface, r, -target->origin_x, scroll_y_ - target->origin_y);
  context->EndDraw(*target);
}

}  // namespace pellix::device::htmlview
