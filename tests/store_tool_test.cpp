// The store and contacts commands of pellix-device, run as a person would run them, on an
// image the tests make (a device is not running, so the tool owns the databases).
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "imaging/sample_pictures.h"
#include "kernel/device_image.h"
#include "testing/temp_image.h"
#include "tool_runner.h"

namespace {

using pellix::testing::ToolRun;

class StoreToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto image = pellix::device::DeviceImage::Create(dir_.path() / "image", pellix::device::Profile{});
    ASSERT_TRUE(image.ok());
  }

  ToolRun Tool(const std::string& args) { return pellix::testing::RunTool(dir_.path() / "image", args); }

  std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
      lines.push_back(text.substr(start, nl - start));
    return lines;
  }

  pellix::testing::TempDir dir_;
};

TEST_F(StoreToolTest, StoreAddListShow) {
  ToolRun added = Tool("store add --from '+49 171 234567' --time 2026-12-05T20:30:00Z --to +4930 'Hi :)'");
  ASSERT_EQ(added.status, 0) << added.out;
  const std::string id = Lines(added.out).at(0);
  EXPECT_EQ(id.size(), 64u);  // 32 bytes in hex

  Tool("store add --folder 'Sent Items' --class IPM.SMStext --read 'sent one'");
  ToolRun inbox = Tool("store list");
  ASSERT_EQ(inbox.status, 0) << inbox.out;
  EXPECT_EQ(Lines(inbox.out), std::vector<std::string>{id + "\tIPM.SMStext\t+49 171 234567\tHi :)"});
  ToolRun sent = Tool("store list --folder 'sent items'");
  ASSERT_EQ(Lines(sent.out).size(), 1u);
  EXPECT_NE(sent.out.find("\tsent one"), std::string::npos);

  ToolRun shown = Tool("store show " + id);
  ASSERT_EQ(shown.status, 0) << shown.out;
  const auto lines = Lines(shown.out);
  auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_TRUE(has("0x001A001F PR_MESSAGE_CLASS_W = IPM.SMStext")) << shown.out;
  EXPECT_TRUE(has("0x0037001F PR_SUBJECT_W = Hi :)"));
  EXPECT_TRUE(has("0x0C1F001F PR_SENDER_EMAIL_ADDRESS_W = +49 171 234567"));
  EXPECT_TRUE(has("0x0E070003 PR_MESSAGE_FLAGS = 0"));
  // 2026-12-05T20:30:00Z is 13,440,976,200 seconds after 1601-01-01.
  EXPECT_TRUE(has("0x0E060040 PR_MESSAGE_DELIVERY_TIME = 134409762000000000 (2026-12-05T20:30:00Z)"));
  EXPECT_TRUE(has("0x0FFF0102 PR_ENTRYID = " + id));
  EXPECT_EQ(lines.back(), "recipient to +4930");
}

TEST_F(StoreToolTest, StoreRefusesBadInput) {
  EXPECT_EQ(Tool("store add --folder Nowhere text").status, 1);
  EXPECT_EQ(Tool("store add --time 2026-02-30T10:00 text").status, 2);
  EXPECT_EQ(Tool("store show 00").status, 1);
  EXPECT_EQ(Tool("store show " + std::string(64, '0')).status, 1);
  EXPECT_EQ(Tool("store add").status, 2);
  EXPECT_EQ(Tool("store frobnicate").status, 2);
}

TEST_F(StoreToolTest, ContactsAddListFind) {
  // A picture the imaging library decodes: a 2x2 GIF.
  pellix::device::imaging::samples::GifSpec gif;
  gif.width = gif.height = 2, gif.palette = {0x000000, 0xFFFFFF};
  pellix::device::imaging::samples::GifFrameSpec frame;
  frame.width = frame.height = 2, frame.indices = {0, 1, 1, 0};
  gif.frames.push_back(frame);
  const std::vector<uint8_t> face = pellix::device::imaging::samples::WriteGif(gif);
  std::ofstream(dir_.path() / "face.gif", std::ios::binary)
      .write(reinterpret_cast<const char*>(face.data()), static_cast<std::streamsize>(face.size()));
  ToolRun added = Tool("contacts add --name 'Anna Berg' --phone '+49 171 234567' --phone 030-1234 --picture '" +
                   (dir_.path() / "face.gif").string() + "'");
  ASSERT_EQ(added.status, 0) << added.out;
  EXPECT_EQ(added.out, "1\n");
  ToolRun list = Tool("contacts list");
  EXPECT_EQ(list.out, "1\tAnna Berg\tmobile=+49 171 234567\thome=030-1234\tpicture=" + std::to_string(face.size()) +
                          " bytes\n");
  EXPECT_EQ(Tool("contacts find +49171234567").out, "1\tAnna Berg\tmobile\n");
  EXPECT_EQ(Tool("contacts find 0301234").out, "1\tAnna Berg\thome\n");
  ToolRun missing = Tool("contacts find 0171234567");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(Tool("contacts add --name Solo").status, 2);  // a number is required
}

}  // namespace
