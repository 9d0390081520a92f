// pellix-device screenshot: saves the device's screen, or one window, as a PNG file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "command.h"
#include "gdi/png_writer.h"
#include "gdi/screenshot.h"

namespace pellix::tool {
namespace {

namespace fs = std::filesystem;

// True when `out` would land in the image folder (its profile, databases or file system):
// a screenshot must never overwrite the state of the handheld it shows.
bool InsideImage(const fs::path& out, const fs::path& image_dir) {
  std::error_code ec;
  const fs::path image = fs::weakly_canonical(fs::absolute(image_dir, ec), ec);
  const fs::path target = fs::weakly_canonical(fs::absolute(out, ec), ec);
  auto i = image.begin(), t = target.begin();
  for (; i != image.end() && !i->empty(); ++i, ++t)
    if (t == target.end() || *i != *t) return false;
  return true;
}

int Screenshot(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const std::string out = args->positional()[0];
  HWND window = nullptr;
  if (const std::string* value = args->Value("--window")) {
    char* end = nullptr;
    const unsigned long long handle = std::strtoull(value->c_str(), &end, 0);
    if (value->empty() || *end != '\0' || handle == 0)
      return UsageError(inv, "--window takes a window handle (see 'windows'), not " + Shown(*value));
    window = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
  }
  const bool to_stdout = out == "-";
  if (!to_stdout && InsideImage(out, inv.image_dir))
    return Fail(out + " is inside the device image; save the screenshot outside " + inv.image_dir.string());
  if (!BootImage(inv)) return 1;
  if (to_stdout) {
    auto shot = device::gdi::Capture(window);
    if (!shot) return Fail(shot.error().message);
    auto png = device::gdi::EncodePng(*shot);
    if (!png) return Fail(png.error().message);
    if (std::fwrite(png->data(), 1, png->size(), stdout) != png->size() || std::fflush(stdout) != 0)
      return Fail("cannot write the screenshot to standard output");
    return 0;
  }
  const auto saved = device::gdi::SaveScreenshot(out, window);
  if (!saved) return Fail(saved.error().message);
  return 0;
}

}  // namespace

PELLIX_COMMAND("screenshot", "screenshot OUT.png|- [--window HWND]",
               "save the screen (or one window and its children) as a PNG picture; - writes it to standard output",
               Screenshot);

}  // namespace pellix::tool
