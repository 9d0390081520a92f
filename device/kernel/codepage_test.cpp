// Code page 1252 conversions with the platform's argument and error rules.
#include <gtest/gtest.h>

#include <string>

#include "windows.h"

namespace {

TEST(CodePage, MultiByteToWideCountsTheTerminatorForMinusOne) {
  WCHAR out[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, out, 8), 3);
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", 2, nullptr, 0), 2);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80\x93\xe9", 3, out, 8), 3);
  EXPECT_EQ(out[0], 0x20AC);  // euro sign
  EXPECT_EQ(out[1], 0x201C);  // left double quotation mark
  EXPECT_EQ(out[2], 0x00E9);
}

TEST(CodePage, ArgumentErrors) {
  WCHAR out[2];
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 0, out, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 5), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  char narrow[2];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, TEXT("abc"), -1, narrow, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePage, CompositeGivesDecomposedCharacters) {
  WCHAR out[8];
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, MB_COMPOSITE, "\xe9t\xc5", 3, out, 8), 5);
  EXPECT_EQ(out[0], u'e');
  EXPECT_EQ(out[1], 0x0301);
  EXPECT_EQ(out[2], u't');
  EXPECT_EQ(out[3], u'A');
  EXPECT_EQ(out[4], 0x030A);
}

TEST(CodePage, UnmappableCharactersUseBestFitOrTheDefault) {
  struct Case {
    std::u16string in;
    DWORD flags;
    std::string out;
    BOOL used_default;
  } cases[] = {
      {u"caf\u00e9 \u20ac", 0, "caf\xe9 \x80", FALSE},
      {u"\u0141\u00f3d\u017a", 0, "L\xf3" "dz", FALSE},  // best fit for letters outside 1252
      {u"\u0141", WC_NO_BEST_FIT_CHARS, "?", TRUE},
      {u"\u263a!", 0, "?!", TRUE},
      {u"\uff21", 0, "A", FALSE},  // full-width A
  };
  for (const Case& c : cases) {
    char out[16] = {};
    BOOL used = 2;
    int n = WideCharToMultiByte(CP_ACP, c.flags, c.in.c_str(), static_cast<int>(c.in.size()), out, 16, nullptr, &used);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.out);
    EXPECT_EQ(used, c.used_default);
  }
}

TEST(CodePage, Utf8RoundTrip) {
  char narrow[16];
  int n = WideCharToMultiByte(CP_UTF8, 0, TEXT("\u00e9\u263a"), -1, narrow, 16, nullptr, nullptr);
  EXPECT_EQ(n, 6);
  WCHAR wide[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, narrow, -1, wide, 8), 3);
  EXPECT_EQ(std::u16string(wide), u"\u00e9\u263a");
}

}  // namespace
