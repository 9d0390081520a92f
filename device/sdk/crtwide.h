// The platform C runtime's wide-string functions for WCHAR (UTF-16), with the platform's
// semantics. They overload the host's wchar_t functions of the same names.
#pragma once

#include <cstdarg>
#include <cstdio>
// The host's own wide functions are brought into std:: by using-declarations in these headers;
// including them first keeps the WCHAR overloads below out of those declarations.
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "windef.h"
#include "winerror.h"

size_t wcslen(const WCHAR* s);
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t count);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t count);
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
int _wcsicmp(const WCHAR* a, const WCHAR* b);
int _wcsnicmp(const WCHAR* a, const WCHAR* b, size_t count);
const WCHAR* wcschr(const WCHAR* s, WCHAR c);
WCHAR* wcschr(WCHAR* s, WCHAR c);
const WCHAR* wcsrchr(const WCHAR* s, WCHAR c);
WCHAR* wcsrchr(WCHAR* s, WCHAR c);
const WCHAR* wcsstr(const WCHAR* s, const WCHAR* find);
WCHAR* wcsstr(WCHAR* s, const WCHAR* find);
// Base-10 semantics of the platform: leading white space, one optional sign, digits; the
// result saturates at LONG_MIN / LONG_MAX.
long wcstol(const WCHAR* s, WCHAR** end, int base);
unsigned long wcstoul(const WCHAR* s, WCHAR** end, int base);
int _wtoi(const WCHAR* s);
WCHAR* _wcsdup(const WCHAR* s);  // free() the result
WCHAR* _wcslwr(WCHAR* s);
WCHAR* _wcsupr(WCHAR* s);
WCHAR towlower(WCHAR c);
WCHAR towupper(WCHAR c);
int iswspace(WCHAR c);
int iswdigit(WCHAR c);
int iswalpha(WCHAR c);
int iswalnum(WCHAR c);

// wsprintfW / wvsprintfW: %[-][#][0][width][.precision][l|h|w|I64]type with types c C s S d i
// u x X p; %s is a wide string, %S (and %hs) a narrow one. Output is cut at 1023 characters
// plus the terminator. Returns the number of characters written, without the terminator.
int wsprintfW(WCHAR* out, const WCHAR* format, ...);
int wvsprintfW(WCHAR* out, const WCHAR* format, va_list args);

// strsafe
HRESULT StringCchCopyW(WCHAR* dst, size_t cchDest, const WCHAR* src);
HRESULT StringCchCatW(WCHAR* dst, size_t cchDest, const WCHAR* src);
HRESULT StringCchLengthW(const WCHAR* s, size_t cchMax, size_t* length);
HRESULT StringCchPrintfW(WCHAR* dst, size_t cchDest, const WCHAR* format, ...);
HRESULT StringCchCopyNW(WCHAR* dst, size_t cchDest, const WCHAR* src, size_t cchSrc);
#define STRSAFE_MAX_CCH 2147483647
