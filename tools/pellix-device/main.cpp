// pellix-device: creates device images, installs the module, delivers messages, runs scripts,
// previews skins and takes screenshots.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "kernel/device.h"
#include "kernel/registry.h"

namespace pellix::tool {

namespace {
std::vector<CommandInfo>& Registry() {
  static std::vector<CommandInfo> commands;
  return commands;
}
}  // namespace

const std::vector<CommandInfo>& Commands() { return Registry(); }

CommandRegistration::CommandRegistration(CommandInfo info) { Registry().push_back(info); }

int Fail(const std::string& message) {
  std::fprintf(stderr, "pellix-device: %s\n", message.c_str());
  return 1;
}

int UsageError(const std::string& command) {
  std::fprintf(stderr, "usage:\n");
  for (const CommandInfo& c : Commands())
    if (command == c.name) std::fprintf(stderr, "  pellix-device [--image DIR] %s\n", c.usage);
  return 2;
}

bool BootImage(const Invocation& inv) {
  auto image = device::DeviceImage::Open(inv.image_dir);
  if (!image) {
    Fail(image.error().message);
    return false;
  }
  // Every image has a registry from init on; without it the module would quietly run on defaults.
  const std::string registry_db = image->registry_db().string();
  if (!std::filesystem::exists(image->registry_db())) {
    Fail(registry_db + ": missing, so the image is damaged (make a new one with 'init --force')");
    return false;
  }
  device::Device& d = device::Device::Boot(std::move(*image));
  d.journal().set_echo_debug(inv.verbose);
  if (const std::string& why = d.Component<device::Registry>().open_error(); !why.empty()) {
    Fail(why);
    return false;
  }
  return true;
}

namespace {

void PrintHelp() {
  std::printf("usage: pellix-device [--image DIR] [--verbose] COMMAND [ARGS]\n\n");
  std::printf("The image defaults to ./device-image. Commands:\n");
  std::vector<CommandInfo> sorted = Commands();
  std::sort(sorted.begin(), sorted.end(),
            [](const CommandInfo& a, const CommandInfo& b) { return std::strcmp(a.usage, b.usage) < 0; });
  for (const CommandInfo& c : sorted) {
    if (std::strlen(c.usage) > 44) {
      std::printf("  %s\n  %-44s %s\n", c.usage, "", c.summary);
    } else {
      std::printf("  %-44s %s\n", c.usage, c.summary);
    }
  }
}

}  // namespace

int Main(int argc, char** argv) {
  Invocation inv;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--image" && i + 1 < argc) {
      inv.image_dir = argv[++i];
    } else if (a.rfind("--image=", 0) == 0) {
      inv.image_dir = a.substr(8);
    } else if (a == "--verbose" || a == "-v") {
      inv.verbose = true;
    } else if (a == "--help" || a == "-h" || a == "help") {
      PrintHelp();
      return 0;
    } else {
      break;
    }
  }
  if (i >= argc) {
    PrintHelp();
    return 2;
  }
  std::string name = argv[i++];
  for (; i < argc; ++i) {
    std::string a = argv[i];
    // Global options may also follow the command.
    if (a == "--image" && i + 1 < argc) {
      inv.image_dir = argv[++i];
    } else if (a.rfind("--image=", 0) == 0) {
      inv.image_dir = a.substr(8);
    } else {
      inv.args.push_back(a);
    }
  }
  for (const CommandInfo& c : Commands()) {
    if (name == c.name) {
      int status = c.run(inv);
      device::Device::Shutdown();
      return status;
    }
  }
  return Fail("unknown command '" + name + "' (see pellix-device --help)");
}

}  // namespace pellix::tool

int main(int argc, char** argv) { return pellix::tool::Main(argc, argv); }
