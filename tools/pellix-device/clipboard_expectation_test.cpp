// The clipboard as `expect clipboard` sees it, filled by the device's own text box copying
// its selection.
#include "clipboard_expectation.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "testing/temp_image.h"

namespace pellix::tool {
namespace {

using namespace std::chrono_literals;

class ClipboardExpectationTest : public testing::DeviceTest {
 protected:
  // Copies characters [from, to) of `text` from a text box, as Copy in a menu does.
  void CopyFromTextBox(const char16_t* text, int from, int to) {
    HWND edit = CreateWindowExW(0, u"EDIT", text, WS_VISIBLE | ES_MULTILINE, 0, 0, 200, 80, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETSEL, from, to);
    SendMessageW(edit, WM_COPY, 0, 0);
    DestroyWindow(edit);
  }
};

TEST_F(ClipboardExpectationTest, HoldsExactlyTheCopiedText) {
  EXPECT_EQ(CheckClipboardText(u"anything", 0ms), "the clipboard holds no text");
  CopyFromTextBox(u"Call me\r\nat\t8", 0, -1);
  EXPECT_EQ(CheckClipboardText(u"Call me\r\nat\t8", 0ms), "");
  // Part of it is not enough, nor more than it.
  EXPECT_EQ(CheckClipboardText(u"Call me", 0ms), "the clipboard holds \"Call me\\r\\nat\\t8\"");
  EXPECT_EQ(CheckClipboardText(u"Call me\r\nat\t8 ", 0ms), "the clipboard holds \"Call me\\r\\nat\\t8\"");
  CopyFromTextBox(u"Call me", 5, 7);
  EXPECT_EQ(CheckClipboardText(u"me", 0ms), "");
}

TEST_F(ClipboardExpectationTest, ALongTextIsCutInTheReport) {
  const std::u16string text(300, u'x');
  CopyFromTextBox(text.c_str(), 0, -1);
  const std::string why = CheckClipboardText(u"y", 0ms);
  EXPECT_EQ(why, "the clipboard holds \"" + std::string(120, 'x') + "...\"");
  EXPECT_EQ(CheckClipboardText(text, 0ms), "");
}

}  // namespace
}  // namespace pellix::tool
