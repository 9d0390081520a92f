// The skin checker behind `pellix-device skin check`: reads a skin folder the way the module
// does and lists, with file and line, everything that will not do what its author meant.
// It never changes what the module does; it explains it.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace pellix::tool {

struct SkinFinding {
  std::string file;  // relative to the skin folder, e.g. "skin.ini"
  int line;          // 0 when the finding is about the whole file
  std::string message;
};

struct SkinCheckInput {
  std::string name;                     // the skin's name, for messages
  std::filesystem::path folder;         // host path of the skin folder
  std::filesystem::path default_folder; // host path of the skin "default" (smiley fallback)
  // Host path of a file named in skin.ini, relative to the skin folder, matched the way the
  // device matches names; empty when it cannot be mapped.
  std::function<std::filesystem::path(const std::string& relative)> map;
  int (*metrics)(int index);            // the device's system metrics
};

std::vector<SkinFinding> CheckSkin(const SkinCheckInput& input);

// The input for the skin the module's settings name (g_Settings.SkinName) on the booted device.
SkinCheckInput ActiveSkinCheckInput();

}  // namespace pellix::tool
