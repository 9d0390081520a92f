// coredll graphics: bitmaps, DIB sections, blits, alpha blending, pixels.
#include <algorithm>
#include <cstring>

#include "gdi/gdi_api.h"
#include "gdi/raster.h"

using namespace pellix::device;
using namespace pellix::device::gdi;

namespace {

DeviceContext* FindDC(ApiLock& api, HDC hdc) {
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

HBITMAP AddBitmap(ApiLock& api, Result<std::shared_ptr<Bitmap>> bitmap) {
  if (!bitmap) return nullptr;
  return static_cast<HBITMAP>(api.table().Add(std::move(bitmap.value())));
}

// Reads a BITMAPINFO into a description; false when the platform would refuse it.
bool Describe(const BITMAPINFO* info, UINT usage, DibDescription& d) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  // Headers run from the 40-byte one to the 124-byte fifth version; others are not headers.
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 124 || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN || h.biPlanes != 1)
    return false;
  const int bpp = h.biBitCount;
  if (h.biCompression == BI_BITFIELDS) {
    if (bpp != 16 && bpp != 32) return false;
  } else if (h.biCompression != BI_RGB) {
    return false;
  }
  d.width = h.biWidth;
  d.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  d.top_down = h.biHeight < 0;
  d.bits_per_pixel = bpp;
  // Colour masks sit right after the 40-byte header (inside the longer ones); the colour
  // table follows the whole header.
  const auto* base = reinterpret_cast<const uint8_t*>(info);
  if (h.biCompression == BI_BITFIELDS)
    std::memcpy(d.masks, base + sizeof(BITMAPINFOHEADER), sizeof(d.masks));
  const uint8_t* after = base + h.biSize;
  if (bpp <= 8) {
    const DWORD max = 1u << bpp;
    const DWORD count = h.biClrUsed && h.biClrUsed < max ? h.biClrUsed : max;
    d.palette.resize(count);
    for (DWORD i = 0; i < count; ++i) {
      if (usage == DIB_PAL_COLORS) {
        // Palette indexes into the system palette: a grey ramp stands in for it.
        const int v = static_cast<int>(i * 255 / std::max<DWORD>(1, count - 1));
        d.palette[i] = MakePixel(v, v, v);
        continue;
      }
      RGBQUAD q;
      std::memcpy(&q, after + i * sizeof(RGBQUAD), sizeof(q));
      d.palette[i] = MakePixel(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
  }
  return true;
}

BOOL DoBlit(HDC dst, const Rect& dst_rect, HDC src, const Rect& src_rect, DWORD rop,
            std::optional<Pixel> transparent = std::nullopt,
            std::optional<uint8_t> alpha = std::nullopt) {
  ApiLock api;
  DeviceContext* d = FindDC(api, dst);
  DeviceContext* s = src ? FindDC(api, src) : nullptr;
  if (!d || (src && !s)) return FALSE;
  BlitRequest request{dst_rect, s, src_rect, rop, transparent, alpha};
  return Blit(*d, request) ? TRUE : FALSE;
}

// Runs `draw` with a temporary memory context holding a DIB made from caller bits.
template <typename Draw>
int WithDibSource(const void* bits, const BITMAPINFO* info, UINT usage, Draw draw) {
  DibDescription d;
  if (!bits || !Describe(info, usage, d)) return 0;
  ApiLock api;
  auto bitmap = Bitmap::CreateDib(d);
  if (!bitmap) return 0;
  std::memcpy(bitmap.value()->bits(), bits, bitmap.value()->bits_size());
  auto dc = DeviceContext::Memory(bitmap.value());
  return draw(dc, d);
}

}  // namespace

HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits) {
  ApiLock api;
  if (nPlanes != 1) return nullptr;
  if (nBitCount == 1) return AddBitmap(api, Bitmap::CreateMonochrome(nWidth, nHeight, lpBits));
  auto bitmap = Bitmap::CreateDevice(nWidth, nHeight);
  if (bitmap && lpBits && nBitCount == 32) {
    Surface& s = bitmap.value()->Lock();
    const auto* src = static_cast<const Pixel*>(lpBits);
    for (int y = 0; y < nHeight; ++y)
      for (int x = 0; x < nWidth; ++x) s.Row(y)[x] = src[y * nWidth + x] & 0xFFFFFF;
    bitmap.value()->Unlock();
  }
  return AddBitmap(api, std::move(bitmap));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc || cx < 0 || cy < 0) return nullptr;
  if (cx == 0 || cy == 0) return AddBitmap(api, Bitmap::CreateMonochrome(1, 1, nullptr));
  // A memory context holding a monochrome bitmap makes monochrome bitmaps.
  if (dc->kind() == DeviceContext::Kind::kMemory && dc->bitmap && dc->bitmap->is_monochrome())
    return AddBitmap(api, Bitmap::CreateMonochrome(cx, cy, nullptr));
  return AddBitmap(api, Bitmap::CreateDevice(cx, cy));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE,
                         DWORD) {
  if (ppvBits) *ppvBits = nullptr;
  DibDescription d;
  if (!Describe(pbmi, usage, d)) return FailWith<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
  ApiLock api;
  if (hdc && !FindDC(api, hdc)) return nullptr;
  auto bitmap = Bitmap::CreateDib(d);
  if (!bitmap) return FailWith<HBITMAP>(static_cast<DWORD>(bitmap.error().code), nullptr);
  void* bits = bitmap.value()->bits();
  HBITMAP handle = AddBitmap(api, std::move(bitmap));
  if (handle && ppvBits) *ppvBits = bits;
  return handle;
}

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits, LPBITMAPINFO lpbmi,
              UINT usage) {
  if (!lpbmi) return 0;
  ApiLock api;
  auto source = api.table().FindAs<Bitmap>(hbm, ObjectKind::kBitmap);
  if (!FindDC(api, hdc) || !source) return 0;
  BITMAPINFOHEADER& h = lpbmi->bmiHeader;
  if (!lpvBits && h.biBitCount == 0) {
    // Describe the bitmap only.
    h.biWidth = source->width();
    h.biHeight = source->height();
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(source->is_dib() ? source->bits_per_pixel()
                                     : source->is_monochrome() ? 1 : 32);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(((h.biWidth * h.biBitCount + 31) / 32) * 4 * h.biHeight);
    return source->height();
  }
  DibDescription d;
  if (!Describe(lpbmi, usage, d) || d.width != source->width()) return 0;
  d.height = source->height();
  auto copy = Bitmap::CreateDib(d);
  if (!copy) return 0;
  const Surface& pixels = source->Read();
  Surface& out = copy.value()->Lock();
  out.Copy(pixels, 0, 0, out.bounds());
  copy.value()->Unlock();
  if (!lpvBits) return source->height();
  // Scan lines are counted from the bottom in bottom-up descriptions.
  const UINT height = static_cast<UINT>(d.height);
  if (start >= height) return 0;
  const UINT lines = std::min(cLines, height - start);
  const size_t stride = static_cast<size_t>(copy.value()->stride_bytes());
  const auto* bits = static_cast<const uint8_t*>(copy.value()->bits());
  std::memcpy(lpvBits, bits + start * stride, lines * stride);
  if (d.bits_per_pixel <= 8) {
    for (size_t i = 0; i < d.palette.size(); ++i) {
      const Pixel p = copy.value()->palette()[i];
      lpbmi->bmiColors[i] = RGBQUAD{static_cast<BYTE>(p), static_cast<BYTE>(p >> 8),
                                    static_cast<BYTE>(p >> 16), 0};
    }
  }
  return static_cast<int>(lines);
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT StartScan, UINT cLines, const void* lpvBits, const BITMAPINFO* lpbmi,
                      UINT ColorUse) {
  if (StartScan != 0) return 0;  // banded transfers are not used on the handheld
  return WithDibSource(lpvBits, lpbmi, ColorUse, [&](DeviceContext& src, const DibDescription& d) {
    ApiLock api;
    DeviceContext* dst = FindDC(api, hdc);
    if (!dst) return 0;
    const int width = static_cast<int>(std::min<DWORD>(w, 1u << 20));
    const int height = static_cast<int>(std::min<DWORD>(h, 1u << 20));
    BlitRequest request{Rect::FromSize(xDest, yDest, width, height), &src,
                        Rect::FromSize(xSrc, ySrc, width, height), SRCCOPY, {}, {}};
    return Blit(*dst, request) ? static_cast<int>(std::min<UINT>(cLines, d.height)) : 0;
  });
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                  int SrcWidth, int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi,
                  UINT iUsage, DWORD rop) {
  return WithDibSource(lpBits, lpbmi, iUsage, [&](DeviceContext& src, const DibDescription& d) {
    ApiLock api;
    DeviceContext* dst = FindDC(api, hdc);
    if (!dst) return 0;
    BlitRequest request{Rect::FromSize(xDest, yDest, DestWidth, DestHeight), &src,
                        Rect::FromSize(xSrc, ySrc, SrcWidth, SrcHeight), rop, {}, {}};
    return Blit(*dst, request) ? d.height : 0;
  });
}

