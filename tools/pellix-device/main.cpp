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

namespace {

std::vector<UsageLine> LinesOf(const std::string& command) {
  std::vector<UsageLine> lines;
  for (const CommandInfo& c : Commands())
    if (command == c.name) lines.push_back(ParseUsage(c.usage));
  return lines;
}

// "add, list or show": the subcommands a command's lines name.
std::string Subcommands(const std::vector<UsageLine>& lines) {
  std::vector<std::string> names;
  for (const UsageLine& l : lines)
    if (!l.words.empty() && std::find(names.begin(), names.end(), l.words[0]) == names.end()) names.push_back(l.words[0]);
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
  return out;
}

// The lines that `args` select: those whose subcommand they start with, else all of them.
std::vector<UsageLine> Selected(const std::string& command, const std::vector<std::string>& args) {
  std::vector<UsageLine> all = LinesOf(command), chosen;
  for (const UsageLine& l : all)
    if (!l.words.empty() && StartsWithWords(l, args)) chosen.push_back(l);
  return chosen.empty() ? all : chosen;
}

// "store add" when the arguments name a subcommand of store, else "store".
std::string Heading(const Invocation& inv) {
  for (const UsageLine& l : LinesOf(inv.command))
    if (!l.words.empty() && StartsWithWords(l, inv.args)) return inv.command + " " + l.words[0];
  return inv.command;
}

}  // namespace

int UsageError(const std::string& command) {
  const std::vector<UsageLine> lines = LinesOf(command);
  if (lines.size() == 1) {
    std::fprintf(stderr, "pellix-device: usage: pellix-device %s\n", lines[0].text.c_str());
  } else {
    std::fprintf(stderr, "pellix-device: usage: pellix-device %s %s ... (see 'pellix-device %s --help')\n",
                 command.c_str(), Subcommands(lines).empty() ? "ARGS" : ("{" + Subcommands(lines) + "}").c_str(),
                 command.c_str());
  }
  return kUsageStatus;
}

int UsageError(const Invocation& inv, const std::string& why) {
  const std::string heading = Heading(inv);
  std::fprintf(stderr, "pellix-device: %s: %s (see 'pellix-device %s --help')\n", heading.c_str(), why.c_str(),
               heading.c_str());
  return kUsageStatus;
}

std::optional<Arguments> ParseArguments(const Invocation& inv) {
  const std::vector<UsageLine> lines = LinesOf(inv.command);
  std::vector<const UsageLine*> candidates;
  bool has_subcommands = false;
  for (const UsageLine& l : lines) {
    has_subcommands |= !l.words.empty();
    if (StartsWithWords(l, inv.args)) candidates.push_back(&l);
  }
  if (candidates.empty()) {
    if (has_subcommands && inv.args.empty()) UsageError(inv, "missing subcommand: " + Subcommands(lines));
    else if (has_subcommands) UsageError(inv, "unknown subcommand " + Shown(inv.args[0]) + " (" + Subcommands(lines) + ")");
    else UsageError(inv.command);
    return std::nullopt;
  }
  std::string first_error;
  for (const UsageLine* l : candidates) {
    std::string error;
    if (auto args = ReadArguments(*l, inv.args, &error)) return args;
    if (first_error.empty()) first_error = error;
  }
  UsageError(inv, first_error);
  return std::nullopt;
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
  std::printf("The image defaults to ./device-image. --verbose echoes the device's debug output (what\n"
              "the module writes with NKDbgPrintfW or OutputDebugString) to standard error.\n"
              "'pellix-device COMMAND --help' describes a command; '--' ends the options, so a text\n"
              "that starts with '-' goes after it. Usage errors exit with status 2, other errors with 1.\n\n"
              "Commands:\n");
  std::vector<CommandInfo> sorted = Commands();
  std::sort(sorted.begin(), sorted.end(),
            [](const CommandInfo& a, const CommandInfo& b) { return std::strcmp(a.usage, b.usage) < 0; });
  for (const CommandInfo& c : sorted) {
    // At least two spaces part a usage from its summary; a usage never holds two in a row.
    if (std::strlen(c.usage) > 43) {
      std::printf("  %s\n  %-44s %s\n", c.usage, "", c.summary);
    } else {
      std::printf("  %-44s %s\n", c.usage, c.summary);
    }
  }
}

// COMMAND --help: the usage lines of the subcommand given, or of the whole command.
void PrintCommandHelp(const std::string& command, const std::vector<std::string>& args) {
  const std::vector<UsageLine> lines = Selected(command, args);
  std::printf("usage:\n");
  for (const UsageLine& l : lines) {
    for (const CommandInfo& c : Commands()) {
      if (l.text != c.usage) continue;
      std::printf("  pellix-device [--image DIR] %s\n      %s\n", c.usage, c.summary);
      break;
    }
  }
  std::printf("\n'--' ends the options: a text that starts with '-' goes after it.\n");
}

bool IsCommand(const std::string& name) {
  return std::any_of(Commands().begin(), Commands().end(), [&](const CommandInfo& c) { return name == c.name; });
}

int GlobalUsageError(const std::string& why) {
  std::fprintf(stderr, "pellix-device: %s (see 'pellix-device --help')\n", why.c_str());
  return kUsageStatus;
}

}  // namespace

int Main(int argc, char** argv) {
  Invocation inv;
  int i = 1;
  // Global options may come before the command and after it, up to "--".
  auto global = [&](const std::string& a, int* status) {
    if (a == "--image") {
      if (i + 1 >= argc) {
        *status = GlobalUsageError("--image needs a folder");
        return true;
      }
      inv.image_dir = argv[++i];
    } else if (a.rfind("--image=", 0) == 0) {
      inv.image_dir = a.substr(8);
    } else if (a == "--verbose" || a == "-v") {
      inv.verbose = true;
    } else {
      return false;
    }
    return true;
  };
  int status = -1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (global(a, &status)) {
      if (status >= 0) return status;
    } else if (a == "--help" || a == "-h") {
      PrintHelp();
      return 0;
    } else if (a.size() > 1 && a[0] == '-') {
      return GlobalUsageError("unknown option " + Shown(a));
    } else {
      break;
    }
  }
  if (i >= argc) return GlobalUsageError("no command given");
  inv.command = argv[i++];
  bool help = false, options_over = false;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (options_over) {
      inv.args.push_back(a);
    } else if (a == "--") {
      options_over = true;
      inv.args.push_back(a);
    } else if (a == "--help" || a == "-h") {
      help = true;
    } else if (global(a, &status)) {
      if (status >= 0) return status;
    } else {
      inv.args.push_back(a);
    }
  }
  if (inv.command == "help") {
    if (inv.args.empty()) {
      PrintHelp();
      return 0;
    }
    inv.command = inv.args[0];
    inv.args.erase(inv.args.begin());
    help = true;
  }
  if (!IsCommand(inv.command)) return GlobalUsageError("unknown command " + Shown(inv.command));
  if (help) {
    PrintCommandHelp(inv.command, inv.args);
    return 0;
  }
  for (const CommandInfo& c : Commands()) {
    if (inv.command == c.name) {
      status = c.run(inv);
      device::Device::Shutdown();
      return status;
    }
  }
  return 1;
}

}  // namespace pellix::tool

int main(int argc, char** argv) { return pellix::tool::Main(argc, argv); }
