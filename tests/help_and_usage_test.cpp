// What a newcomer meets first: every command's --help, one-line usage errors, and arguments
// that look like options.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;
using pellix::testing::RunTool;
using pellix::testing::ToolRun;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "store add", "reg set", "settings": every command and subcommand the overall help lists.
std::set<std::string> ListedCommands() {
  std::set<std::string> commands;
  for (const std::string& line : Lines(RunTool({}, "--help", false).out)) {
    if (line.rfind("  ", 0) != 0 || line.size() < 3 || line[2] < 'a' || line[2] > 'z') continue;
    // The usage column ends where the summary's padding begins; a usage never holds two spaces.
    std::istringstream words(line.substr(2, line.find("  ", 2) - 2));
    std::string name, sub;
    words >> name >> sub;
    const bool is_sub = !sub.empty() && sub.find_first_not_of("abcdefghijklmnopqrstuvwxyz-") == std::string::npos;
    commands.insert(is_sub ? name + " " + sub : name);
  }
  return commands;
}

class HelpAndUsageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = dir_.path() / "image";
    ASSERT_EQ(RunTool(image_, "init", false).status, 0);
  }
  ToolRun Tool(const std::string& args) { return RunTool(image_, args, /*merge_stderr=*/false); }

  pellix::testing::TempDir dir_;
  fs::path image_;
};

TEST(HelpTest, EveryCommandAnswersHelpWithoutAnImage) {
  pellix::testing::TempDir dir;
  const fs::path nowhere = dir.path() / "no-image";
  const std::set<std::string> commands = ListedCommands();
  ASSERT_GT(commands.size(), 20u);
  for (const std::string& command : commands) {
    for (const char* flag : {"--help", "-h"}) {
      // Before anything else: even with the other arguments missing and no image at all.
      const ToolRun run = RunTool(nowhere, command + " " + flag, false);
      EXPECT_EQ(run.status, 0) << command << " " << flag << ": " << run.err;
      EXPECT_EQ(run.out.rfind("usage:\n  pellix-device [--image DIR] " + command, 0), 0u) << command << ": " << run.out;
      EXPECT_EQ(run.err, "") << command;
    }
  }
  EXPECT_FALSE(fs::exists(nowhere));
  // `help COMMAND` says the same.
  EXPECT_EQ(RunTool({}, "help store add", false).out, RunTool({}, "store add --help", false).out);
}

TEST_F(HelpAndUsageTest, HelpIsNeverTakenAsData) {
  // Neither a stored text, nor a folder, nor a rendered page.
  EXPECT_EQ(Tool("store add --help").status, 0);
  EXPECT_EQ(Tool("store list").out, "");
  const fs::path cwd_help = fs::current_path() / "--help";
  EXPECT_EQ(Tool("picture samples --help").status, 0);
  EXPECT_FALSE(fs::exists(cwd_help));
  EXPECT_EQ(Tool("render --help").out.rfind("usage:", 0), 0u);

  // After "--" it is a text like any other.
  const ToolRun added = Tool("store add -- --help");
  ASSERT_EQ(added.status, 0) << added.err;
  const std::vector<std::string> listed = Lines(Tool("store list").out);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].substr(listed[0].rfind('\t') + 1), "--help");
  // The global options end there too.
  EXPECT_EQ(Tool("store add -- --image").status, 0);
  EXPECT_EQ(Lines(Tool("store list").out).size(), 2u);
}

