// Screenshots: the composed screen, or one window, as a picture or a PNG file. For the tool,
// scripts and tests; takes the GDI lock itself.
#pragma once

#include <string>  // before windows.h: the SDK declares wcstol for WCHAR

#include <windows.h>

#include <filesystem>

#include "gdi/surface.h"
#include "kernel/result.h"

namespace pellix::device::gdi {

// The whole screen when `window` is null, else the window with its descendants.
Result<Surface> Capture(HWND window = nullptr);
Status SaveScreenshot(const std::filesystem::path& path, HWND window = nullptr);

}  // namespace pellix::device::gdi
