// coredll: the C runtime's wide-string functions over UTF-16 WCHAR.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "crtwide.h"

size_t wcslen(const WCHAR* s) {
  const WCHAR* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
  WCHAR* d = dst;
  while ((*d++ = *src++)) {
  }
  return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count) {
  size_t i = 0;
  for (; i < count && src[i]; ++i) dst[i] = src[i];
  for (; i < count; ++i) dst[i] = 0;
  return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
  wcscpy(dst + wcslen(dst), src);
  return dst;
}

WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count) {
  WCHAR* d = dst + wcslen(dst);
  size_t i = 0;
  for (; i < count && src[i]; ++i) d[i] = src[i];
  d[i] = 0;
  return dst;
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return static_cast<int>(*a) - static_cast<int>(*b);
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (a[i] != b[i] || !a[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
  }
  return 0;
}

WCHAR towlower(WCHAR c) {
  if (c >= u'A' && c <= u'Z') return static_cast<WCHAR>(c + 32);
  // Latin-1 capitals, except the multiplication sign.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<WCHAR>(c + 32);
  return c;
}

WCHAR towupper(WCHAR c) {
  if (c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 32);
  return c;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
  for (;; ++a, ++b) {
    int ca = towlower(*a), cb = towlower(*b);
    if (ca != cb || !ca) return ca - cb;
  }
}

int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int ca = towlower(a[i]), cb = towlower(b[i]);
    if (ca != cb || !ca) return ca - cb;
  }
  return 0;
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (!*s) return nullptr;
  }
}
WCHAR* wcschr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (!*s) return found;
  }
}
WCHAR* wcsrchr(WCHAR* s, WCHAR c) { return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c)); }

const WCHAR* wcsstr(const WCHAR* s, const WCHAR* find) {
  if (!*find) return s;
  for (; *s; ++s) {
    const WCHAR *a = s, *b = find;
    while (*a && *b && *a == *b) ++a, ++b;
    if (!*b) return s;
  }
  return nullptr;
}
WCHAR* wcsstr(WCHAR* s, const WCHAR* find) {
  return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(s), find));
}

int iswspace(WCHAR c) { return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0xA0; }
int iswdigit(WCHAR c) { return c >= u'0' && c <= u'9'; }
int iswalpha(WCHAR c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}
int iswalnum(WCHAR c) { return iswalpha(c) || iswdigit(c); }

namespace {

int DigitValue(WCHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return 99;
}

// Shared parse for wcstol and wcstoul: white space, one sign, an optional 0x for base 16 or 0,
// then digits. Reports the magnitude saturated at `limit` and whether it overflowed.
unsigned long long ParseInteger(const WCHAR* s, WCHAR** end, int base, bool* negative,
                                bool* overflow, unsigned long long limit) {
  const WCHAR* p = s;
  *negative = false;
  *overflow = false;
  while (iswspace(*p)) ++p;
  if (*p == u'+' || *p == u'-') *negative = (*p++ == u'-');
  if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') &&
      DigitValue(p[2]) < 16) {
    p += 2;
    base = 16;
  } else if (base == 0) {
    base = (p[0] == u'0') ? 8 : 10;
  }
  if (base < 2 || base > 36) {
    if (end) *end = const_cast<WCHAR*>(s);
    return 0;
  }
  unsigned long long value = 0;
  const WCHAR* digits = p;
  for (; DigitValue(*p) < base; ++p) {
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*p));
    if (value > limit) {
      *overflow = true;
      value = limit;
    }
  }
  if (end) *end = const_cast<WCHAR*>(p == digits ? s : p);
  return value;
}

}  // namespace

long wcstol(const WCHAR* s, WCHAR** end, int base) {
  bool negative, overflow;
  unsigned long long v = ParseInteger(s, end, base, &negative, &overflow, 0x80000000ull);
  if (negative) return static_cast<long>(-static_cast<long long>(v));
  if (v > LONG_MAX || v > 0x7FFFFFFFull) return 0x7FFFFFFF;
  return static_cast<long>(v);
}

unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base) {
  bool negative, overflow;
  unsigned long long v = ParseInteger(s, end, base, &negative, &overflow, 0xFFFFFFFFull);
  if (overflow) return 0xFFFFFFFFul;
  return static_cast<unsigned long>(negative ? static_cast<uint32_t>(-static_cast<int64_t>(v)) : v);
}

int _wtoi(const WCHAR* s) { return static_cast<int>(wcstol(s, nullptr, 10)); }

WCHAR* _wcsdup(const WCHAR* s) {
  size_t n = wcslen(s) + 1;
  auto* copy = static_cast<WCHAR*>(std::malloc(n * sizeof(WCHAR)));
  if (copy) std::memcpy(copy, s, n * sizeof(WCHAR));
  return copy;
}

WCHAR* _wcslwr(WCHAR* s) {
  for (WCHAR* p = s; *p; ++p) *p = towlower(*p);
  return s;
}

WCHAR* _wcsupr(WCHAR* s) {
  for (WCHAR* p = s; *p; ++p) *p = towupper(*p);
  return s;
}

HRESULT StringCchCopyNW(WCHAR* dst, size_t cchDest, const WCHAR* src, size_t cchSrc) {
  if (cchDest == 0 || cchDest > STRSAFE_MAX_CCH || !dst) return STRSAFE_E_INVALID_PARAMETER;
  size_t i = 0;
  for (; i < cchSrc && src[i]; ++i) {
    if (i + 1 == cchDest) {
      dst[i] = 0;  // truncated, as the platform leaves it
      return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    dst[i] = src[i];
  }
  dst[i] = 0;
  return S_OK;
}

HRESULT StringCchCopyW(WCHAR* dst, size_t cchDest, const WCHAR* src) {
  return StringCchCopyNW(dst, cchDest, src, STRSAFE_MAX_CCH);
}

HRESULT StringCchCatW(WCHAR* dst, size_t cchDest, const WCHAR* src) {
  if (cchDest == 0 || cchDest > STRSAFE_MAX_CCH || !dst) return STRSAFE_E_INVALID_PARAMETER;
  size_t len = 0;
  while (len < cchDest && dst[len]) ++len;
  if (len == cchDest) return STRSAFE_E_INVALID_PARAMETER;
  return StringCchCopyW(dst + len, cchDest - len, src);
}

HRESULT StringCchLengthW(const WCHAR* s, size_t cchMax, size_t* length) {
  if (!s || cchMax > STRSAFE_MAX_CCH) {
    if (length) *length = 0;
    return STRSAFE_E_INVALID_PARAMETER;
  }
  size_t n = 0;
  while (n < cchMax && s[n]) ++n;
  if (n == cchMax) {
    if (length) *length = 0;
    return STRSAFE_E_INVALID_PARAMETER;
  }
  if (length) *length = n;
  return S_OK;
}
