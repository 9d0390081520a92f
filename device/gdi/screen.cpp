#include "gdi/screen.h"

#include <algorithm>
#include <unordered_set>

#include "gdi/font_engine.h"
#include "gdi/gdi_objects.h"
#include "kernel/device.h"

namespace pellix::device::gdi {
namespace {

Pixel Mix(Pixel a, Pixel b, int t, int range) {
  auto lerp = [&](int shift) {
    const int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return ca + (cb - ca) * t / std::max(range, 1);
  };
  return MakePixel(lerp(16), lerp(8), lerp(0));
}

void VerticalGradient(Surface& s, const Rect& r, Pixel top, Pixel bottom) {
  for (int y = r.top; y < r.bottom; ++y)
    s.Fill(Rect{r.left, y, r.right, y + 1}, Mix(top, bottom, y - r.top, r.Height() - 1));
}

}  // namespace

Screen::Screen(Device& device) {
  const Profile& profile = device.profile();
  framebuffer_ = Surface(profile.screen_width, profile.screen_height, 0);
  dpi_ = profile.dpi;
  // The bars take the heights the system metrics give to the caption and the menu bar, so
  // the work area the system reports lies exactly between them.
  title_bar_height_ = std::clamp(GetSystemMetrics(SM_CYCAPTION), 1, std::max(1, profile.screen_height / 4));
  soft_key_bar_height_ = std::clamp(GetSystemMetrics(SM_CYMENU), 1, std::max(1, profile.screen_height / 4));
}

// The desktop's pixels (and its text, hence the fonts) are made when the screen is first shown,
// so that a command that never shows the screen never opens a font.
const Surface& Screen::desktop() {
  if (desktop_.width() == 0 && framebuffer_.width() > 0) {
    desktop_ = Surface(framebuffer_.width(), framebuffer_.height(), 0);
    DrawDesktop(dpi_);
  }
  return desktop_;
}

// The handheld's home screen: a title bar with the home button, signal and battery along the
// top, a soft-key bar along the bottom, and a calm wallpaper between them.
void Screen::DrawDesktop(int dpi) {
  const int w = desktop_.width(), h = desktop_.height();
  auto scaled = [dpi](int px) { return std::max(1, px * dpi / 96); };
  FontEngine& fonts = FontEngine::Shared();

  VerticalGradient(desktop_, Rect{0, title_bar_height_, w, h - soft_key_bar_height_}, 0xDCE8F8,
                   0x6E95CF);
  // Gentle diagonal bands so the wallpaper reads as a picture, not a fill.
  for (int y = title_bar_height_; y < h - soft_key_bar_height_; ++y)
    for (int x = 0; x < w; ++x)
      if (((x + y) / scaled(24)) % 2 == 0) {
        const Pixel p = desktop_.At(x, y);
        desktop_.Set(x, y, Mix(p, 0xFFFFFF, 1, 12));
      }

  // Title bar.
  VerticalGradient(desktop_, Rect{0, 0, w, title_bar_height_}, 0x1C4FA8, 0x0A2A6E);
  DrawTitle(desktop_, u"Home");
  // Signal bars and a battery at the right end.
  const int bar = scaled(3), base = title_bar_height_ - scaled(7);
  int x = w - scaled(48);
  for (int i = 0; i < 4; ++i)
    desktop_.Fill(Rect{x + i * (bar + 1), base - scaled(3) * (i + 1), x + i * (bar + 1) + bar, base},
                  0xFFFFFF);
  x = w - scaled(22);
  const Rect battery = Rect::FromSize(x, base - scaled(10), scaled(14), scaled(10));
  desktop_.Fill(battery, 0xFFFFFF);
  desktop_.Fill(Rect{battery.left + 1, battery.top + 1, battery.right - 1, battery.bottom - 1},
                0x0A2A6E);
  desktop_.Fill(Rect{battery.left + 2, battery.top + 2, battery.right - 4, battery.bottom - 2},
                0x7CD957);
  desktop_.Fill(Rect{battery.right, battery.top + scaled(3), battery.right + scaled(2),
                     battery.bottom - scaled(3)},
                0xFFFFFF);

  // Soft-key bar.
  const Rect keys{0, h - soft_key_bar_height_, w, h};
  VerticalGradient(desktop_, keys, 0x3C3C3C, 0x1A1A1A);
  desktop_.Fill(Rect{w / 2, keys.top + scaled(4), w / 2 + 1, keys.bottom - scaled(4)}, 0x707070);
  const Font label{FontStyle::kRegular, scaled(12)};
  const FontMetrics lm = fonts.Metrics(label);
  const int ly = keys.top + (soft_key_bar_height_ - lm.height) / 2;
  const std::u16string_view left = u"Calendar", right = u"Contacts";
  fonts.Draw(desktop_, label, (w / 2 - fonts.Advance(label, left)) / 2, ly, left, 0xFFFFFF,
             desktop_.bounds());
  fonts.Draw(desktop_, label, w / 2 + (w / 2 - fonts.Advance(label, right)) / 2, ly, right,
             0xFFFFFF, desktop_.bounds());
}

// The left part of the title bar: the home button's mark and the title, stopping short of the
// signal bars at the right end.
void Screen::DrawTitle(Surface& target, std::u16string_view title) {
  auto scaled = [this](int px) { return std::max(1, px * dpi_ / 96); };
  const Rect band{0, 0, std::max(0, target.width() - scaled(52)), title_bar_height_};
  VerticalGradient(target, Rect{band.left, band.top, band.right, band.bottom}, 0x1C4FA8, 0x0A2A6E);
  const int flag = scaled(12), fx = scaled(6), fy = (title_bar_height_ - flag) / 2;
  // A plain white dot as the home button's mark.
  const int r = flag / 2;
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx)
      if (dx * dx + dy * dy <= r * r && band.Contains(fx + r + dx, fy + r + dy))
        target.Set(fx + r + dx, fy + r + dy, 0xFFFFFF);
  FontEngine& fonts = FontEngine::Shared();
  const Font font{FontStyle::kBold, scaled(12)};
  const FontMetrics tm = fonts.Metrics(font);
  fonts.Draw(target, font, fx + flag + scaled(6), (title_bar_height_ - tm.height) / 2, title, 0xFFFFFF, band);
}

