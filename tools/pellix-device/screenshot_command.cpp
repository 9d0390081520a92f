// pellix-device screenshot: saves the device's screen, or one window, as a PNG file.
#include <cstdlib>
#include <string>

#include "command.h"
#include "gdi/screenshot.h"

namespace pellix::tool {
namespace {

int Screenshot(Invocation& inv) {
  std::string out;
  HWND window = nullptr;
  for (size_t i = 0; i < inv.args.size(); ++i) {
    const std::string& a = inv.args[i];
    if (a == "--window" && i + 1 < inv.args.size()) {
      const std::string& value = inv.args[++i];
      char* end = nullptr;
      const unsigned long long handle = std::strtoull(value.c_str(), &end, 0);
      if (value.empty() || *end != '\0' || handle == 0) return Fail("bad window handle: " + value);
      window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    } else if (out.empty() && a.rfind("--", 0) != 0) {
      out = a;
    } else {
      return UsageError("screenshot");
    }
  }
  if (out.empty()) return UsageError("screenshot");
  if (!BootImage(inv)) return 1;
  const auto saved = device::gdi::SaveScreenshot(out, window);
  if (!saved) return Fail(saved.error().message);
  return 0;
}

}  // namespace

PELLIX_COMMAND("screenshot", "screenshot OUT.png [--window HWND]",
               "save the screen (or one window and its children) as a PNG picture", Screenshot);

}  // namespace pellix::tool
