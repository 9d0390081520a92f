// coredll: MultiByteToWideChar / WideCharToMultiByte with the platform's argument rules.
#include <string>

#include "kernel/codepage.h"
#include "kernel/device_image.h"
#include "windows.h"

using namespace pellix::device;

namespace {

bool IsAnsi(UINT cp) { return cp == CP_ACP || cp == CP_OEMCP || cp == CP_THREAD_ACP || cp == 1252; }

int Finish(const std::u16string& converted, LPWSTR out, int cchOut) {
  int needed = static_cast<int>(converted.size());
  if (cchOut == 0) return needed;
  if (needed > cchOut) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; i < needed; ++i) out[i] = converted[i];
  return needed;
}

}  // namespace

UINT GetACP() { return 1252; }

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR in, int cbIn, LPWSTR out, int cchOut) {
  if (!in || cbIn == 0 || cbIn < -1 || cchOut < 0 || (!out && cchOut != 0) ||
      ((flags & MB_PRECOMPOSED) && (flags & MB_COMPOSITE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // -1: up to and including the terminator, which is then counted.
  size_t length = cbIn == -1 ? std::char_traits<char>::length(in) + 1 : static_cast<size_t>(cbIn);
  std::u16string converted;
  if (codePage == CP_UTF8) {
    converted = Utf8ToUtf16(std::string_view(in, length));
  } else if (IsAnsi(codePage)) {
    converted.reserve(length);
    for (size_t i = 0; i < length; ++i) {
      char16_t c = codepage::Cp1252ToUnicode(static_cast<uint8_t>(in[i]));
      if (flags & MB_COMPOSITE) {
        codepage::Decomposed d = codepage::Decompose(c);
        converted += d.base;
        if (d.mark) converted += d.mark;
      } else {
        converted += c;
      }
    }
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Finish(converted, out, cchOut);
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR in, int cchIn, LPSTR out, int cbOut,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar) {
  if (!in || cchIn == 0 || cchIn < -1 || cbOut < 0 || (!out && cbOut != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t length = cchIn == -1 ? wcslen(in) + 1 : static_cast<size_t>(cchIn);
  std::string converted;
  bool used_default = false;
  if (codePage == CP_UTF8) {
    if (defaultChar || usedDefaultChar) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    converted = Utf16ToUtf8(std::u16string_view(in, length));
  } else if (IsAnsi(codePage)) {
    char fallback = defaultChar ? defaultChar[0] : '?';
    converted.reserve(length);
    for (size_t i = 0; i < length; ++i) {
      codepage::Narrowed n = codepage::UnicodeToCp1252(in[i]);
      if (n.exact || (n.best_fit && !(flags & WC_NO_BEST_FIT_CHARS))) {
        converted += static_cast<char>(n.byte);
      } else {
        converted += fallback;
        used_default = true;
      }
    }
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (usedDefaultChar) *usedDefaultChar = used_default ? TRUE : FALSE;
  int needed = static_cast<int>(converted.size());
  if (cbOut == 0) return needed;
  if (needed > cbOut) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; i < needed; ++i) out[i] = converted[i];
  return needed;
}
