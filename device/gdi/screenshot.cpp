#include "gdi/screenshot.h"

#include <mutex>

#include "gdi/gdi_objects.h"
#include "gdi/png_writer.h"
#include "gdi/screen.h"

namespace pellix::device::gdi {

Result<Surface> Capture(HWND window) {
  std::lock_guard lock(Gdi().mutex());
  if (window) return TheScreen().CaptureWindow(window);
  return TheScreen().Compose().Clone();
}

Status SaveScreenshot(const std::filesystem::path& path, HWND window) {
  auto picture = Capture(window);
  if (!picture) return picture.error();
  return WritePng(*picture, path);
}

}  // namespace pellix::device::gdi
