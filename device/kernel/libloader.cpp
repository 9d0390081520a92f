// coredll: LoadLibraryW, FreeLibrary, GetProcAddressW and the module queries, over the
// device's ModuleTable.
#include <string>

#include "kernel/module_loader.h"
#include "kernel/platform_error.h"

#include <windows.h>

using pellix::device::Modules;
using pellix::device::ModuleTable;

namespace {

std::u16string_view View(LPCWSTR text) { return text ? std::u16string_view(text) : std::u16string_view(); }

}  // namespace

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) {
    pellix::device::SetPlatformError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto loaded = Modules().Load(lpLibFileName);
  if (!loaded.ok()) {
    pellix::device::SetPlatformError(loaded.error().code);
    return nullptr;
  }
  return *loaded;
}

HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE /*hFile*/, DWORD /*dwFlags*/) {
  return LoadLibraryW(lpLibFileName);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  auto freed = Modules().Free(hLibModule);
  if (!freed.ok()) {
    pellix::device::SetPlatformError(freed.error().code);
    return FALSE;
  }
  return TRUE;
}

FARPROC GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
  if (!lpProcName) {
    pellix::device::SetPlatformError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::variant<std::string, uint16_t> which;
  if (IS_INTRESOURCE(lpProcName)) {
    which = static_cast<uint16_t>(reinterpret_cast<ULONG_PTR>(lpProcName));
  } else {
    // Export names are ASCII; anything else cannot name an export.
    std::string name;
    for (const WCHAR* p = lpProcName; *p; ++p) {
      if (*p > 0x7F) {
        pellix::device::SetPlatformError(ERROR_PROC_NOT_FOUND);
        return nullptr;
      }
      name.push_back(static_cast<char>(*p));
    }
    which = std::move(name);
  }
  auto found = Modules().FindExport(hModule, std::move(which));
  if (!found.ok()) {
    pellix::device::SetPlatformError(found.error().code);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(*found);
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
  if (!lpModuleName) return ModuleTable::HostHandle();
  HMODULE module = Modules().Find(View(lpModuleName));
  if (!module) pellix::device::SetPlatformError(ERROR_MOD_NOT_FOUND);
  return module;
}

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  if (!lpFilename || nSize == 0) {
    pellix::device::SetPlatformError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  auto path = Modules().FileName(hModule);
  if (!path.ok()) {
    pellix::device::SetPlatformError(path.error().code);
    lpFilename[0] = 0;
    return 0;
  }
  // Too small a buffer gets the path cut to fit, terminated, and the buffer's size back.
  DWORD length = static_cast<DWORD>(path->size());
  DWORD copied = length < nSize ? length : nSize - 1;
  path->copy(lpFilename, copied);
  lpFilename[copied] = 0;
  if (copied < length) {
    pellix::device::SetPlatformError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  return copied;
}

BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
  auto done = Modules().DisableThreadCalls(hLibModule);
  if (!done.ok()) {
    pellix::device::SetPlatformError(done.error().code);
    return FALSE;
  }
  return TRUE;
}
