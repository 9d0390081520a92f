// deliver and run of pellix-device, as a maintainer uses them from a shell: messages arrive
// through the Inbox of an image made by init, and scripted scenarios stop at the first
// expectation that does not hold.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;
namespace fs = std::filesystem;

const char kRegister[] =
    "set 'HKLM\\Software\\Microsoft\\Inbox\\Svc\\SMS\\Rules' '{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}' dword 1\n"
    "set 'HKCR\\CLSID\\{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}\\InprocServer32' @ sz PellixRule.dll\n"
    "set 'HKCU\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo' DLL sz '\\Windows\\PellixRule.dll'\n";

class InboxCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(Tool("init --clock-speed 50").status, 0); }
  ToolRun Tool(const std::string& args) { return pellix::testing::RunTool(image_, args, false); }
  fs::path Script(const std::string& text) {
    fs::path path = dir_.path() / ("script" + std::to_string(++scripts_) + ".txt");
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(text.substr(start, nl - start));
    return lines;
  }

  pellix::testing::TempDir dir_;
  fs::path image_ = dir_.path() / "image";
  int scripts_ = 0;
};

TEST_F(InboxCommandsTest, DeliverPrintsTheEntryAndWhatEachRuleClientAnswered) {
  ToolRun alone = Tool("deliver --from +4930111 'nobody listens'");
  ASSERT_EQ(alone.status, 0) << alone.err;
  EXPECT_EQ(Lines(alone.out).at(1), "no rule client is registered");

  ASSERT_EQ(Tool("run '" + Script(kRegister).string() + "'").status, 0);
  ToolRun delivered = Tool("deliver --from +4930111 --time 2026-12-05T20:30:00Z 'Hi :) there'");
  ASSERT_EQ(delivered.status, 0) << delivered.err;
  auto lines = Lines(delivered.out);
  ASSERT_EQ(lines.size(), 2u) << delivered.out;
  EXPECT_EQ(lines[0].size(), 64u);
  EXPECT_EQ(lines[1],
            "rule client {7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}: handled 1, event 0x10, result 0x00000000");
  ToolRun shown = Tool("store show " + lines[0]);
  EXPECT_NE(shown.out.find("PR_MESSAGE_CLASS_W = IPM.SMStext.Ravlo"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("2026-12-05"), std::string::npos) << shown.out;
  // The earlier message stays as the Inbox left it.
  EXPECT_NE(Tool("store list").out.find("IPM.SMStext\t+4930111\tnobody listens"), std::string::npos);
}

TEST_F(InboxCommandsTest, DeliverRefusesWhatIsNotAMessage) {
  EXPECT_EQ(Tool("deliver").status, 2);
  EXPECT_EQ(Tool("deliver --time yesterday hi").status, 2);
  EXPECT_EQ(Tool("deliver one two").status, 2);
  EXPECT_EQ(Tool("store list").out, "");
}

TEST_F(InboxCommandsTest, AScenarioRunsInOrderAndStopsAtTheFirstFailedExpectation) {
  const fs::path shot = dir_.path() / "after.png";
  std::string script = std::string("# a delivery report names its recipient\n") + kRegister +
                       "deliver --from +4930111 --class IPM.SMStext.REPORT.DR \"Message to +4930111 delivered\"\n"
                       "   expect store latest text 'Message to \"+4930111\" delivered'\n"
                       "wait 5s\n"
                       "expect journal \"^inbox message [0-9]+: rule client .*handled 1\"\n"
                       "expect store latest class IPM.SMStext.Ravlo\n"
                       "expect store count 1\n"
                       "expect store latest class IPM.SMStext\n"
                       "screenshot '" + shot.string() + "'\n";
  ToolRun run = Tool("run '" + Script(script).string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(".txt:11: expect: found class \"IPM.SMStext.Ravlo\""), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("rule client {7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}: handled 1"), std::string::npos);
  EXPECT_FALSE(fs::exists(shot));  // nothing after the failed step runs
}

TEST_F(InboxCommandsTest, TheSoftKeysGoToTheBubbleOverTheListAndBackToTheListWhenItGoes) {
  const std::string script = std::string(kRegister) +
                             "deliver --from +4930111 'see you at eight'\n"
                             "expect store latest unread\n"
                             // The list's own soft keys are up from the start, the bubble's come later.
                             "expect screen-text 'Mark read'\n"
                             "softkey left\n"
                             "expect store latest read\n"
                             "expect screen-text New\n"
                             "softkey left\n"
                             "expect journal '^compose .*account=SMS'\n";
  ToolRun run = Tool("run '" + Script(script).string() + "'");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
}

TEST_F(InboxCommandsTest, EveryLineIsCheckedBeforeAnythingRuns) {
  ToolRun unknown = Tool("run '" + Script("deliver one\n\n# fine so far\nfly away\n").string() + "'");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find(".txt:4: unknown step fly"), std::string::npos) << unknown.err;
  ToolRun quote = Tool("run '" + Script("deliver \"never closed\n").string() + "'");
  EXPECT_EQ(quote.status, 1);
  EXPECT_NE(quote.err.find(".txt:1: unfinished double quote"), std::string::npos) << quote.err;
  EXPECT_EQ(Tool("store list").out, "");
}

