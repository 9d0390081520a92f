// pellix-device commands. Each command is a file of its own that registers itself with
// PELLIX_COMMAND, once per usage line (a subcommand has a line of its own). main.cpp reads the
// global options, answers --help / -h of every command from the declared lines (on standard
// output, exit 0, before anything else and without an image), and dispatches by name.
//
// A command reads its arguments with ParseArguments, which applies the grammar of its usage
// line (arguments.h): unknown options, missing values, bad choices and extra words become a
// one-line usage error with exit status 2, and "--" ends the options.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arguments.h"

namespace pellix::tool {

struct Invocation {
  std::string command;               // the command's name
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

inline constexpr int kUsageStatus = 2;

// Prints "pellix-device: MESSAGE" on standard error and returns the exit status 1.
int Fail(const std::string& message);
// Prints one line, "pellix-device: usage: pellix-device COMMAND ...", on standard error and
// returns kUsageStatus.
int UsageError(const std::string& command);
// Prints "pellix-device: COMMAND SUB: WHY (see ...)" on standard error and returns kUsageStatus.
int UsageError(const Invocation& inv, const std::string& why);

// The arguments read by the usage line of the subcommand given. Nothing after printing the
// usage error; the command then returns kUsageStatus.
std::optional<Arguments> ParseArguments(const Invocation& inv);

// Boots the device on the invocation's image; prints the reason and returns false on failure.
bool BootImage(const Invocation& inv);

}  // namespace pellix::tool

#define PELLIX_COMMAND_CONCAT2(a, b) a##b
#define PELLIX_COMMAND_CONCAT(a, b) PELLIX_COMMAND_CONCAT2(a, b)
#define PELLIX_COMMAND(name, usage, summary, function)                                       \
  static ::pellix::tool::CommandRegistration PELLIX_COMMAND_CONCAT(command_registration_, \
                                                                   __LINE__)(              \
      ::pellix::tool::CommandInfo{name, usage, summary, function})
