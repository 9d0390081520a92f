// coredll graphics: device contexts, objects, capabilities, colours and modes, painting.
#include <algorithm>
#include <cstring>

#include "gdi/gdi_api.h"
#include "gdi/raster.h"
#include "gdi/screen.h"
#include "gdi/window_view.h"
#include "kernel/device.h"

using namespace pellix::device;
using namespace pellix::device::gdi;

namespace pellix::device::gdi {

Font CurrentFont(ApiLock& api, const DeviceContext& dc) {
  return dc.font ? dc.font->font : api.table().SystemFont();
}

}  // namespace pellix::device::gdi

namespace {

DeviceContext* FindDC(ApiLock& api, HDC hdc) {
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

}  // namespace

// ---- Window painting ----

HDC GetDC(HWND hWnd) {
  ApiLock api;
  if (!hWnd) return api.table().AddDC(DeviceContext::Screen());
  if (!Windows().Find(hWnd)) return FailWith<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
  return api.table().AddDC(DeviceContext::Window(hWnd, false));
}

HDC GetWindowDC(HWND hWnd) {
  ApiLock api;
  if (!hWnd) return api.table().AddDC(DeviceContext::Screen());
  if (!Windows().Find(hWnd)) return FailWith<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
  return api.table().AddDC(DeviceContext::Window(hWnd, true));
}

int ReleaseDC(HWND, HDC hDC) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hDC);
  if (!dc || dc->kind() == DeviceContext::Kind::kMemory) return 0;
  return api.table().RemoveDC(hDC) ? 1 : 0;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint) {
  if (!lpPaint) return nullptr;
  ApiLock api;
  auto info = Windows().Find(hWnd);
  if (!info) return nullptr;
  UpdateArea update = Windows().TakeUpdateRegion(hWnd);
  const Rect client{0, 0, info->client.Width(), info->client.Height()};
  Region area = update.region.Intersect(client);
  auto dc = DeviceContext::Window(hWnd, false);
  dc.paint_region = area;
  const std::optional<Pixel> brush = BrushColor(info->background);
  if (update.erase && brush) FillArea(dc, area.Bounds(), *brush);
  std::memset(lpPaint, 0, sizeof(*lpPaint));
  lpPaint->fErase = update.erase && !brush;
  lpPaint->rcPaint = ToRECT(area.Bounds());
  lpPaint->hdc = api.table().AddDC(std::move(dc));
  return lpPaint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* lpPaint) {
  if (!lpPaint) return FALSE;
  ApiLock api;
  api.table().RemoveDC(lpPaint->hdc);
  return TRUE;
}

// ---- System colours ----

DWORD GetSysColor(int nIndex) { return ColorRefFromPixel(SystemColor(nIndex)); }

HBRUSH GetSysColorBrush(int nIndex) {
  ApiLock api;
  auto brush = SystemColorBrush(nIndex);
  return brush ? static_cast<HBRUSH>(api.table().HandleOf(brush.get())) : nullptr;
}

BOOL SetSysColors(int cElements, const int* lpaElements, const COLORREF* lpaRgbValues) {
  if (cElements < 0 || (cElements > 0 && (!lpaElements || !lpaRgbValues))) return FALSE;
  for (int i = 0; i < cElements; ++i)
    SetSystemColor(lpaElements[i], PixelFromColorRef(lpaRgbValues[i]));
  return TRUE;
}

// ---- Device contexts ----

