#include "clipboard_expectation.h"

#include <optional>
#include <thread>

#include "kernel/device.h"
#include "windows/clipboard.h"

namespace pellix::tool {
namespace {

// The text as a script writes it: line breaks and tabs shown, a long one cut.
std::string Shown(const std::u16string& text) {
  constexpr size_t kMaxShown = 120;
  std::u16string shown;
  for (char16_t c : text.substr(0, kMaxShown)) {
    if (c == u'\r') shown += u"\\r";
    else if (c == u'\n') shown += u"\\n";
    else if (c == u'\t') shown += u"\\t";
    else shown += c;
  }
  if (text.size() > kMaxShown) shown += u"...";
  return device::Utf16ToUtf8(shown);
}

}  // namespace

std::string CheckClipboardText(const std::u16string& wanted, std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  std::optional<std::u16string> held;
  // The copy is made on the window's own thread, after the person's input reached it.
  while ((held = device::windows::Clipboard::Get().Text()) != wanted) {
    if (std::chrono::steady_clock::now() >= end) {
      if (!held) return "the clipboard holds no text";
      return "the clipboard holds \"" + Shown(*held) + "\"";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

}  // namespace pellix::tool