TEST_F(InboxCommandsTest, StepsReportWhatTheyFound) {
  struct Case {
    std::string step, error;
  };
  const Case cases[] = {
      {"expect journal 'no such thing'", "no journal entry matches no such thing"},
      {"expect journal '('", "not a pattern"},
      {"expect store latest class X", "the Inbox is empty"},
      {"expect store count 3", "found 0 messages in Inbox"},
      {"wait soon", "wait takes one duration"},
      {"tap 10", "tap takes X and Y"},
      {"key warp", "unknown key warp"},
      {"softkey middle", "softkey takes left or right"},
      {"tap-link +4930999", "no link to +4930999 is on the screen"},
      {"expect clipboard 'copied'", "the clipboard holds no text"},
      {"press 10", "press takes X and Y"},
      {"press 10 10 forever", "press takes X and Y"},
      {"expect clipboard", "expect clipboard takes one text"},
      {"open latest", "the Inbox is empty"},
      {"open 0A0B", "not a message's entry identifier: 0A0B"},
      {"expect screen-text 'not there'",
       "the screen does not show \"not there\"; it shows:\n  New\n  Menu\n  Text Messages"},
      {"screenshot '" + (image_ / "inside.png").string() + "'", "is inside the device image"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ToolRun run = Tool("run '" + Script(cases[i].step + "\n").string() + "'");
    EXPECT_EQ(run.status, 1) << i;
    EXPECT_NE(run.err.find(cases[i].error), std::string::npos) << i << ": " << run.err;
  }
}

TEST_F(InboxCommandsTest, ScreenshotsAndSettingsTakeEffect) {
  const fs::path shot = dir_.path() / "screen.png";
  std::string script = "set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' Enabled dword 0\n" +
                       std::string(kRegister) +
                       "deliver --from +4930111 'switched off'\n"
                       "expect store latest class IPM.SMStext\n"
                       "expect journal 'handled 0, event unset'\n"
                       "expect screen-text 'switched off'\n"
                       "expect screen-text +4930111\n"
                       "key down\n"
                       "screenshot '" + shot.string() + "'\n";
  ToolRun run = Tool("run '" + Script(script).string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(shot));
  EXPECT_NE(run.out.find("screenshot " + shot.string()), std::string::npos);
}

// `open` shows a message in the read form of the form module its class names; the newest
// message, or the one named, whichever the list shows first.
TEST_F(InboxCommandsTest, OpenShowsTheNamedMessageInItsReadForm) {
  ToolRun first = Tool("deliver --from +4930111 'first one'");
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string first_id = first.out.substr(0, first.out.find('\n'));
  std::string script = "deliver --from +4930222 'second one'\n"
                       "open latest\n"
                       "expect journal 'message 2 opened in the read form of .*smsforms.dll'\n"
                       "expect screen-text 'second one'\n"
                       "open " + first_id + "\n"
                       "expect journal 'message 1 opened in the read form'\n"
                       "expect screen-text 'first one'\n";
  ToolRun run = Tool("run '" + Script(script).string() + "'");
  ASSERT_EQ(run.status, 0) << run.err;
  // A message that is not there is refused by the Inbox.
  ASSERT_EQ(first_id.size(), 64u);
  const std::string gone = first_id.substr(0, 48) + "63" + first_id.substr(50);  // message 99
  run = Tool("run '" + Script("open " + gone + "\n").string() + "'");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("script2.txt:1: open: "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("not a message's entry identifier"), std::string::npos) << run.err;
}

// A person copies the text of a message from the installed module's read form with its
// context menu (a long press): the clipboard then holds exactly the text.
TEST_F(InboxCommandsTest, TextCopiedFromTheReadFormIsOnTheClipboard) {
  ASSERT_EQ(Tool("install").status, 0);
  // Stored without the Inbox's processing, so no bubble lies over the form.
  ASSERT_EQ(Tool("store add --from +4930111 'Call me at 8, Ada'").status, 0);
  const std::string copy = "open latest\n"
                           "menu 'Select All'\n"
                           "press 120 200\n"
                           "menu Copy\n"
                           "press 120 200 800ms\n";
  ToolRun run = Tool("run '" + Script(copy + "expect clipboard 'Call me at 8, Ada'\n").string() + "'");
  EXPECT_EQ(run.status, 0) << run.err;
}

}  // namespace