// As on the handheld, the title bar names the application in front: the title of the topmost
// top-level window that fills the space between the bars. Bubbles and boxes are smaller and
// leave the title as it is.
const std::u16string* Screen::ApplicationTitle(const std::vector<WindowInfo>& windows) const {
  const int w = framebuffer_.width(), h = framebuffer_.height();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if (it->parent || !it->visible) continue;
    const Rect& r = it->window;
    if (r.left <= 0 && r.top <= title_bar_height_ && r.right >= w && r.bottom >= h - soft_key_bar_height_)
      return &it->text;
  }
  return nullptr;
}

Region Screen::VisibleRegion(const WindowInfo& window, const std::vector<WindowInfo>& all) {
  auto shape = [](const WindowInfo& w) {
    Region r(w.window);
    if (w.region) {
      Region own = *w.region;
      own.Offset(w.window.left, w.window.top);
      r = r.Intersect(own);
    }
    return r;
  };
  Region visible = shape(window);
  HWND parent = window.parent;
  // Guard against a malformed parent chain: at most as many steps as there are windows.
  for (size_t steps = 0; parent && steps <= all.size(); ++steps) {
    auto it = std::find_if(all.begin(), all.end(),
                           [parent](const WindowInfo& w) { return w.hwnd == parent; });
    if (it == all.end()) return Region();  // a hidden ancestor hides the window
    visible = visible.Intersect(shape(*it)).Intersect(it->client);
    parent = it->parent;
  }
  return visible;
}

Surface& Screen::WindowSurface(const WindowInfo& window) {
  Surface& s = windows_[window.hwnd];
  const int w = std::max(0, window.window.Width()), h = std::max(0, window.window.Height());
  if (s.width() != w || s.height() != h) {
    const Pixel fill = BrushColor(window.background).value_or(0xFFFFFF);
    Surface fresh(w, h, fill);
    fresh.Copy(s, 0, 0, Rect{0, 0, std::min(w, s.width()), std::min(h, s.height())});
    s = std::move(fresh);
  }
  return s;
}

void Screen::DropWindow(HWND hwnd) { windows_.erase(hwnd); }