TEST_F(HelpAndUsageTest, UsageErrorsAreOneLineWithStatusTwo) {
  const char* bad[] = {
      "",                                 // no command
      "frobnicate",                       // no such command
      "--frobnicate settings",            // no such global option
      "store",                            // no subcommand
      "store frobnicate",                 // no such subcommand
      "store add",                        // no text
      "store add --bogus x",              // no such option
      "store add x --time",               // option without its value
      "store add a b",                    // one text too many
      "store add --time yesterday x",     // not a time
      "render --report 3 x",              // not a choice
      "reg set HKCU\\\\A N qword 1",      // not a value type
      "notify x --press middle",
      "notify x --seconds ten",
      "init --dpi many",
      "contacts add --name Ann",          // no number
      "contacts lookup 123 --box 5",
      "screenshot out.png --window nothing",
      "settings extra",
      "skin eval",
      "resources --static Other.dll",
  };
  for (const char* args : bad) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 2) << args << ": " << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u) << args << ": " << run.err;
    EXPECT_EQ(run.err.rfind("pellix-device: ", 0), 0u) << args << ": " << run.err;
    EXPECT_EQ(run.out, "") << args;
  }
}

TEST_F(HelpAndUsageTest, ABadArgumentIsEchoedCutAndEscaped) {
  const ToolRun run = Tool("store show " + std::string(5000, 'A'));
  EXPECT_EQ(run.status, 1);
  EXPECT_LT(run.err.size(), 200u) << run.err;
  // The shell runs the tool, so printf makes the line break.
  const ToolRun odd = Tool("reg get \"$(printf 'HKXX\\nbroken')\"");
  EXPECT_EQ(Lines(odd.err).size(), 1u) << odd.err;
  EXPECT_NE(odd.err.find("'HKXX\\nbroken'"), std::string::npos) << odd.err;
}

TEST_F(HelpAndUsageTest, TextsKeepToTheirLineAndColumn) {
  ASSERT_EQ(Tool("store add --from 123 \"$(printf 'one\\ttwo\\nthree')\"").status, 0);
  const std::vector<std::string> listed = Lines(Tool("store list").out);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].substr(listed[0].rfind('\t') + 1), "one\\ttwo\\nthree");

  const std::string key = "'HKCU\\Software\\Odd'";
  ASSERT_EQ(Tool("reg set " + key + " \"$(printf 'two\\nlines')\" sz \"$(printf 'first\\nsecond')\"").status, 0);
  const std::string exported = Tool("reg export " + key).out;
  EXPECT_EQ(exported, "[HKEY_CURRENT_USER\\Software\\Odd]\n\"two\\nlines\"=\"first\\nsecond\"\n\n");
}

TEST_F(HelpAndUsageTest, TimesFoldersAndWindows) {
  const ToolRun added = Tool("store add --from 1 --time 2026-12-05T21:30:00.25+01:00 Hi");
  ASSERT_EQ(added.status, 0) << added.err;
  const std::string id = added.out.substr(0, added.out.find('\n'));
  EXPECT_NE(Tool("store show " + id).out.find("(2026-12-05T20:30:00Z)"), std::string::npos);

  EXPECT_EQ(Tool("store add --folder Drafts Later").status, 0);
  EXPECT_EQ(Lines(Tool("store list --folder Drafts").out).size(), 1u);
  const ToolRun nowhere = Tool("store list --folder Nowhere");
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("(its folders: Inbox, Sent Items, Outbox, Deleted Items, Drafts)"), std::string::npos)
      << nowhere.err;

  // Nothing is on a freshly booted screen but the desktop; the listing is empty, not an error.
  const ToolRun windows = Tool("windows");
  EXPECT_EQ(windows.status, 0) << windows.err;
}

TEST_F(HelpAndUsageTest, VerboseEchoesTheModulesDebugOutput) {
  // Without its settings key the module says so on its debug output.
  ASSERT_EQ(Tool("reg delete 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix'").status, 0);
  EXPECT_EQ(Tool("settings").err, "");
  const ToolRun verbose = Tool("settings --verbose");
  EXPECT_EQ(verbose.status, 0);
  EXPECT_NE(verbose.err.find("GetSettings"), std::string::npos) << verbose.err;
}

TEST(ResourcesTest, TheLinkedModuleNeedsNoImage) {
  pellix::testing::TempDir dir;
  const ToolRun run = RunTool(dir.path() / "none", "resources --static", false);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("menu "), std::string::npos);
}

}  // namespace
