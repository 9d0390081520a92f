// coredll: the resource calls (LoadStringW, LoadMenuW, LoadImageW, LoadIconW, LoadCursorW,
// SetCursor, FindResourceW...) over the module table, the resource decoders and the icon
// table. Menus are made with the window manager's menu calls and bitmaps with the graphics
// engine's DIB sections, exactly as a program would make them.
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "kernel/icons.h"
#include "kernel/module_resources.h"
#include "kernel/platform_error.h"

#include <windows.h>

// Menus come from the window manager. They are bound weakly so that the loader stands on its
// own: without the window manager LoadMenuW fails cleanly with ERROR_NOT_SUPPORTED.
HMENU CreateMenu() __attribute__((weak));
HMENU CreatePopupMenu() __attribute__((weak));
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
    __attribute__((weak));
BOOL DestroyMenu(HMENU hMenu) __attribute__((weak));

using pellix::device::DibImage;
using pellix::device::FindModuleResource;
using pellix::device::Icons;
using pellix::device::SetPlatformError;

namespace {

constexpr WORD kRtBitmap = 2, kRtMenu = 4, kRtString = 6, kRtGroupIcon = 14;
constexpr UINT kMfString = 0x0000, kMfPopup = 0x0010, kMfSeparator = 0x0800;
constexpr long kErrorNotSupported = 50;

// Resources are named by number only; a module's resource table has no names.
bool ResourceNumber(LPCWSTR name, WORD& id) {
  if (!name || !IS_INTRESOURCE(name)) {
    SetPlatformError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return false;
  }
  id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  return true;
}

const PELLIX_RESOURCE* Require(HINSTANCE module, WORD type, WORD id) {
  const PELLIX_RESOURCE* r = FindModuleResource(module, type, id);
  if (!r) SetPlatformError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return r;
}

std::span<const uint8_t> Bytes(const PELLIX_RESOURCE& r) {
  return {static_cast<const uint8_t*>(r.pData), r.cbData};
}

class WindowManagerMenus : public pellix::device::MenuSink {
 public:
  void* CreateBar() override { return CreateMenu(); }
  void* CreatePopup() override { return CreatePopupMenu(); }
  bool AppendItem(void* menu, uint16_t flags, uint16_t id, const std::u16string& text) override {
    return AppendMenuW(static_cast<HMENU>(menu), kMfString | flags, id, text.c_str());
  }
  bool AppendPopup(void* menu, void* popup, uint16_t flags, const std::u16string& text) override {
    return AppendMenuW(static_cast<HMENU>(menu), kMfPopup | flags,
                       reinterpret_cast<UINT_PTR>(popup), text.c_str());
  }
  bool AppendSeparator(void* menu) override {
    return AppendMenuW(static_cast<HMENU>(menu), kMfSeparator, 0, nullptr);
  }
  void Destroy(void* menu) override { DestroyMenu(static_cast<HMENU>(menu)); }
};

// A 24-bit bottom-up DIB section holding `image`.
HBITMAP MakeBitmap(const DibImage& image) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  if (!bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  size_t stride = ((size_t(image.width) * 24 + 31) / 32) * 4;
  auto* out = static_cast<uint8_t*>(bits);
  for (int y = 0; y < image.height; ++y) {
    uint8_t* row = out + size_t(image.height - 1 - y) * stride;
    for (int x = 0; x < image.width; ++x) {
      uint32_t p = image.pixels[size_t(y) * image.width + x];
      row[3 * x] = uint8_t(p);
      row[3 * x + 1] = uint8_t(p >> 8);
      row[3 * x + 2] = uint8_t(p >> 16);
    }
  }
  return bitmap;
}

pellix::device::Result<DibImage> ModuleBitmap(HINSTANCE module, WORD id) {
  const PELLIX_RESOURCE* r = FindModuleResource(module, kRtBitmap, id);
  if (!r) return pellix::device::Fail("no bitmap", ERROR_RESOURCE_NAME_NOT_FOUND);
  return pellix::device::ParseDib(Bytes(*r));
}

}  // namespace

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
  if (!lpBuffer || cchBufferMax < 0) {
    SetPlatformError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const PELLIX_RESOURCE* r = uID <= 0xFFFF ? FindModuleResource(hInstance, kRtString, WORD(uID)) : nullptr;
  if (!r) {
    SetPlatformError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (cchBufferMax > 0) lpBuffer[0] = 0;
    return 0;
  }
  auto text = static_cast<LPCWSTR>(r->pData);
  int length = static_cast<int>(r->cbData / sizeof(WCHAR));
  if (cchBufferMax == 0) {
    // The caller's buffer is a pointer to receive the read-only text.
    LPCWSTR* target = reinterpret_cast<LPCWSTR*>(lpBuffer);
    std::memcpy(target, &text, sizeof(text));
    return length;
  }
  int copied = length < cchBufferMax - 1 ? length : cchBufferMax - 1;
  std::memcpy(lpBuffer, text, size_t(copied) * sizeof(WCHAR));
  lpBuffer[copied] = 0;
  return copied;
}

