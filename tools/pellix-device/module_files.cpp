#include "module_files.h"

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace pellix::tool {
namespace {
constexpr char16_t kSettingsKey[] = u"Software\\Halvane Quorrin Softwares\\Pellix";
}  // namespace

std::string InstallModuleFiles(const device::DeviceImage& image, device::Registry& registry) {
  std::error_code ec;
  fs::path windows = image.fs_root() / "Windows";
  fs::create_directories(windows, ec);
  fs::copy_file(PELLIX_MODULE_PATH, windows / "PellixRule.dll", fs::copy_options::overwrite_existing, ec);
  if (ec) return "cannot install the module: " + ec.message();
  fs::path skins = image.fs_root() / "Program Files" / "Halvane Quorrin" / "Pellix" / "Skins";
  fs::create_directories(skins, ec);
  fs::copy(PELLIX_SKINS_DIR, skins, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
  if (ec) return "cannot install the skins: " + ec.message();

  const std::u16string dir = kInstallDir;
  std::vector<uint8_t> bytes(reinterpret_cast<const uint8_t*>(dir.c_str()),
                             reinterpret_cast<const uint8_t*>(dir.c_str()) + (dir.size() + 1) * 2);
  if (device::Status s = registry.CreateKey(device::RegistryRoot::kCurrentUser, kSettingsKey); !s)
    return "registry: " + s.error().message;
  if (device::Status s = registry.SetValue(device::RegistryRoot::kCurrentUser, kSettingsKey,
                                           device::RegistryValue{u"InstallDir", 1, bytes});
      !s)
    return "registry: " + s.error().message;
  return {};
}

}  // namespace pellix::tool
