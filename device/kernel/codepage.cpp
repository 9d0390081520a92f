#include "kernel/codepage.h"

#include <array>

namespace pellix::device::codepage {

namespace {

constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Latin Extended-A (U+0100..U+017F) without diacritics; 0 where 1252 holds it exactly or no
// plain letter fits.
constexpr char kLatinExtendedA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi\0\0JjKk\0LlLlLlLlLlNnNnNn\0\0\0OoOoOo\0\0"
    "RrRrRrSsSsSs\0\0TtTtTtUuUuUuUuUuUuWwYy\0ZzZz\0\0s";

struct Composition {
  char16_t composed, base, mark;
};
constexpr Composition kCompositions[] = {
    {0xC0, 'A', 0x300}, {0xC1, 'A', 0x301}, {0xC2, 'A', 0x302}, {0xC3, 'A', 0x303},
    {0xC4, 'A', 0x308}, {0xC5, 'A', 0x30A}, {0xC7, 'C', 0x327}, {0xC8, 'E', 0x300},
    {0xC9, 'E', 0x301}, {0xCA, 'E', 0x302}, {0xCB, 'E', 0x308}, {0xCC, 'I', 0x300},
    {0xCD, 'I', 0x301}, {0xCE, 'I', 0x302}, {0xCF, 'I', 0x308}, {0xD1, 'N', 0x303},
    {0xD2, 'O', 0x300}, {0xD3, 'O', 0x301}, {0xD4, 'O', 0x302}, {0xD5, 'O', 0x303},
    {0xD6, 'O', 0x308}, {0xD9, 'U', 0x300}, {0xDA, 'U', 0x301}, {0xDB, 'U', 0x302},
    {0xDC, 'U', 0x308}, {0xDD, 'Y', 0x301}, {0xE0, 'a', 0x300}, {0xE1, 'a', 0x301},
    {0xE2, 'a', 0x302}, {0xE3, 'a', 0x303}, {0xE4, 'a', 0x308}, {0xE5, 'a', 0x30A},
    {0xE7, 'c', 0x327}, {0xE8, 'e', 0x300}, {0xE9, 'e', 0x301}, {0xEA, 'e', 0x302},
    {0xEB, 'e', 0x308}, {0xEC, 'i', 0x300}, {0xED, 'i', 0x301}, {0xEE, 'i', 0x302},
    {0xEF, 'i', 0x308}, {0xF1, 'n', 0x303}, {0xF2, 'o', 0x300}, {0xF3, 'o', 0x301},
    {0xF4, 'o', 0x302}, {0xF5, 'o', 0x303}, {0xF6, 'o', 0x308}, {0xF9, 'u', 0x300},
    {0xFA, 'u', 0x301}, {0xFB, 'u', 0x302}, {0xFC, 'u', 0x308}, {0xFD, 'y', 0x301},
    {0xFF, 'y', 0x308}, {0x160, 'S', 0x30C}, {0x161, 's', 0x30C}, {0x17D, 'Z', 0x30C},
    {0x17E, 'z', 0x30C}, {0x178, 'Y', 0x308},
};

}  // namespace

char16_t Cp1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
  return byte;
}

Narrowed UnicodeToCp1252(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return {static_cast<uint8_t>(c), true, false};
  for (size_t i = 0; i < kHigh.size(); ++i)
    if (kHigh[i] == c) return {static_cast<uint8_t>(0x80 + i), true, false};
  char fit = 0;
  if (c >= 0x100 && c <= 0x17F) {
    fit = kLatinExtendedA[c - 0x100];
  } else if (c >= 0xFF01 && c <= 0xFF5E) {
    fit = static_cast<char>(c - 0xFF01 + 0x21);  // full-width forms
  } else {
    switch (c) {
      case 0x2010: case 0x2011: case 0x2012: case 0x2212: fit = '-'; break;
      case 0x2032: case 0x201B: fit = '\''; break;
      case 0x2033: case 0x201F: fit = '"'; break;
      case 0x2000: case 0x2001: case 0x2002: case 0x2003: case 0x2004: case 0x2005:
      case 0x2006: case 0x2009: case 0x200A: case 0x3000: fit = ' '; break;
      case 0x2044: case 0x2215: fit = '/'; break;
      case 0x2024: fit = '.'; break;
      default: break;
    }
  }
  if (fit) return {static_cast<uint8_t>(fit), false, true};
  return {'?', false, false};
}

Decomposed Decompose(char16_t c) {
  for (const Composition& k : kCompositions)
    if (k.composed == c) return {k.base, k.mark};
  return {c, 0};
}

std::u16string AnsiToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char ch : text) out += Cp1252ToUnicode(static_cast<uint8_t>(ch));
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += static_cast<char>(UnicodeToCp1252(c).byte);
  return out;
}

}  // namespace pellix::device::codepage
