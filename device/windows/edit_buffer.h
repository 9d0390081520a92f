// The text of an edit control and what acts on it: the selection and caret, the limit on
// what the person (and EM_REPLACESEL) may put in, one level of undo, and the division of the
// text into the lines the control shows. The window procedure (edit_control.cpp) is a thin
// layer over this; nothing here touches windows or drawing, so it is tested on its own.
//
// Positions are UTF-16 unit offsets into the text. Multi-line text keeps line breaks as
// "\r\n", as the platform's controls do, and the caret never stands between "\r" and "\n".
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pellix::device::windows {

class EditBuffer {
 public:
  // The platform's default limit on what a person may type into an edit control.
  static constexpr size_t kDefaultLimit = 30000;
  // The most any edit control holds, whatever its limit says or WM_SETTEXT brings.
  static constexpr size_t kHardLimit = 0x7FFFFFFE;

  explicit EditBuffer(bool multiline) : multiline_(multiline) {}

  const std::u16string& text() const { return text_; }
  bool multiline() const { return multiline_; }

  // The selection: `anchor` stays where it began, `caret` moves with the keys.
  size_t anchor() const { return anchor_; }
  size_t caret() const { return caret_; }
  size_t selection_start() const { return std::min(anchor_, caret_); }
  size_t selection_end() const { return std::max(anchor_, caret_); }
  bool has_selection() const { return anchor_ != caret_; }
  std::u16string_view selected() const;

  // WM_SETTEXT: replaces everything, ignoring the limit; the caret goes to the start and the
  // undo level is dropped. A single-line control keeps its text as given.
  void SetText(std::u16string_view text);
  // EM_SETSEL: start -1 takes the selection away (the caret stays); end -1 or past the end
  // means the end. The caret ends at `end`.
  void SetSelection(long start, long end);
  void SelectAll() { SetSelection(0, -1); }

  // EM_REPLACESEL / typing / pasting: replaces the selection (or inserts at the caret) with
  // `text`, cut to what the limit leaves room for; a single-line control takes `text` up to
  // its first line break, and a multi-line one turns lone "\n" or "\r" into "\r\n". The caret
  // ends after the inserted text. Returns false when the limit cut something (EN_MAXTEXT).
  bool ReplaceSelection(std::u16string_view text, bool undoable);
  // Backspace and Delete: the selection, or the character (a whole line break) before or
  // after the caret. False when nothing changed.
  bool DeleteBackward();
  bool DeleteForward();

  // Caret moves; `extend` keeps the anchor (Shift held).
  void MoveLeft(bool extend);
  void MoveRight(bool extend);
  void MoveTo(size_t position, bool extend);

  // EM_LIMITTEXT: 0 sets the hard limit. Text already there is kept.
  void set_limit(size_t limit) { limit_ = (limit == 0 || limit > kHardLimit) ? kHardLimit : limit; }
  size_t limit() const { return limit_; }

  bool modified() const { return modified_; }
  void set_modified(bool modified) { modified_ = modified; }

  bool CanUndo() const { return can_undo_; }
  // Swaps the text and selection with the saved ones, so a second undo redoes.
  bool Undo();
  void EmptyUndo() { can_undo_ = false; }

  // The start of the logical line holding `position` and that line's length without its break.
  size_t LineStart(size_t position) const;
  size_t LineEnd(size_t position) const;

 private:
  size_t Clamp(size_t position) const;
  void SaveUndo();

  bool multiline_;
  std::u16string text_;
  size_t anchor_ = 0;
  size_t caret_ = 0;
  size_t limit_ = kDefaultLimit;
  bool modified_ = false;
  bool can_undo_ = false;
  std::u16string undo_text_;
  size_t undo_anchor_ = 0;
  size_t undo_caret_ = 0;
};

// One line as the control shows it: `length` units from `start`, not counting the break
// (or the space the line was wrapped at) that follows.
struct EditLine {
  size_t start = 0;
  size_t length = 0;
};

// Divides `text` into shown lines. A single-line control shows one line. A multi-line one
// breaks at "\r\n" and, when `width` > 0, wraps words that do not fit into `width` pixels as
// `measure` (the pixel width of a run of text) tells; a word longer than a line is cut where
// it stops fitting. Always at least one line.
std::vector<EditLine> LayOutLines(std::u16string_view text, bool multiline, int width,
                                  const std::function<int(std::u16string_view)>& measure);

// The index of the shown line that holds `position` (a position at a wrap point belongs to
// the line it starts).
size_t LineOf(const std::vector<EditLine>& lines, size_t position);

}  // namespace pellix::device::windows
