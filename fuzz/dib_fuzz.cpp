// Bitmap descriptions from untrusted bytes: CreateDIBSection must refuse bad headers, and any
// section it makes must survive blits, stretching and alpha blending into and out of it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernel/device.h"
#include "testing/temp_image.h"

#include <windows.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static pellix::testing::TempDir* dir = new pellix::testing::TempDir();
  auto image = pellix::device::DeviceImage::Create(dir->path() / "image", pellix::device::Profile{});
  if (!image.ok()) std::abort();
  pellix::device::Device::Boot(std::move(*image));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Header, colour masks and table as given; the rest steers the operations.
  constexpr size_t kInfoBytes = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD);
  if (size < sizeof(BITMAPINFOHEADER) + 8) return 0;
  std::vector<uint8_t> info(kInfoBytes, 0);
  std::memcpy(info.data(), data, std::min(size, kInfoBytes));
  auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  // Keep sizes small enough to stay fast; the size checks themselves are exercised too.
  bmi->bmiHeader.biWidth %= 300;
  bmi->bmiHeader.biHeight %= 300;
  const uint8_t* ops = data + size - 8;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, bmi, ops[0] & 1, &bits, nullptr, 0);
  if (!section) return 0;
  DIBSECTION ds{};
  GetObjectW(section, sizeof(ds), &ds);
  if (bits && ds.dsBm.bmWidthBytes > 0)
    std::memset(bits, ops[1], static_cast<size_t>(ds.dsBm.bmWidthBytes) * ds.dsBm.bmHeight);
  HDC dc = CreateCompatibleDC(nullptr);
  HDC other = CreateCompatibleDC(nullptr);
  HDC screen = GetDC(nullptr);
  HBITMAP colour = CreateCompatibleBitmap(screen, 64, 64);
  ReleaseDC(nullptr, screen);
  SelectObject(dc, section);
  SelectObject(other, colour);
  const int x = static_cast<int8_t>(ops[2]), y = static_cast<int8_t>(ops[3]);
  const int w = static_cast<int8_t>(ops[4]), h = static_cast<int8_t>(ops[5]);
  BitBlt(other, x, y, w, h, dc, y, x, SRCCOPY);
  BitBlt(dc, x, y, w, h, other, 0, 0, ops[6] & 1 ? SRCINVERT : SRCCOPY);
  StretchBlt(dc, x, y, w, h, other, 0, 0, ops[6], ops[7], SRCCOPY);
  StretchBlt(other, y, x, h * 3, w * 2, dc, x, y, w, h, SRCCOPY);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, ops[7], 0};
  AlphaBlend(other, x, y, w, h, dc, 0, 0, w, h, blend);
  RECT r{x, y, w, h};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
  ExtTextOutW(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, u"Ag", 2, nullptr);
  GetPixel(dc, x, y);
  DeleteDC(dc);
  DeleteDC(other);
  DeleteObject(section);
  DeleteObject(colour);
  return 0;
}
