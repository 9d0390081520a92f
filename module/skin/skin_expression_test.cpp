#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <string>

#include "skin/skin_expression.h"



namespace {

// A 240 x 320 handheld whose metrics are told apart by value: each metric index i that the
// language names gives 100 + i, except the screen and the menu bar.
int FakeMetrics(int index) {
  switch (index) {
    case 0: return 240;   // SM_CXSCREEN
    case 1: return 320;   // SM_CYSCREEN
    case 15: return 26;   // SM_CYMENU
    default: return 100 + index;
  }
}

struct Case {
  const char* text;
  int value;
  const char* error;
};

TEST(SkinExpressionTest, Values) {
  const Case cases[] = {
      {"_CXSCREEN-30", 210, ""},
      {"(_CYSCREEN - _CYMENU) / 2", 147, ""},
      {"7/2", 3, ""},
      {"-7/2", -3, ""},                          // truncation toward zero
      {"2^10", 1024, ""},
      {"2^3^2", 0, EXPR_INCOMPLETE},             // one "^" at most
      {"10/0", 0, EXPR_DIVISION_BY_ZERO},
      {"10/(5-5)", 0, EXPR_DIVISION_BY_ZERO},
      {"abc", 0, EXPR_SYNTAX_ERROR},
      {"", 0, EXPR_SYNTAX_ERROR},
      {"   ", 0, EXPR_SYNTAX_ERROR},
      {"10 - (2", 10, ""},                       // a missing ")" counts as 0, no error
      {"(3", 0, ""},
      {"1 2", 0, EXPR_INCOMPLETE},
      {"-5", -5, ""},
      {"2*-3", -6, ""},                          // the sign belongs to the number
      {"-(5)", 0, EXPR_SYNTAX_ERROR},            // no unary minus before a bracket
      {"0-_CYMENU", -26, ""},
      {"-_CYMENU", -26, ""},                     // the minus becomes the number's sign
      {"_CXSCREEN0", 2400, ""},                  // a digit after a variable joins it
      {"1 + 2 * 3", 7, ""},
      {"(1 + 2) * 3", 9, ""},
      {"10 - 4 - 3", 3, ""},                     // left to right
      {"64 / 4 / 2", 8, ""},
      {"2 ^ 3 * 2", 16, ""},
      {" ( 8 ) ", 8, ""},
      {"1.5 * 3", 4, ""},
      {"2.5e1", 25, ""},
      {"1 +", 0, EXPR_SYNTAX_ERROR},
      {"1 + * 2", 0, EXPR_SYNTAX_ERROR},
      {"(1))", 0, EXPR_INCOMPLETE},
      {"5 % 2", 0, EXPR_INCOMPLETE},
      {"_cxscreen", 0, EXPR_SYNTAX_ERROR},       // variables are case-sensitive
      {"_CXEDGE + _CYEDGE", 145 + 146, ""},
      {"_CXVSCROLL _CYVSCROLL", 0, EXPR_INCOMPLETE},
      {"_CXDLGFRAME*_CYDLGFRAME", 107 * 108, ""},
      {"_CXICON-_CYICON", -1, ""},               // "111-112"
      {"_CXHSCROLL+_CYHSCROLL+_CXBORDER+_CYBORDER+_CYCAPTION", 121 + 103 + 105 + 106 + 104, ""},
      {"(-2)^0.5", 0, ""},                       // NaN converts to 0
      {"10^400", 2147483647, ""},                // overflow saturates
      {"-10^400", 2147483647, ""},               // the sign is the base's: (-10)^400
      {"0-10^401", -2147483647 - 1, ""},
      {"1e10", 2147483647, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BOOL anchor = FALSE;
    EXPRRESULT r = EvaluateSkinText(c.text, FakeMetrics, &anchor);
    EXPECT_STREQ(r.error, c.error);
    if (r.error[0] != '\0') {
      EXPECT_EQ(r.value, 0.0);
    }
    EXPECT_EQ(SkinValueFromResult(r), c.value);
    EXPECT_FALSE(anchor);
  }
}

TEST(SkinExpressionTest, NotifyHeightIsZeroAndSetsTheAnchor) {
  const Case cases[] = {
      {"_NotifyHeight + 5", 5, ""},
      {"0 - _NotifyHeight", 0, ""},
      {"_NotifyHeight", 0, ""},
      {"_NotifyHeight _NotifyHeight", 0, EXPR_INCOMPLETE},  // still mentioned: flag set
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BOOL anchor = FALSE;
    EXPRRESULT r = EvaluateSkinText(c.text, FakeMetrics, &anchor);
    EXPECT_STREQ(r.error, c.error);
    EXPECT_EQ(SkinValueFromResult(r), c.value);
    EXPECT_TRUE(anchor);
  }
  BOOL anchor = TRUE;
  EvaluateSkinText("_CXSCREEN", FakeMetrics, &anchor);
  EXPECT_TRUE(anchor);  // never cleared here; the skin loader clears it
}

TEST(SkinExpressionTest, EvaluateExpressionStopsWhereItCannotGoOn) {
  struct Stop {
    const char* text;
    size_t consumed;
  };
  const Stop stops[] = {
      {"1 + 2 )", 6},      // blanks after a number are consumed
      {"2^3^2", 3},
      {"4 5", 2},
      {"(1 + 2", 6},       // the missing bracket: stops at the end
      {"(1 2)", 3},        // inner expression stops at "2"; no ")" there, bracket is 0
  };
  for (const Stop& s : stops) {
    SCOPED_TRACE(s.text);
    const char* pos = s.text;
    EvaluateExpression(&pos);
    EXPECT_EQ(static_cast<size_t>(pos - s.text), s.consumed);
  }
}

TEST(SkinExpressionTest, DeepNestingIsAnErrorNotACrash) {
  std::string deep(100000, '(');
  deep += "1";
  BOOL anchor = FALSE;
  EXPRRESULT r = EvaluateSkinText(deep.c_str(), FakeMetrics, &anchor);
  EXPECT_STREQ(r.error, EXPR_SYNTAX_ERROR);
  std::string fine(50, '(');
  fine += "7" + std::string(50, ')');
  EXPECT_EQ(SkinValueFromResult(EvaluateSkinText(fine.c_str(), FakeMetrics, &anchor)), 7);
}

}  // namespace
