// The bubble's shape and background pictures, drawn with the platform's GDI.
#include <cstdlib>
#include <cstring>

#include "bubble/skin_shape.h"

namespace {

struct ONEBITINFO {
  BITMAPINFOHEADER header;
  RGBQUAD colours[2];
};

}  // namespace

int BuildSkinRegion(HBITMAP bitmap, HRGN* region) {
  *region = nullptr;
  BITMAP info;
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 ||
      info.bmHeight <= 0)
    return 2;
  const int w = info.bmWidth;
  const int h = info.bmHeight;

  ONEBITINFO bmi;
  memset(&bmi, 0, sizeof(bmi));
  bmi.header.biSize = 40;
  bmi.header.biWidth = w;
  bmi.header.biHeight = h;
  bmi.header.biPlanes = 1;
  bmi.header.biBitCount = 1;
  bmi.header.biCompression = BI_RGB;
  bmi.header.biSizeImage = ((static_cast<DWORD>(w) + 7) & ~7u) * static_cast<DWORD>(h) / 8;
  bmi.header.biXPelsPerMeter = 1000000;
  bmi.header.biYPelsPerMeter = 1000000;
  bmi.header.biClrUsed = 2;
  bmi.header.biClrImportant = 2;
  bmi.colours[1] = RGBQUAD{255, 255, 255, 255};

  int result = 2;
  // Memory contexts compatible with the screen.
  HDC source = CreateCompatibleDC(nullptr);
  HDC target = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP mono = CreateDIBSection(target, reinterpret_cast<BITMAPINFO*>(&bmi), DIB_RGB_COLORS,
                                  &bits, nullptr, 0);
  if (source != nullptr && target != nullptr && mono != nullptr && bits != nullptr) {
    HGDIOBJ oldSource = SelectObject(source, bitmap);
    HGDIOBJ oldTarget = SelectObject(target, mono);
    BOOL copied = BitBlt(target, 0, 0, w, h, source, 0, 0, SRCCOPY);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    if (copied) {
      const BYTE* pixels = static_cast<const BYTE*>(bits);
      // Counted first, then filled: one allocation of the exact size.
      DWORD count = ScanSkinRuns(pixels, w, h, nullptr, 0);
      size_t size = sizeof(RGNDATAHEADER) + static_cast<size_t>(count) * sizeof(RECT);
      RGNDATA* data = static_cast<RGNDATA*>(malloc(size));
      if (data != nullptr) {
        data->rdh.dwSize = sizeof(RGNDATAHEADER);
        data->rdh.iType = RDH_RECTANGLES;
        data->rdh.nCount = count;
        data->rdh.nRgnSize = count * sizeof(RECT);
        data->rdh.rcBound = RECT{0, 0, w, h};
        ScanSkinRuns(pixels, w, h, reinterpret_cast<RECT*>(data->Buffer), count);
        *region = ExtCreateRegion(nullptr, static_cast<DWORD>(size), data);
        free(data);
        if (*region != nullptr) result = 0;
      }
    }
  }
  if (mono != nullptr) DeleteObject(mono);
  if (target != nullptr) DeleteDC(target);
  if (source != nullptr) DeleteDC(source);
  return result;
}

HBITMAP StretchBitmap(HBITMAP bitmap, int width, int height) {
  BITMAP info;
  if (bitmap == nullptr || width < 1 || height < 1 || GetObjectW(bitmap, sizeof(info), &info) == 0)
    return nullptr;
  HBITMAP result = nullptr;
  HDC screen = CreateDCW(TEXT("DISPLAY"), nullptr, nullptr, nullptr);
  HDC source = CreateCompatibleDC(screen);
  HDC target = CreateCompatibleDC(screen);
  HBITMAP stretched = screen != nullptr ? CreateCompatibleBitmap(screen, width, height) : nullptr;
  if (source != nullptr && target != nullptr && stretched != nullptr) {
    HGDIOBJ oldSource = SelectObject(source, bitmap);
    HGDIOBJ oldTarget = SelectObject(target, stretched);
    BOOL ok = StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight,
                         SRCCOPY);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    if (ok) {
      result = stretched;
      stretched = nullptr;
    }
  }
  if (stretched != nullptr) DeleteObject(stretched);
  if (target != nullptr) DeleteDC(target);
  if (source != nullptr) DeleteDC(source);
  if (screen != nullptr) DeleteDC(screen);
  return result;
}

HBITMAP CaptureBackground(int x, int y, int width, int height, HBITMAP bitmap, BYTE alpha) {
  HDC screen = CreateDCW(TEXT("DISPLAY"), nullptr, nullptr, nullptr);
  HDC memory = CreateCompatibleDC(screen);
  if (width == 0) width = GetDeviceCaps(screen, HORZRES);
  if (height == 0) height = GetDeviceCaps(screen, VERTRES);
  if (bitmap == nullptr) bitmap = CreateCompatibleBitmap(screen, width, height);
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, brush);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    AlphaBlend(memory, 0, 0, width, height, screen, x, y, width, height, blend);
    SelectObject(memory, old);
    DeleteObject(brush);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (screen != nullptr) DeleteDC(screen);
  return bitmap;
}