BOOL BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
  return DoBlit(hdc, Rect::FromSize(x, y, cx, cy), hdcSrc, Rect::FromSize(x1, y1, cx, cy), rop);
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc,
                int ySrc, int wSrc, int hSrc, DWORD rop) {
  return DoBlit(hdcDest, Rect::FromSize(xDest, yDest, wDest, hDest), hdcSrc,
                Rect::FromSize(xSrc, ySrc, wSrc, hSrc), rop);
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  return DoBlit(hdc, Rect::FromSize(x, y, w, h), nullptr, Rect{}, rop);
}

BOOL AlphaBlend(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest, HDC hdcSrc,
                int xoriginSrc, int yoriginSrc, int wSrc, int hSrc, BLENDFUNCTION ftn) {
  if (ftn.BlendOp != AC_SRC_OVER || wDest < 0 || hDest < 0 || wSrc < 0 || hSrc < 0) return FALSE;
  {
    // The source rectangle must lie inside the source.
    ApiLock api;
    DeviceContext* s = FindDC(api, hdcSrc);
    if (!s) return FALSE;
    const Rect extent = s->Extent();
    const Rect src = Rect::FromSize(xoriginSrc, yoriginSrc, wSrc, hSrc);
    if (src.Intersect(extent) != src) return FALSE;
  }
  return DoBlit(hdcDest, Rect::FromSize(xoriginDest, yoriginDest, wDest, hDest), hdcSrc,
                Rect::FromSize(xoriginSrc, yoriginSrc, wSrc, hSrc), SRCCOPY, std::nullopt,
                ftn.SourceConstantAlpha);
}

