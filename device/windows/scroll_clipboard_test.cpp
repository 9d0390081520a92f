// Conformance: scroll bar clamping, scrolling children, and the clipboard holding real data.
#include <cstring>

#include "windows/clipboard.h"
#include "windows/test_window.h"

namespace pellix::testing {
namespace {

class ScrollTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass();
  }
};

TEST_F(ScrollTest, PositionStaysWhereAFullPageFits) {
  HWND panel = MakeWindow(WS_VSCROLL, 0, 0, 100, 100);
  SCROLLINFO si{sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 53, 10, 0, 0};
  EXPECT_EQ(SetScrollInfo(panel, SB_VERT, &si, TRUE), 0);
  struct Case {
    int asked, kept, previous;
  } cases[] = {{10, 10, 0}, {50, 44, 10}, {-5, 0, 44}, {44, 44, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(SetScrollPos(panel, SB_VERT, c.asked, TRUE), c.previous);
    EXPECT_EQ(GetScrollPos(panel, SB_VERT), c.kept);
  }
  SCROLLINFO got{sizeof(got), SIF_RANGE | SIF_POS, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(panel, SB_VERT, &got));
  EXPECT_EQ(got.nMax, 53);
  EXPECT_EQ(got.nPos, 44);
  // An empty range: nothing moves.
  SCROLLINFO none{sizeof(none), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  SetScrollInfo(panel, SB_VERT, &none, FALSE);
  SetScrollPos(panel, SB_VERT, 3, FALSE);
  EXPECT_EQ(GetScrollPos(panel, SB_VERT), 0);
  SCROLLINFO page_too_big{sizeof(si), SIF_RANGE | SIF_PAGE, 0, 9, 50, 0, 0};
  SetScrollInfo(panel, SB_VERT, &page_too_big, FALSE);
  SCROLLINFO page{sizeof(page), SIF_PAGE, 0, 0, 0, 0, 0};
  GetScrollInfo(panel, SB_VERT, &page);
  EXPECT_EQ(page.nPage, 10u);
}

TEST_F(ScrollTest, ScrollChildrenMovesEveryChild) {
  HWND panel = MakeWindow(WS_VISIBLE, 0, 0, 100, 100);
  HWND toolbar = MakeWindow(WS_CHILD | WS_VISIBLE, 0, 0, 100, 200, panel);
  RECT update{};
  EXPECT_EQ(ScrollWindowEx(panel, 0, -10, nullptr, nullptr, nullptr, &update, SW_SCROLLCHILDREN), 2);
  EXPECT_EQ(update.top, 90);
  EXPECT_EQ(update.bottom, 100);
  RECT r;
  GetWindowRect(toolbar, &r);
  EXPECT_EQ(r.top, -10);
  EXPECT_EQ(ScrollWindowEx(panel, 0, 0, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN), 1);
}

class ClipboardTest : public DeviceTest {};

TEST_F(ClipboardTest, TextSetIsReadBackAndRequiresTheClipboardOpen) {
  const char16_t text[] = u"Hello :)";
  HLOCAL block = LocalAlloc(LPTR, sizeof(text));
  std::memcpy(LocalLock(block), text, sizeof(text));
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), nullptr);  // not open
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);  // closed
  ASSERT_TRUE(OpenClipboard(nullptr));
  auto* held = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
  ASSERT_TRUE(held);
  EXPECT_EQ(std::u16string(held), u"Hello :)");
  CloseClipboard();
  EXPECT_EQ(device::windows::Clipboard::Get().Text(), std::u16string(u"Hello :)"));
}

TEST_F(ClipboardTest, ThreadOpenedClipboardIsRefusedToOthers) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  bool other_opened = true;
  std::thread other([&] { other_opened = OpenClipboard(nullptr); });
  other.join();
  EXPECT_FALSE(other_opened);
  CloseClipboard();
}

}  // namespace
}  // namespace pellix::testing
