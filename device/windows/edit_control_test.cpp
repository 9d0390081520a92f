// Edit controls: the buffer's rules on their own, then "EDIT" windows driven through messages
// as a form and the person drive them.
#include <string>
#include <vector>

#include "testing/temp_image.h"
#include "windows/edit_buffer.h"

#include <windows.h>

namespace {

using pellix::device::windows::EditBuffer;
using pellix::device::windows::EditLine;
using pellix::device::windows::LayOutLines;
using pellix::device::windows::LineOf;

// ---- The buffer -------------------------------------------------------------------------------

TEST(EditBuffer, ReplaceSelectionInsertsAtTheCaretOrOverTheSelection) {
  EditBuffer b(true);
  b.SetText(u"Hello world");
  b.SetSelection(5, 5);
  ASSERT_TRUE(b.ReplaceSelection(u" :-)", true));
  EXPECT_EQ(b.text(), u"Hello :-) world");
  EXPECT_EQ(b.caret(), 9u);
  b.SetSelection(0, 5);
  b.ReplaceSelection(u"Bye", true);
  EXPECT_EQ(b.text(), u"Bye :-) world");
  EXPECT_FALSE(b.has_selection());
  EXPECT_EQ(b.caret(), 3u);
  EXPECT_TRUE(b.modified());
}

TEST(EditBuffer, SetSelectionFollowsThePlatformsSpecialValues) {
  EditBuffer b(false);
  b.SetText(u"abcdef");
  b.SetSelection(0, -1);
  EXPECT_EQ(b.selected(), u"abcdef");
  b.SetSelection(2, 99);
  EXPECT_EQ(b.selection_start(), 2u);
  EXPECT_EQ(b.selection_end(), 6u);
  b.SetSelection(-1, 0);  // deselects, the caret stays
  EXPECT_FALSE(b.has_selection());
  EXPECT_EQ(b.caret(), 6u);
  b.SetSelection(4, 1);  // backwards: the caret ends at the second value
  EXPECT_EQ(b.caret(), 1u);
  EXPECT_EQ(b.selected(), u"bcd");
}

TEST(EditBuffer, TheLimitCutsWhatIsInsertedButNotSetText) {
  EditBuffer b(false);
  b.set_limit(5);
  b.SetText(u"abcdefgh");  // WM_SETTEXT is not limited
  EXPECT_EQ(b.text(), u"abcdefgh");
  b.SetText(u"abc");
  b.MoveTo(3, false);
  EXPECT_FALSE(b.ReplaceSelection(u"XYZ", true));
  EXPECT_EQ(b.text(), u"abcXY");
  EXPECT_FALSE(b.ReplaceSelection(u"Q", true));
  EXPECT_EQ(b.text(), u"abcXY");
  b.SetSelection(0, 2);  // replacing frees room
  EXPECT_TRUE(b.ReplaceSelection(u"12", true));
  EXPECT_EQ(b.text(), u"12cXY");
  b.set_limit(0);
  EXPECT_EQ(b.limit(), EditBuffer::kHardLimit);
  EXPECT_EQ(EditBuffer(true).limit(), 30000u);
}

TEST(EditBuffer, TheLimitNeverSplitsASurrogatePairOrALineBreak) {
  EditBuffer b(true);
  b.set_limit(3);
  EXPECT_FALSE(b.ReplaceSelection(u"ab\U0001F600", true));
  EXPECT_EQ(b.text(), u"ab");
  b.SetText(u"ab");
  b.MoveTo(2, false);
  EXPECT_FALSE(b.ReplaceSelection(u"\n", true));
  EXPECT_EQ(b.text(), u"ab");
}

TEST(EditBuffer, LineBreaksBecomeCrLfOrEndASingleLine) {
  EditBuffer multi(true);
  multi.ReplaceSelection(u"one\ntwo\rthree\r\nfour", true);
  EXPECT_EQ(multi.text(), u"one\r\ntwo\r\nthree\r\nfour");
  EditBuffer single(false);
  single.ReplaceSelection(u"+4917\r\nrest", true);
  EXPECT_EQ(single.text(), u"+4917");
}

TEST(EditBuffer, DeletingAndMovingTreatALineBreakAsOneCharacter) {
  EditBuffer b(true);
  b.SetText(u"ab\r\ncd");
  b.MoveTo(4, false);
  b.MoveLeft(false);
  EXPECT_EQ(b.caret(), 2u);
  b.MoveTo(3, false);  // between \r and \n is not a place
  EXPECT_EQ(b.caret(), 2u);
  b.MoveTo(4, false);
  ASSERT_TRUE(b.DeleteBackward());
  EXPECT_EQ(b.text(), u"abcd");
  b.SetText(u"ab\r\ncd");
  b.MoveTo(2, false);
  ASSERT_TRUE(b.DeleteForward());
  EXPECT_EQ(b.text(), u"abcd");
  b.MoveTo(0, false);
  EXPECT_FALSE(b.DeleteBackward());
  b.MoveTo(4, false);
  EXPECT_FALSE(b.DeleteForward());
  b.SetText(u"x\r\ny");
  EXPECT_EQ(b.LineStart(4), 3u);
  EXPECT_EQ(b.LineEnd(0), 1u);
}

TEST(EditBuffer, UndoSwapsBackAndForth) {
  EditBuffer b(false);
  b.SetText(u"abc");
  b.MoveTo(3, false);
  EXPECT_FALSE(b.CanUndo());
  b.ReplaceSelection(u"d", true);
  ASSERT_TRUE(b.Undo());
  EXPECT_EQ(b.text(), u"abc");
  ASSERT_TRUE(b.Undo());
  EXPECT_EQ(b.text(), u"abcd");
  b.EmptyUndo();
  EXPECT_FALSE(b.Undo());
  b.ReplaceSelection(u"e", false);  // not undoable: the earlier state is not kept
  EXPECT_FALSE(b.CanUndo());
}

int TenPixelsEach(std::u16string_view text) { return static_cast<int>(text.size()) * 10; }

TEST(EditLayout, WrapsAtSpacesThenCutsLongWords) {
  // 60 pixels hold six characters.
  auto lines = LayOutLines(u"hello big world", true, 60, TenPixelsEach);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].start, 0u);
  EXPECT_EQ(lines[0].length, 5u);  // "hello"
  EXPECT_EQ(lines[1].start, 6u);
  EXPECT_EQ(lines[1].length, 3u);  // "big"
  EXPECT_EQ(lines[2].start, 10u);  // "world"
  lines = LayOutLines(u"abcdefghijklm", true, 60, TenPixelsEach);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].start, 6u);
  EXPECT_EQ(lines[2].length, 1u);
  lines = LayOutLines(u"ab\r\n\r\ncd\r\n", true, 60, TenPixelsEach);
  ASSERT_EQ(lines.size(), 4u);  // a trailing break opens an empty last line for the caret
  EXPECT_EQ(lines[2].start, 6u);
  EXPECT_EQ(lines[3].start, 10u);
  EXPECT_EQ(lines[3].length, 0u);
  EXPECT_EQ(LineOf(lines, 10), 3u);
  EXPECT_EQ(LineOf(lines, 7), 2u);
  // Every character is on exactly one line, in order, whatever the width.
  std::u16string text = u"a bb ccc dddd eeeee ffffff ggggggg";
  for (int width = 1; width <= 80; ++width) {
    auto wrapped = LayOutLines(text, true, width, TenPixelsEach);
    size_t covered = 0;
    for (size_t i = 0; i < wrapped.size(); ++i) {
      ASSERT_GE(wrapped[i].start, covered) << width;
      for (size_t k = covered; k < wrapped[i].start; ++k) EXPECT_EQ(text[k], u' ') << width;
      covered = wrapped[i].start + wrapped[i].length;
      if (width >= 10) {
        EXPECT_LE(TenPixelsEach(std::u16string_view(text).substr(wrapped[i].start, wrapped[i].length)), width);
      }
    }
    EXPECT_EQ(covered, text.size()) << width;
  }
  EXPECT_EQ(LayOutLines(u"", true, 60, TenPixelsEach).size(), 1u);
  EXPECT_EQ(LayOutLines(u"a\r\nb", false, 60, TenPixelsEach).size(), 1u);
}