HDC CreateDCW(LPCWSTR lpszDriver, LPCWSTR, LPCWSTR, const DEVMODEW*) {
  // Only the display exists on the handheld.
  static constexpr char16_t kDisplay[] = u"DISPLAY";
  if (!lpszDriver) return nullptr;
  for (size_t i = 0;; ++i) {
    char16_t c = lpszDriver[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (c != kDisplay[i]) return nullptr;
    if (c == 0) break;
  }
  ApiLock api;
  return api.table().AddDC(DeviceContext::Screen());
}

HDC CreateCompatibleDC(HDC hdc) {
  ApiLock api;
  if (hdc && !FindDC(api, hdc)) return nullptr;
  return api.table().AddDC(DeviceContext::Memory(api.table().DefaultBitmap()));
}

BOOL DeleteDC(HDC hdc) {
  ApiLock api;
  return api.table().RemoveDC(hdc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  auto object = api.table().Find(h);
  if (!dc || !object) return nullptr;
  GdiTable& t = api.table();
  auto previous = [&](const GdiObject* old, int stock) -> HGDIOBJ {
    HGDIOBJ handle = old ? t.HandleOf(old) : nullptr;
    return handle ? handle : t.Stock(stock);
  };
  switch (object->kind) {
    case ObjectKind::kBitmap: {
      if (dc->kind() != DeviceContext::Kind::kMemory) return nullptr;
      // A bitmap is drawn on through one memory context at a time.
      if (t.IsSelected(*object, dc)) return nullptr;
      HGDIOBJ old = dc->bitmap ? t.HandleOf(dc->bitmap.get()) : nullptr;
      dc->bitmap = std::static_pointer_cast<Bitmap>(object);
      return old;
    }
    case ObjectKind::kBrush: {
      HGDIOBJ old = previous(dc->brush.get(), WHITE_BRUSH);
      dc->brush = std::static_pointer_cast<BrushObject>(object);
      return old;
    }
    case ObjectKind::kPen: {
      HGDIOBJ old = previous(dc->pen.get(), BLACK_PEN);
      dc->pen = std::static_pointer_cast<PenObject>(object);
      return old;
    }
    case ObjectKind::kFont: {
      HGDIOBJ old = previous(dc->font.get(), SYSTEM_FONT);
      dc->font = std::static_pointer_cast<FontObject>(object);
      return old;
    }
    case ObjectKind::kRegion: {
      dc->clip_region = std::static_pointer_cast<RegionObject>(object)->region;
      return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(RegionType(*dc->clip_region)));
    }
  }
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return nullptr;
  GdiTable& t = api.table();
  switch (type) {
    case OBJ_BITMAP: return dc->bitmap ? t.HandleOf(dc->bitmap.get()) : nullptr;
    case OBJ_BRUSH: return dc->brush ? t.HandleOf(dc->brush.get()) : t.Stock(WHITE_BRUSH);
    case OBJ_PEN: return dc->pen ? t.HandleOf(dc->pen.get()) : t.Stock(BLACK_PEN);
    case OBJ_FONT: return dc->font ? t.HandleOf(dc->font.get()) : t.Stock(SYSTEM_FONT);
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ ho) {
  ApiLock api;
  auto object = api.table().Find(ho);
  if (!object) return FailWith<BOOL>(ERROR_INVALID_HANDLE, FALSE);
  // Stock objects survive. An object a context has selected stays: the caller must select
  // something else first, or the platform leaks it.
  if (api.table().IsSelected(*object)) return FALSE;
  api.table().Remove(ho);
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ h) {
  ApiLock api;
  if (DeviceContext* dc = api.table().FindDC(static_cast<HDC>(h)))
    return dc->kind() == DeviceContext::Kind::kMemory ? OBJ_MEMDC : OBJ_DC;
  auto object = api.table().Find(h);
  if (!object) return 0;
  switch (object->kind) {
    case ObjectKind::kBitmap: return OBJ_BITMAP;
    case ObjectKind::kBrush: return OBJ_BRUSH;
    case ObjectKind::kPen: return OBJ_PEN;
    case ObjectKind::kFont: return OBJ_FONT;
    case ObjectKind::kRegion: return OBJ_REGION;
  }
  return 0;
}

int GetObjectW(HGDIOBJ h, int c, LPVOID pv) {
  ApiLock api;
  auto object = api.table().Find(h);
  if (!object || c < 0) return 0;
  auto give = [&](const void* data, int size) {
    if (!pv) return size;
    const int n = std::min(c, size);
    std::memcpy(pv, data, static_cast<size_t>(n));
    return n;
  };
  switch (object->kind) {
    case ObjectKind::kBitmap: {
      auto& b = static_cast<Bitmap&>(*object);
      DIBSECTION ds{};
      ds.dsBm.bmWidth = b.width();
      ds.dsBm.bmHeight = b.height();
      ds.dsBm.bmPlanes = 1;
      if (b.is_dib()) {
        ds.dsBm.bmBitsPixel = static_cast<WORD>(b.bits_per_pixel());
        ds.dsBm.bmWidthBytes = b.stride_bytes();
        ds.dsBm.bmBits = b.bits();
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b.width();
        ds.dsBmih.biHeight = b.top_down() ? -b.height() : b.height();
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(b.bits_per_pixel());
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b.stride_bytes()) * b.height();
        ds.dsBmih.biClrUsed = static_cast<DWORD>(b.palette().size());
        if (b.bits_per_pixel() == 16) {
          ds.dsBmih.biCompression = BI_BITFIELDS;
          std::copy(b.masks(), b.masks() + 3, ds.dsBitfields);
        }
        if (pv && c >= static_cast<int>(sizeof(DIBSECTION))) return give(&ds, sizeof(DIBSECTION));
      } else {
        const int bpp = b.is_monochrome() ? 1 : kScreenBitsPerPixel;
        ds.dsBm.bmBitsPixel = static_cast<WORD>(bpp);
        ds.dsBm.bmWidthBytes = ((b.width() * bpp + 15) / 16) * 2;
      }
      return give(&ds.dsBm, sizeof(BITMAP));
    }
    case ObjectKind::kBrush: {
      auto& brush = static_cast<BrushObject&>(*object);
      LOGBRUSH lb{brush.color ? static_cast<UINT>(BS_SOLID) : static_cast<UINT>(BS_NULL),
                  brush.color ? ColorRefFromPixel(*brush.color) : 0, 0};
      return give(&lb, sizeof(lb));
    }
    case ObjectKind::kPen: {
      auto& pen = static_cast<PenObject&>(*object);
      LOGPEN lp{pen.color ? static_cast<UINT>(PS_SOLID) : static_cast<UINT>(PS_NULL),
                POINT{pen.width, 0}, pen.color ? ColorRefFromPixel(*pen.color) : 0};
      return give(&lp, sizeof(lp));
    }
    case ObjectKind::kFont: {
      auto& font = static_cast<FontObject&>(*object).font;
      LOGFONTW lf{};
      lf.lfHeight = -font.pixel_size;
      lf.lfWeight = (font.style == FontStyle::kBold || font.style == FontStyle::kBoldOblique)
                        ? FW_BOLD : FW_NORMAL;
      lf.lfItalic = font.style == FontStyle::kOblique || font.style == FontStyle::kBoldOblique;
      std::memcpy(lf.lfFaceName, u"DejaVu Sans", sizeof(u"DejaVu Sans"));
      return give(&lf, sizeof(lf));
    }
    case ObjectKind::kRegion:
      return 0;
  }
  return 0;
}

int SaveDC(HDC hdc) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc ? dc->Save() : 0;
}

BOOL RestoreDC(HDC hdc, int nSavedDC) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc && dc->Restore(nSavedDC) ? TRUE : FALSE;
}

HGDIOBJ GetStockObject(int i) {
  ApiLock api;
  return api.table().Stock(i);
}

int GetDeviceCaps(HDC hdc, int index) {
  ApiLock api;
  if (!FindDC(api, hdc)) return 0;
  const Profile& profile = Device::Get().profile();
  switch (index) {
    case DRIVERVERSION: return 0x0400;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZRES: return profile.screen_width;
    case VERTRES: return profile.screen_height;
    case HORZSIZE: return profile.screen_width * 254 / (profile.dpi * 10);
    case VERTSIZE: return profile.screen_height * 254 / (profile.dpi * 10);
    case BITSPIXEL: return kScreenBitsPerPixel;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT;
    case LOGPIXELSX:
    case LOGPIXELSY: return profile.dpi;
    case SIZEPALETTE: return 0;
  }
  return 0;
}

// ---- Colours and modes ----

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return CLR_INVALID;
  const COLORREF old = ColorRefFromPixel(dc->text_color);
  dc->text_color = PixelFromColorRef(color);
  return old;
}

COLORREF GetTextColor(HDC hdc) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc ? ColorRefFromPixel(dc->text_color) : CLR_INVALID;
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return CLR_INVALID;
  const COLORREF old = ColorRefFromPixel(dc->bk_color);
  dc->bk_color = PixelFromColorRef(color);
  return old;
}

COLORREF GetBkColor(HDC hdc) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc ? ColorRefFromPixel(dc->bk_color) : CLR_INVALID;
}

int SetBkMode(HDC hdc, int mode) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  const int old = dc->bk_mode;
  dc->bk_mode = mode;
  return old;
}

int GetBkMode(HDC hdc) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc ? dc->bk_mode : 0;
}

UINT SetTextAlign(HDC hdc, UINT align) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return GDI_ERROR;
  const UINT old = dc->text_align;
  dc->text_align = align;
  return old;
}

UINT GetTextAlign(HDC hdc) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  return dc ? dc->text_align : GDI_ERROR;
}
