// The process command of pellix-device: the module's processing of an incoming message, run on
// a message stored with the store command, as a person would run both from a shell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/device_image.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;

class ProcessToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto image = pellix::device::DeviceImage::Create(dir_.path() / "image", pellix::device::Profile{});
    ASSERT_TRUE(image.ok());
  }
  ToolRun Tool(const std::string& args) { return pellix::testing::RunTool(dir_.path() / "image", args, false); }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(text.substr(start, nl - start));
    return lines;
  }
  std::string Add(const std::string& args) {
    ToolRun added = Tool("store add " + args);
    EXPECT_EQ(added.status, 0) << added.err;
    return added.out.substr(0, added.out.find('\n'));
  }

  pellix::testing::TempDir dir_;
};

TEST_F(ProcessToolTest, HandledReportIsRewrittenAndPrintedLikeStoreShow) {
  ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext\\Ravlo' DLL sz x").status, 0);
  ASSERT_EQ(Tool("contacts add --name 'Anna Berg' --phone +4915112345").status, 0);
  const std::string id = Add("--from +4917000 --class IPM.SMStext.REPORT.DR 'Message to +4915112345 was delivered'");

  ToolRun run = Tool("process " + id);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "handled = 1");
  EXPECT_EQ(lines[1], "event = 0x10");
  EXPECT_EQ(lines[2], "result = 0x00000000");
  // The rest is exactly what store show prints now.
  ToolRun shown = Tool("store show " + id);
  ASSERT_EQ(shown.status, 0);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), Lines(shown.out));
  EXPECT_NE(shown.out.find("0x001A001F PR_MESSAGE_CLASS_W = IPM.SMStext.Ravlo\n"), std::string::npos);
  EXPECT_NE(shown.out.find("0x0037001F PR_SUBJECT_W = Message to \"Anna Berg\" was delivered\n"), std::string::npos);
  EXPECT_NE(shown.out.find("0x8112000B = 1\n"), std::string::npos) << shown.out;
}

TEST_F(ProcessToolTest, OutcomesThatAreNotHandled) {
  const std::string id = Add("--from +4917000 Hi");
  ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' Enabled dword 0").status, 0);
  ToolRun off = Tool("process " + id);
  EXPECT_EQ(off.status, 0) << off.err;
  EXPECT_EQ(Lines(off.out).at(0), "handled = 0");
  EXPECT_EQ(Lines(off.out).at(1), "event = unset");
  EXPECT_NE(off.out.find("PR_MESSAGE_CLASS_W = IPM.SMStext\n"), std::string::npos);

  // A message that is not there: not handled, and the exit status says so.
  ASSERT_EQ(Tool("reg set 'HKCU\\Software\\Halvane Quorrin Softwares\\Pellix' Enabled dword 1").status, 0);
  std::string gone = id;
  gone[gone.size() - 1] = gone.back() == 'F' ? 'E' : 'F';
  // A message that is not there, or an identifier that is not a message's, is refused as
  // `store show` refuses it, before the module sees it.
  ToolRun missing = Tool("process " + gone);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_NE(missing.err.find("no such message: '" + gone + "'"), std::string::npos) << missing.err;
  ToolRun nothex = Tool("process nothex");
  EXPECT_EQ(nothex.status, 1);
  EXPECT_NE(nothex.err.find("not a message entry identifier"), std::string::npos) << nothex.err;
  EXPECT_EQ(Tool("process").status, 2);

  // A message without a sender: the module gives up on it, and the tool says why in words.
  ToolRun anonymous = Tool("process " + Add("Hi"));
  EXPECT_EQ(anonymous.status, 1);
  EXPECT_NE(anonymous.err.find("the message has no sender (the module's result: 0x"), std::string::npos)
      << anonymous.err;
}

}  // namespace