BOOL TransparentBlt(HDC hdcDest, int xoriginDest, int yoriginDest, int wDest, int hDest,
                    HDC hdcSrc, int xoriginSrc, int yoriginSrc, int wSrc, int hSrc,
                    UINT crTransparent) {
  if (wDest < 0 || hDest < 0 || wSrc < 0 || hSrc < 0) return FALSE;
  return DoBlit(hdcDest, Rect::FromSize(xoriginDest, yoriginDest, wDest, hDest), hdcSrc,
                Rect::FromSize(xoriginSrc, yoriginSrc, wSrc, hSrc), SRCCOPY,
                PixelFromColorRef(crTransparent));
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return CLR_INVALID;
  auto source = dc->BeginRead();
  if (!source) return CLR_INVALID;
  const int sx = x + source->origin_x, sy = y + source->origin_y;
  if (!dc->Extent().Contains(x, y) || !source->surface->bounds().Contains(sx, sy))
    return CLR_INVALID;
  return ColorRefFromPixel(source->surface->At(sx, sy));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return CLR_INVALID;
  auto target = dc->BeginDraw();
  if (!target) return CLR_INVALID;
  const int sx = x + target->origin_x, sy = y + target->origin_y;
  COLORREF result = CLR_INVALID;
  if (target->clip.Contains(sx, sy)) {
    Pixel p = PixelFromColorRef(color);
    if (target->bitmap && target->bitmap->bits_per_pixel() <= 8)
      p = target->bitmap->NearestPaletteColor(p);
    target->surface->Set(sx, sy, p);
    result = ColorRefFromPixel(p);
  }
  dc->EndDraw(*target);
  return result;
}