HMENU LoadMenuW(HINSTANCE hInstance, LPCWSTR lpMenuName) {
  WORD id;
  if (!ResourceNumber(lpMenuName, id)) return nullptr;
  const PELLIX_RESOURCE* r = Require(hInstance, kRtMenu, id);
  if (!r) return nullptr;
  auto items = pellix::device::ParseMenuTemplate(Bytes(*r));
  if (!items.ok()) {
    SetPlatformError(items.error().code);
    return nullptr;
  }
  if (!CreateMenu || !CreatePopupMenu || !AppendMenuW || !DestroyMenu) {
    SetPlatformError(kErrorNotSupported);
    return nullptr;
  }
  WindowManagerMenus sink;
  return static_cast<HMENU>(pellix::device::BuildMenu(*items, sink));
}

HANDLE LoadImageW(HINSTANCE hinst, LPCWSTR lpszName, UINT uType, int cxDesired, int cyDesired,
                  UINT fuLoad) {
  if (fuLoad & LR_LOADFROMFILE) {
    SetPlatformError(kErrorNotSupported);
    return nullptr;
  }
  switch (uType) {
    case IMAGE_BITMAP: {
      WORD id;
      if (!ResourceNumber(lpszName, id)) return nullptr;
      auto image = ModuleBitmap(hinst, id);
      if (!image.ok()) {
        SetPlatformError(image.error().code);
        return nullptr;
      }
      // Zero asks for the picture's own size.
      int width = cxDesired > 0 ? cxDesired : image->width;
      int height = cyDesired > 0 ? cyDesired : image->height;
      if (width != image->width || height != image->height)
        return MakeBitmap(pellix::device::ScaleDib(*image, width, height));
      return MakeBitmap(*image);
    }
    case IMAGE_ICON:
      return LoadIconW(hinst, lpszName);
    case IMAGE_CURSOR:
      return LoadCursorW(hinst, lpszName);
    default:
      SetPlatformError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HBITMAP LoadBitmapW(HINSTANCE hInstance, LPCWSTR lpBitmapName) {
  return static_cast<HBITMAP>(LoadImageW(hInstance, lpBitmapName, IMAGE_BITMAP, 0, 0, 0));
}

HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  WORD id;
  if (!ResourceNumber(lpIconName, id)) return nullptr;
  if (!hInstance) {
    HICON icon = Icons().SystemIcon(id);
    if (!icon) SetPlatformError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return icon;
  }
  const PELLIX_RESOURCE* r = Require(hInstance, kRtGroupIcon, id);
  if (!r) return nullptr;
  HICON icon = Icons().ModuleIcon(hInstance, id, [&]() -> std::shared_ptr<const pellix::device::IconImage> {
    auto image = pellix::device::ParseDib(Bytes(*r));
    if (!image.ok()) return nullptr;
    auto icon_image = std::make_shared<pellix::device::IconImage>();
    icon_image->width = image->width;
    icon_image->height = image->height;
    icon_image->pixels = std::move(image->pixels);
    return icon_image;
  });
  if (!icon) SetPlatformError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return icon;
}

BOOL DestroyIcon(HICON hIcon) {
  if (!Icons().Destroy(hIcon)) {
    SetPlatformError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  WORD id;
  if (!ResourceNumber(lpCursorName, id)) return nullptr;
  // Modules here carry no cursors of their own; only the system's are known.
  HCURSOR cursor = hInstance ? nullptr : Icons().SystemCursor(id);
  if (!cursor) SetPlatformError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return cursor;
}

BOOL DestroyCursor(HCURSOR hCursor) { return DestroyIcon(hCursor); }

HCURSOR SetCursor(HCURSOR hCursor) { return Icons().SetCurrentCursor(hCursor); }

HCURSOR GetCursor() { return Icons().current_cursor(); }

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  WORD id, type;
  if (!ResourceNumber(lpName, id)) return nullptr;
  if (!lpType || !IS_INTRESOURCE(lpType)) {
    SetPlatformError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  type = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(lpType));
  // The resource record itself serves as the handle; it lives as long as the module.
  return reinterpret_cast<HRSRC>(const_cast<PELLIX_RESOURCE*>(Require(hModule, type, id)));
}

HGLOBAL LoadResource(HMODULE /*hModule*/, HRSRC hResInfo) {
  if (!hResInfo) {
    SetPlatformError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return const_cast<void*>(reinterpret_cast<const PELLIX_RESOURCE*>(hResInfo)->pData);
}

DWORD SizeofResource(HMODULE /*hModule*/, HRSRC hResInfo) {
  return hResInfo ? reinterpret_cast<const PELLIX_RESOURCE*>(hResInfo)->cbData : 0;
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }
