#include "windows/edit_buffer.h"

#include <algorithm>

namespace pellix::device::windows {
namespace {

bool IsBreak(char16_t c) { return c == u'\r' || c == u'\n'; }

// Multi-line text takes every kind of line break as "\r\n".
std::u16string NormaliseBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::u16string_view EditBuffer::selected() const {
  return std::u16string_view(text_).substr(selection_start(), selection_end() - selection_start());
}

size_t EditBuffer::Clamp(size_t position) const {
  position = std::min(position, text_.size());
  // Never between the two units of a line break.
  if (position > 0 && position < text_.size() && text_[position - 1] == u'\r' && text_[position] == u'\n')
    --position;
  return position;
}

void EditBuffer::SaveUndo() {
  undo_text_ = text_;
  undo_anchor_ = anchor_;
  undo_caret_ = caret_;
  can_undo_ = true;
}

void EditBuffer::SetText(std::u16string_view text) {
  text_.assign(text.substr(0, std::min(text.size(), kHardLimit)));
  anchor_ = caret_ = 0;
  can_undo_ = false;
  modified_ = false;
}

void EditBuffer::SetSelection(long start, long end) {
  auto position = [&](long value) {
    return value < 0 ? text_.size() : Clamp(static_cast<size_t>(value));
  };
  if (start == -1) {
    anchor_ = caret_;
    return;
  }
  anchor_ = position(start);
  caret_ = position(end);
}

bool EditBuffer::ReplaceSelection(std::u16string_view text, bool undoable) {
  std::u16string insert;
  if (multiline_) {
    insert = NormaliseBreaks(text);
  } else {
    size_t stop = 0;
    while (stop < text.size() && !IsBreak(text[stop])) ++stop;
    insert.assign(text.substr(0, stop));
  }
  const size_t start = selection_start();
  const size_t removed = selection_end() - start;
  const size_t kept = text_.size() - removed;
  const size_t room = kept >= limit_ ? 0 : limit_ - kept;
  bool fitted = true;
  if (insert.size() > room) {
    fitted = false;
    size_t cut = room;
    // Half a line break or half a surrogate pair would leave text the control cannot show.
    if (cut > 0 && (insert[cut - 1] == u'\r' || (insert[cut - 1] >= 0xD800 && insert[cut - 1] < 0xDC00))) --cut;
    insert.resize(cut);
  }
  if (insert.empty() && removed == 0) return fitted;
  if (undoable) SaveUndo();
  text_.replace(start, removed, insert);
  anchor_ = caret_ = start + insert.size();
  modified_ = true;
  return fitted;
}

bool EditBuffer::DeleteBackward() {
  if (has_selection()) return ReplaceSelection(u"", true), true;
  if (caret_ == 0) return false;
  size_t from = caret_ - 1;
  if (from > 0 && text_[from] == u'\n' && text_[from - 1] == u'\r') --from;
  anchor_ = from;
  ReplaceSelection(u"", true);
  return true;
}

bool EditBuffer::DeleteForward() {
  if (has_selection()) return ReplaceSelection(u"", true), true;
  if (caret_ >= text_.size()) return false;
  size_t to = caret_ + 1;
  if (text_[caret_] == u'\r' && to < text_.size() && text_[to] == u'\n') ++to;
  anchor_ = to;
  ReplaceSelection(u"", true);
  return true;
}

void EditBuffer::MoveTo(size_t position, bool extend) {
  caret_ = Clamp(position);
  if (!extend) anchor_ = caret_;
}

void EditBuffer::MoveLeft(bool extend) {
  if (!extend && has_selection()) return MoveTo(selection_start(), false);
  if (caret_ == 0) return MoveTo(0, extend);
  size_t to = caret_ - 1;
  if (to > 0 && text_[to] == u'\n' && text_[to - 1] == u'\r') --to;
  MoveTo(to, extend);
}

void EditBuffer::MoveRight(bool extend) {
  if (!extend && has_selection()) return MoveTo(selection_end(), false);
  size_t to = std::min(caret_ + 1, text_.size());
  if (caret_ < text_.size() && text_[caret_] == u'\r' && to < text_.size() && text_[to] == u'\n') ++to;
  MoveTo(to, extend);
}

bool EditBuffer::Undo() {
  if (!can_undo_) return false;
  std::swap(text_, undo_text_);
  std::swap(anchor_, undo_anchor_);
  std::swap(caret_, undo_caret_);
  modified_ = true;
  return true;
}

size_t EditBuffer::LineStart(size_t position) const {
  position = Clamp(position);
  while (position > 0 && text_[position - 1] != u'\n') --position;
  return position;
}

size_t EditBuffer::LineEnd(size_t position) const {
  position = Clamp(position);
  while (position < text_.size() && text_[position] != u'\r') ++position;
  return position;
}

std::vector<EditLine> LayOutLines(std::u16string_view text, bool multiline, int width,
                                  const std::function<int(std::u16string_view)>& measure) {
  std::vector<EditLine> lines;
  if (!multiline) {
    lines.push_back({0, text.size()});
    return lines;
  }
  size_t begin = 0;
  while (true) {
    size_t end = begin;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    // Wrap the paragraph [begin, end).
    size_t start = begin;
    while (width > 0 && start < end && measure(text.substr(start, end - start)) > width) {
      // The longest run from `start` that fits, found by halving.
      size_t low = 1, high = end - start;
      while (low < high) {
        size_t mid = (low + high + 1) / 2;
        if (measure(text.substr(start, mid)) <= width) low = mid; else high = mid - 1;
      }
      size_t fit = low;
      // Break after the last space within the fitting run, when there is one.
      size_t space = fit;
      while (space > 0 && text[start + space - 1] != u' ') --space;
      if (space > 0 && start + fit < end && text[start + fit] != u' ') {
        lines.push_back({start, space - 1});
        start += space;
      } else if (start + fit < end && text[start + fit] == u' ') {
        lines.push_back({start, fit});
        start += fit + 1;
      } else {
        lines.push_back({start, fit});
        start += fit;
      }
    }
    lines.push_back({start, end - start});
    if (end >= text.size()) break;
    begin = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
    if (begin > text.size()) break;
  }
  return lines;
}

size_t LineOf(const std::vector<EditLine>& lines, size_t position) {
  size_t index = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].start <= position) index = i; else break;
  }
  return index;
}

}  // namespace pellix::device::windows
