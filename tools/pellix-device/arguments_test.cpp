#include "arguments.h"

#include <gtest/gtest.h>

namespace pellix::tool {
namespace {

std::optional<Arguments> Read(const char* usage, std::vector<std::string> args, std::string* error = nullptr) {
  std::string ignored;
  return ReadArguments(ParseUsage(usage), args, error ? error : &ignored);
}

constexpr char kStoreAdd[] = "store add [--folder Inbox] [--time ISO8601] [--read] [--to ADDR]... TEXT";

TEST(UsageGrammar, DeclaredLineReadsOptionsFlagsAndText) {
  const UsageLine line = ParseUsage(kStoreAdd);
  EXPECT_EQ(line.command, "store");
  ASSERT_EQ(line.words, std::vector<std::string>{"add"});
  ASSERT_EQ(line.items.size(), 5u);
  EXPECT_TRUE(line.items[2].is_option && line.items[2].value.empty());  // --read
  EXPECT_TRUE(line.items[3].repeat);                                     // --to
  EXPECT_FALSE(line.items[4].optional);                                  // TEXT

  auto a = Read(kStoreAdd, {"add", "--to", "1", "--read", "hi", "--to=2"});
  ASSERT_TRUE(a);
  EXPECT_EQ(a->subcommand(), "add");
  EXPECT_TRUE(a->Has("--read"));
  EXPECT_EQ(a->Values("--to"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(a->positional(), std::vector<std::string>{"hi"});
}

TEST(UsageGrammar, DoubleDashEndsOptions) {
  auto a = Read(kStoreAdd, {"add", "--", "--help"});
  ASSERT_TRUE(a);
  EXPECT_EQ(a->positional(), std::vector<std::string>{"--help"});
  EXPECT_FALSE(a->Has("--help"));
  // A lone "-" is an argument (standard input or output), not an option.
  auto dash = Read("render [--slot 0|1|2] TEXT|-", {"-"});
  ASSERT_TRUE(dash);
  EXPECT_EQ(dash->positional(), std::vector<std::string>{"-"});
}

TEST(UsageGrammar, UsageErrorsSayWhat) {
  std::string error;
  EXPECT_FALSE(Read(kStoreAdd, {"add", "--bogus", "x"}, &error));
  EXPECT_NE(error.find("unknown option '--bogus'"), std::string::npos) << error;
  EXPECT_FALSE(Read(kStoreAdd, {"add", "-x marks the spot"}, &error));
  EXPECT_NE(error.find("after '--'"), std::string::npos) << error;
  // No option starts with a digit, so a negative number is an argument.
  EXPECT_TRUE(Read("skin eval EXPR...", {"eval", "-7/2"}));
  EXPECT_FALSE(Read(kStoreAdd, {"add", "x", "--time"}, &error));
  EXPECT_NE(error.find("--time needs a value"), std::string::npos) << error;
  EXPECT_FALSE(Read(kStoreAdd, {"add"}, &error));
  EXPECT_EQ(error, "missing TEXT");
  EXPECT_FALSE(Read(kStoreAdd, {"add", "a", "b"}, &error));
  EXPECT_EQ(error, "unexpected argument 'b'");
  EXPECT_FALSE(Read(kStoreAdd, {"add", "--folder", "A", "--folder", "B", "x"}, &error));
  EXPECT_EQ(error, "--folder is given twice");
  EXPECT_FALSE(Read(kStoreAdd, {"add", "--read=1", "x"}, &error));
  EXPECT_EQ(error, "--read takes no value");
}

TEST(UsageGrammar, ChoicesAreCheckedAndPlaceholdersAreNot) {
  std::string error;
  EXPECT_FALSE(Read("render [--report 0|1|2] TEXT|-", {"--report", "3", "x"}, &error));
  EXPECT_EQ(error, "--report takes 0, 1 or 2, not '3'");
  EXPECT_TRUE(Read("render [--report 0|1|2] TEXT|-", {"--report", "2", "any text"}));
  EXPECT_FALSE(Read("reg set KEY NAME dword|sz|binary VALUE", {"set", "K", "N", "qword", "1"}, &error));
  EXPECT_EQ(error, "expected dword, sz or binary, not 'qword'");
  EXPECT_TRUE(Read("init [--platform PocketPC|SmartPhone]", {"--platform", "SmartPhone"}));
  EXPECT_TRUE(Read("screenshot OUT.png|- [--window HWND]", {"shot.png", "--window", "0x10"}));
}

TEST(UsageGrammar, RequiredRepeatableOptionsAndOptionalArguments) {
  constexpr char kAdd[] = "contacts add --name NAME --phone NUMBER... [--picture FILE]";
  std::string error;
  EXPECT_FALSE(Read(kAdd, {"add", "--name", "Ada"}, &error));
  EXPECT_EQ(error, "missing --phone NUMBER");
  auto a = Read(kAdd, {"add", "--name", "Ada", "--phone", "1", "--phone", "2"});
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Values("--phone").size(), 2u);

  EXPECT_TRUE(Read("reg get KEY [NAME]", {"get", "HKCU"}));
  EXPECT_TRUE(Read("reg get KEY [NAME]", {"get", "HKCU", "x"}));
  EXPECT_FALSE(Read("reg get KEY [NAME]", {"get"}, &error));
  EXPECT_EQ(error, "missing KEY");
  auto words = Read("skin eval EXPR...", {"eval", "_CXSCREEN", "-", "30"});
  ASSERT_TRUE(words);
  EXPECT_EQ(words->positional().size(), 3u);
}

TEST(UsageGrammar, ShownArgumentsAreCutAndEscaped) {
  EXPECT_EQ(Shown("a\tb\nc"), "'a\\tb\\nc'");
  const std::string shown = Shown(std::string(5000, 'x'));
  EXPECT_LT(shown.size(), 100u);
  EXPECT_NE(shown.find("..."), std::string::npos);
  // Cut between characters, never inside one: 60 two-byte letters are 120 bytes.
  std::string umlauts;
  for (int i = 0; i < 60; ++i) umlauts += "\xC3\xA4";
  const std::string cut = Shown(umlauts);
  const size_t dots = cut.find("...");
  ASSERT_NE(dots, std::string::npos);
  EXPECT_EQ((dots - 1) % 2, 0u);
}

}  // namespace
}  // namespace pellix::tool
