// Putting the module's files into an image as its installer does: the library as
// \Windows\PellixRule.dll, the skins under the install folder, and that folder as the module's
// InstallDir setting. Shared by init, which makes an image with the files in place, and
// install, which refreshes them before registering the module.
#pragma once

#include <string>

#include "kernel/device_image.h"
#include "kernel/registry.h"

namespace pellix::tool {

inline constexpr char16_t kInstallDir[] = u"\\Program Files\\Halvane Quorrin\\Pellix\\";

// Copies the files (replacing those there) and writes InstallDir into `registry`, the image's.
// An empty result is success; otherwise why it failed.
std::string InstallModuleFiles(const device::DeviceImage& image, device::Registry& registry);

}  // namespace pellix::tool