// ---- "EDIT" windows -----------------------------------------------------------------------------

std::vector<std::pair<WORD, WORD>> g_notes;  // (control id, code)

LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && lparam != 0) g_notes.push_back({LOWORD(wparam), HIWORD(wparam)});
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

class EditControlTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    g_notes.clear();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"EditParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, u"EditParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 200, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_TRUE(parent_);
  }
  HWND Make(DWORD style, LPCWSTR text = u"", int id = 7) {
    return CreateWindowExW(0, WC_EDIT, text, WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, 10, 200, 60, parent_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  }
  static std::u16string Text(HWND edit) {
    WCHAR buffer[256] = {};
    GetWindowTextW(edit, buffer, 256);
    return buffer;
  }
  static void Type(HWND edit, std::u16string_view text) {
    for (char16_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
  }
  bool Noted(WORD code) const {
    for (auto& [id, c] : g_notes)
      if (id == 7 && c == code) return true;
    return false;
  }
  HWND parent_ = nullptr;
};

TEST_F(EditControlTest, ReplaceSelInsertsAtTheCaretOfTheFocusedControl) {
  HWND edit = Make(ES_MULTILINE, u"See you");
  ASSERT_TRUE(edit);
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 4, 4);
  // What a smiley picker does: insert into whatever has the focus.
  SendMessageW(GetFocus(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u":-) "));
  EXPECT_EQ(Text(edit), u"See :-) you");
  DWORD start = 0, end = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(end, 8u);
  EXPECT_TRUE(Noted(EN_CHANGE));
  EXPECT_TRUE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
  EXPECT_TRUE(SendMessageW(edit, EM_CANUNDO, 0, 0));
  EXPECT_TRUE(SendMessageW(edit, EM_UNDO, 0, 0));
  EXPECT_EQ(Text(edit), u"See you");
}

