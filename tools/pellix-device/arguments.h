// Usage lines and the arguments they declare. A command declares its usage once, as a person
// reads it in --help and the README, and its arguments are read by that same line:
//
//   store add [--folder NAME] [--time ISO8601] [--read] [--to ADDR]... TEXT
//
//   store          the command; lowercase words after it name the subcommand ("add")
//   --opt VALUE    an option with a value, required; in brackets optional; "..." repeatable
//   [--flag]       an option without a value
//   TEXT [NAME] FILE...   arguments in order: required, optional, repeatable
//   0|1|2          alternatives: a choice the value must be one of, unless one of them is an
//                  UPPERCASE placeholder ("TEXT|-" takes any text or "-")
//
// "--" ends the options, so a text that starts with "-" is given after it; "-" alone is an
// argument (standard input or output). An option's value may also follow "=" (--title=Hi).
// Pure functions: nothing here knows the device.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::tool {

struct UsageItem {
  bool is_option = false;
  std::string name;                  // "--title", or the placeholder ("TEXT")
  std::string value;                 // an option's value placeholder; empty for a flag
  std::vector<std::string> choices;  // the values allowed, when the placeholder is a choice
  bool optional = false;
  bool repeat = false;
};

struct UsageLine {
  std::string text;                // as declared
  std::string command;             // "store"
  std::vector<std::string> words;  // the subcommand: {"add"}
  std::vector<UsageItem> items;
};

UsageLine ParseUsage(std::string_view usage);

class Arguments {
 public:
  // The subcommand's words joined by a space ("add"), empty for a command without any.
  const std::string& subcommand() const { return subcommand_; }
  const std::vector<std::string>& positional() const { return positional_; }
  bool Has(std::string_view option) const;
  // The last value given to `option`, or null.
  const std::string* Value(std::string_view option) const;
  std::vector<std::string> Values(std::string_view option) const;

 private:
  friend std::optional<Arguments> ReadArguments(const UsageLine&, const std::vector<std::string>&,
                                                std::string*);
  std::string subcommand_;
  std::vector<std::string> positional_;
  std::vector<std::pair<std::string, std::string>> options_;  // in the order given
};

// Reads `args` (the words after the command name, subcommand included) by `line`. On a usage
// error returns nothing and puts a short sentence into *error ("unknown option '--x'").
std::optional<Arguments> ReadArguments(const UsageLine& line, const std::vector<std::string>& args,
                                       std::string* error);

// True when `args` start with the line's subcommand words.
bool StartsWithWords(const UsageLine& line, const std::vector<std::string>& args);

// An argument as error messages echo it: quoted, control characters escaped, and cut after a
// few dozen characters, so a pasted message or a binary blob never floods the terminal.
std::string Shown(std::string_view argument);

}  // namespace pellix::tool
