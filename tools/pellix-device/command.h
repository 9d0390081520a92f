// pellix-device commands. Each command is a file of its own that registers itself with
// PELLIX_COMMAND; main.cpp parses the global options and dispatches by name.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pellix::tool {

struct Invocation {
  std::filesystem::path image_dir = "device-image";
  bool verbose = false;              // echo the device's debug output to standard error
  std::vector<std::string> args;     // after the command name
};

using CommandFunction = int (*)(Invocation&);

struct CommandInfo {
  const char* name;
  const char* usage;    // e.g. "reg set KEY NAME dword|sz|binary VALUE"
  const char* summary;  // one line
  CommandFunction run;
};

const std::vector<CommandInfo>& Commands();

struct CommandRegistration {
  explicit CommandRegistration(CommandInfo info);
};

// Prints "pellix-device: MESSAGE" on standard error and returns the exit status 1.
int Fail(const std::string& message);
// Prints the usage lines of `command` on standard error and returns 2.
int UsageError(const std::string& command);

// Boots the device on the invocation's image; prints the reason and returns false on failure.
bool BootImage(const Invocation& inv);

}  // namespace pellix::tool

#define PELLIX_COMMAND_CONCAT2(a, b) a##b
#define PELLIX_COMMAND_CONCAT(a, b) PELLIX_COMMAND_CONCAT2(a, b)
#define PELLIX_COMMAND(name, usage, summary, function)                                       \
  static ::pellix::tool::CommandRegistration PELLIX_COMMAND_CONCAT(command_registration_, \
                                                                   __LINE__)(              \
      ::pellix::tool::CommandInfo{name, usage, summary, function})