void Screen::ComposeWindows(Surface& target, const std::vector<WindowInfo>& windows,
                            int origin_x, int origin_y) {
  for (const WindowInfo& w : windows) {
    if (!w.visible) continue;
    Surface& pixels = WindowSurface(w);
    Region visible = VisibleRegion(w, windows);
    visible.Offset(-origin_x, -origin_y);
    for (const Rect& r : visible.Rects())
      target.Copy(pixels, r.left + origin_x - w.window.left, r.top + origin_y - w.window.top, r);
  }
}

const Surface& Screen::Compose() {
  const Surface& under = desktop();
  framebuffer_.Copy(under, 0, 0, under.bounds());
  auto windows = Windows().VisibleWindows();
  if (const std::u16string* title = ApplicationTitle(windows)) DrawTitle(framebuffer_, *title);
  ComposeWindows(framebuffer_, windows, 0, 0);
  // Forget the surfaces of windows that are gone.
  if (windows_.size() > windows.size()) {
    std::unordered_set<HWND> shown;
    for (const WindowInfo& w : windows) shown.insert(w.hwnd);
    std::erase_if(windows_, [&](const auto& entry) {
      return !shown.count(entry.first) && !Windows().Find(entry.first);
    });
  }
  return framebuffer_;
}

void Screen::AddDamage(const Rect& screen_rect) {
  // Until someone watches, damage is not kept: drawing costs nothing more without a console.
  if (!layout_seen_) return;
  const Rect r = screen_rect.Intersect(framebuffer_.bounds());
  if (!r.IsEmpty()) damage_ = damage_.Union(Region(r));
}

namespace {

bool SameShape(const WindowInfo& a, const WindowInfo& b) {
  if (a.hwnd != b.hwnd || a.parent != b.parent || !(a.window == b.window) ||
      !(a.client == b.client) || a.visible != b.visible || a.region.has_value() != b.region.has_value())
    return false;
  return !a.region || *a.region == *b.region;
}

}  // namespace

Region Screen::TakeDamage() {
  auto layout = Windows().VisibleWindows();
  if (!layout_seen_) {
    // The first look: everything is new to the watcher.
    layout_seen_ = true;
    AddDamage(framebuffer_.bounds());
  } else if (layout.size() != last_layout_.size() ||
             !std::equal(layout.begin(), layout.end(), last_layout_.begin(), SameShape)) {
    // The z-order matters too, so a window counts as changed when anything at or below it in
    // the list differs; each changed window damages its old and its new place.
    size_t first = 0;
    while (first < layout.size() && first < last_layout_.size() &&
           SameShape(layout[first], last_layout_[first]))
      ++first;
    for (size_t i = first; i < last_layout_.size(); ++i) AddDamage(last_layout_[i].window);
    for (size_t i = first; i < layout.size(); ++i) AddDamage(layout[i].window);
  }
  // A new application in front, or a new title, changes the title bar.
  const std::u16string* title = ApplicationTitle(layout);
  std::optional<std::u16string> now = title ? std::optional<std::u16string>(*title) : std::nullopt;
  if (now != last_title_) AddDamage(Rect{0, 0, framebuffer_.width(), title_bar_height_});
  last_title_ = std::move(now);
  last_layout_ = std::move(layout);
  Region taken = std::move(damage_);
  damage_ = Region();
  return taken;
}

Result<Surface> Screen::CaptureWindow(HWND hwnd) {
  auto info = Windows().Find(hwnd);
  if (!info) return Fail("no such window", ERROR_INVALID_WINDOW_HANDLE);
  auto all = Windows().VisibleWindows();
  // The window and its descendants, treating the window itself as the root.
  std::vector<WindowInfo> tree;
  std::unordered_set<HWND> members{hwnd};
  WindowInfo root = *info;
  root.parent = nullptr;
  root.visible = true;
  tree.push_back(root);
  for (const WindowInfo& w : all) {
    if (w.hwnd == hwnd || !members.count(w.parent)) continue;
    members.insert(w.hwnd);
    tree.push_back(w);
  }
  Surface out(info->window.Width(), info->window.Height(), 0);
  ComposeWindows(out, tree, info->window.left, info->window.top);
  return out;
}

Screen& TheScreen() { return Device::Get().Component<Screen>(); }
PELLIX_BOOT_COMPONENT(Screen);

}  // namespace pellix::device::gdi
