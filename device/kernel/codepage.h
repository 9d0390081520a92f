// Windows-1252, the device's ANSI code page, and UTF-8 conversions as the platform does them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellix::device::codepage {

// Byte to UTF-16. Undefined bytes of 1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// of the same value, as the platform's table does.
char16_t Cp1252ToUnicode(uint8_t byte);

struct Narrowed {
  uint8_t byte;
  bool exact;     // the code page has this character
  bool best_fit;  // not exact, but a close equivalent exists (a letter without its accent, ...)
};
// UTF-16 unit to 1252: exact, best fit, or neither (byte is then '?').
Narrowed UnicodeToCp1252(char16_t c);

// Decomposition of a precomposed Latin letter into base + combining mark, or {c, 0}.
struct Decomposed {
  char16_t base;
  char16_t mark;
};
Decomposed Decompose(char16_t c);

// Convenience for the device's own use: ANSI bytes <-> UTF-16.
std::u16string AnsiToWide(std::string_view text);
std::string WideToAnsi(std::u16string_view text);

}  // namespace pellix::device::codepage