TEST_F(EditControlTest, TypingGoesThroughTheStylesAndTheLimit) {
  HWND number = Make(ES_NUMBER, u"", 8);
  Type(number, u"+49 171");
  EXPECT_EQ(Text(number), u"49171");
  HWND upper = Make(ES_UPPERCASE, u"", 9);
  Type(upper, u"ok");
  EXPECT_EQ(Text(upper), u"OK");
  HWND read_only = Make(ES_READONLY, u"fixed", 10);
  Type(read_only, u"x");
  SendMessageW(read_only, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(Text(read_only), u"fixed");
  HWND limited = Make(0);
  SendMessageW(limited, EM_LIMITTEXT, 4, 0);
  EXPECT_EQ(SendMessageW(limited, EM_GETLIMITTEXT, 0, 0), 4);
  Type(limited, u"hello");
  EXPECT_EQ(Text(limited), u"hell");
  EXPECT_TRUE(Noted(EN_MAXTEXT));
  SendMessageW(limited, WM_CHAR, VK_BACK, 0);
  EXPECT_EQ(Text(limited), u"hel");
  SendMessageW(limited, WM_CHAR, VK_RETURN, 0);  // a single line takes no break
  EXPECT_EQ(Text(limited), u"hel");
  HWND multi = Make(ES_MULTILINE, u"", 11);
  Type(multi, u"a\rb");
  EXPECT_EQ(Text(multi), u"a\r\nb");
  EXPECT_EQ(SendMessageW(multi, EM_GETLINECOUNT, 0, 0), 2);
}

TEST_F(EditControlTest, KeysMoveTheCaretAndDelete) {
  HWND edit = Make(0, u"abcd");
  SendMessageW(edit, EM_SETSEL, 4, 4);
  SendMessageW(edit, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(edit, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(Text(edit), u"abd");
  SendMessageW(edit, WM_KEYDOWN, VK_HOME, 0);
  Type(edit, u"X");
  EXPECT_EQ(Text(edit), u"Xabd");
  SendMessageW(edit, WM_KEYDOWN, VK_END, 0);
  Type(edit, u"Y");
  EXPECT_EQ(Text(edit), u"XabdY");
  SendMessageW(edit, WM_CHAR, 1, 0);  // Ctrl+A selects all; typing replaces it
  Type(edit, u"Z");
  EXPECT_EQ(Text(edit), u"Z");
}

TEST_F(EditControlTest, SetTextResetsTheCaretAndIsNotLimited) {
  HWND edit = Make(0, u"old");
  SendMessageW(edit, EM_LIMITTEXT, 2, 0);
  SetWindowTextW(edit, u"longer text");
  EXPECT_EQ(GetWindowTextLengthW(edit), 11);
  EXPECT_FALSE(SendMessageW(edit, EM_GETMODIFY, 0, 0));
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u">"));
  EXPECT_EQ(Text(edit), u"longer text");  // no room left under the limit of 2
  SendMessageW(edit, EM_SETSEL, 0, 6);  // what is kept is still over the limit
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u">"));
  EXPECT_EQ(Text(edit), u" text");
  SendMessageW(edit, EM_SETSEL, 0, 4);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u">>"));
  EXPECT_EQ(Text(edit), u">t");
  SetWindowTextW(edit, u"longer text");
  WCHAR small[4];
  EXPECT_EQ(GetWindowTextW(edit, small, 4), 3);  // cut to the caller's buffer
  EXPECT_EQ(std::u16string(small), u"lon");
  SendMessageW(edit, EM_REPLACESEL, FALSE, 0);  // a null text changes nothing and does not crash
  EXPECT_EQ(Text(edit), u"longer text");
}

TEST_F(EditControlTest, CutCopyAndPasteGoThroughTheClipboard) {
  HWND from = Make(0, u"hello world", 12);
  HWND to = Make(ES_MULTILINE, u"", 13);
  SendMessageW(from, EM_SETSEL, 6, 11);
  SendMessageW(from, WM_CUT, 0, 0);
  EXPECT_EQ(Text(from), u"hello ");
  SendMessageW(to, WM_PASTE, 0, 0);
  SendMessageW(to, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(to), u"worldworld");
  HWND password = Make(ES_PASSWORD, u"secret", 14);
  SendMessageW(password, EM_SETSEL, 0, -1);
  SendMessageW(password, WM_COPY, 0, 0);  // a password never leaves its box
  SendMessageW(to, WM_PASTE, 0, 0);
  EXPECT_EQ(Text(to), u"worldworldworld");
}

TEST_F(EditControlTest, FocusAndTapsPlaceTheCaret) {
  HWND edit = Make(0, u"abc");
  SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 10));  // left of the first letter
  SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(1, 10));
  EXPECT_EQ(GetFocus(), edit);
  EXPECT_TRUE(Noted(EN_SETFOCUS));
  Type(edit, u">");
  EXPECT_EQ(Text(edit), u">abc");
  SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(190, 10));  // far right: the end
  Type(edit, u"<");
  EXPECT_EQ(Text(edit), u">abc<");
  HWND other = Make(0, u"", 15);
  SetFocus(other);
  EXPECT_TRUE(Noted(EN_KILLFOCUS));
}

}  // namespace
