#include <gtest/gtest.h>

#include <string>

#include "windows.h"

namespace {

std::u16string Format(const WCHAR* format, ...) {
  WCHAR buffer[1024];
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  EXPECT_EQ(static_cast<size_t>(n), wcslen(buffer));
  return buffer;
}

TEST(Wsprintf, StringsWideNarrowAndNull) {
  EXPECT_EQ(Format(TEXT("[%s]"), TEXT("abc")), u"[abc]");
  EXPECT_EQ(Format(TEXT("[%S]"), "abc"), u"[abc]");
  EXPECT_EQ(Format(TEXT("[%hs]"), "n\xe9"), u"[n\u00e9]");
  EXPECT_EQ(Format(TEXT("[%ls]"), TEXT("w")), u"[w]");
  EXPECT_EQ(Format(TEXT("[%s]"), static_cast<const WCHAR*>(nullptr)), u"[(null)]");
  EXPECT_EQ(Format(TEXT("[%.2s]"), TEXT("abcdef")), u"[ab]");
  EXPECT_EQ(Format(TEXT("[%5s|%-5s]"), TEXT("ab"), TEXT("cd")), u"[   ab|cd   ]");
  EXPECT_EQ(Format(TEXT("%c%C"), u'\u00e9', 'x'), u"\u00e9x");
}

TEST(Wsprintf, Numbers) {
  EXPECT_EQ(Format(TEXT("%d %i %u"), -42, 7, 0xFFFFFFFFu), u"-42 7 4294967295");
  EXPECT_EQ(Format(TEXT("%ld %lu"), -2147483647 - 1, 3000000000u), u"-2147483648 3000000000");
  EXPECT_EQ(Format(TEXT("%x %X %#x %08X"), 255, 255, 255, 0xBEEF), u"ff FF 0xff 0000BEEF");
  EXPECT_EQ(Format(TEXT("[%5d|%-5d|%05d|%.3d]"), 42, 42, -42, 7), u"[   42|42   |-0042|007]");
  EXPECT_EQ(Format(TEXT("%I64d %I64u"), static_cast<int64_t>(-5000000000LL),
                   static_cast<uint64_t>(10000000000ULL)),
            u"-5000000000 10000000000");
  EXPECT_EQ(Format(TEXT("100%%")), u"100%");
}

TEST(Wsprintf, UnknownTypePrintsLetterAndKeepsArguments) {
  // %f is not supported: the letter is printed and the argument stays for the next conversion.
  EXPECT_EQ(Format(TEXT("%f %d"), 9), u"f 9");
}

TEST(Wsprintf, OutputIsCutAt1023Characters) {
  std::u16string long_text(2000, u'x');
  WCHAR buffer[1100];
  for (WCHAR& c : buffer) c = u'#';
  int n = wsprintfW(buffer, TEXT("%s"), long_text.c_str());
  EXPECT_EQ(n, 1023);
  EXPECT_EQ(buffer[1023], 0);
  EXPECT_EQ(buffer[1024], u'#');  // nothing beyond the terminator
}

TEST(WideString, CompareSearchAndCopy) {
  EXPECT_EQ(wcslen(TEXT("")), 0u);
  EXPECT_EQ(wcslen(TEXT("abc")), 3u);
  EXPECT_EQ(_wcsicmp(TEXT("SmartPhone"), TEXT("smartphone")), 0);
  EXPECT_LT(_wcsicmp(TEXT("abc"), TEXT("ABD")), 0);
  EXPECT_EQ(_wcsicmp(TEXT("\u00c9T\u00c9"), TEXT("\u00e9t\u00e9")), 0);
  EXPECT_GT(wcscmp(TEXT("b"), TEXT("a")), 0);
  const WCHAR* s = TEXT("IPM.SMStext.REPORT");
  EXPECT_EQ(wcsstr(s, TEXT("REPORT")), s + 12);
  EXPECT_EQ(wcsstr(s, TEXT("NDR")), nullptr);
  EXPECT_EQ(wcschr(s, u'.'), s + 3);
  EXPECT_EQ(wcsrchr(s, u'.'), s + 11);
  EXPECT_EQ(wcschr(s, u'\0'), s + wcslen(s));

  WCHAR buf[8];
  EXPECT_EQ(StringCchCopyW(buf, 8, TEXT("1234567")), S_OK);
  EXPECT_EQ(std::u16string(buf), u"1234567");
  EXPECT_EQ(StringCchCopyW(buf, 8, TEXT("12345678")), STRSAFE_E_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::u16string(buf), u"1234567");
  EXPECT_EQ(StringCchCopyW(buf, 0, TEXT("x")), STRSAFE_E_INVALID_PARAMETER);

  WCHAR* dup = _wcsdup(TEXT("dup"));
  EXPECT_EQ(std::u16string(dup), u"dup");
  free(dup);
}

TEST(WideString, WcstolBase10) {
  WCHAR* end = nullptr;
  EXPECT_EQ(wcstol(TEXT("  -17xyz"), &end, 10), -17);
  EXPECT_EQ(*end, u'x');
  EXPECT_EQ(wcstol(TEXT("+5"), nullptr, 10), 5);
  EXPECT_EQ(wcstol(TEXT("--5"), &end, 10), 0);
  EXPECT_EQ(wcstol(TEXT("99999999999"), nullptr, 10), 2147483647);
  EXPECT_EQ(wcstol(TEXT("-99999999999"), nullptr, 10), -2147483647 - 1);
  const WCHAR* none = TEXT("abc");
  EXPECT_EQ(wcstol(none, &end, 10), 0);
  EXPECT_EQ(end, none);
}

}  // namespace
