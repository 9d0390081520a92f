// Layout expressions: textual replacement of the variables, then a recursive descent over
//   expression := term { ("+" | "-") term }
//   term       := power { ("*" | "/") power }
//   power      := primary [ "^" primary ]
//   primary    := "(" expression [")"] | number
// There is no unary operator: a sign belongs to the number that strtod reads.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "skin/skin_expression.h"


namespace {

// Brackets nest at most this deep; deeper text is a syntax error rather than a stack overflow.
// Skin values are at most 127 characters, so no real skin comes near it.
constexpr int kMaxDepth = 200;

struct Parser {
  const char* pos;
  int depth;
};

EXPRRESULT Good(double value) { return EXPRRESULT{value, ""}; }
EXPRRESULT Error(const char* text) { return EXPRRESULT{0.0, text}; }
bool Failed(const EXPRRESULT& r) { return r.error[0] != '\0'; }

void SkipBlanks(Parser& p) {
  while (*p.pos != '\0' && std::isspace(static_cast<unsigned char>(*p.pos))) ++p.pos;
}

EXPRRESULT Expression(Parser& p);

EXPRRESULT Number(Parser& p) {
  SkipBlanks(p);
  char* end = nullptr;
  double value = strtod(p.pos, &end);
  if (end == p.pos) return Error(EXPR_SYNTAX_ERROR);
  p.pos = end;
  SkipBlanks(p);
  return Good(value);
}

EXPRRESULT Primary(Parser& p) {
  SkipBlanks(p);
  if (*p.pos != '(') return Number(p);
  if (p.depth >= kMaxDepth) return Error(EXPR_SYNTAX_ERROR);
  ++p.pos;
  ++p.depth;
  EXPRRESULT inner = Expression(p);
  --p.depth;
  if (Failed(inner)) return inner;
  // A missing ")" is forgiven: the bracket counts as 0 and evaluation goes on from where
  // the inner expression stopped.
  if (*p.pos != ')') return Good(0.0);
  ++p.pos;
  SkipBlanks(p);
  return inner;
}

EXPRRESULT Power(Parser& p) {
  EXPRRESULT base = Primary(p);
  if (Failed(base) || *p.pos != '^') return base;
  ++p.pos;
  EXPRRESULT exponent = Primary(p);
  if (Failed(exponent)) return exponent;
  return Good(pow(base.value, exponent.value));
}

EXPRRESULT Term(Parser& p) {
  EXPRRESULT left = Power(p);
  while (!Failed(left) && (*p.pos == '*' || *p.pos == '/')) {
    char op = *p.pos++;
    EXPRRESULT right = Power(p);
    if (Failed(right)) return right;
    if (op == '*') {
      left.value *= right.value;
    } else {
      if (right.value == 0.0) return Error(EXPR_DIVISION_BY_ZERO);
      left.value /= right.value;
    }
  }
  return left;
}

EXPRRESULT Expression(Parser& p) {
  EXPRRESULT left = Term(p);
  while (!Failed(left) && (*p.pos == '+' || *p.pos == '-')) {
    char op = *p.pos++;
    EXPRRESULT right = Term(p);
    if (Failed(right)) return right;
    left.value = op == '+' ? left.value + right.value : left.value - right.value;
  }
  return left;
}

// Replaces every occurrence of `name` in `text` by `value`; returns whether any was found.
bool ReplaceAll(std::string& text, const char* name, const char* value) {
  size_t nameLength = strlen(name);
  size_t valueLength = strlen(value);
  bool found = false;
  for (size_t at = text.find(name); at != std::string::npos;
       at = text.find(name, at + valueLength)) {
    text.replace(at, nameLength, value);
    found = true;
  }
  return found;
}

struct SKINVARIABLE {
  const char* name;
  int metric;
};

// Replaced in this order, so a name that is the start of another would be replaced first.
const SKINVARIABLE kVariables[] = {
    {"_CXSCREEN", 0},    {"_CYSCREEN", 1},    {"_CYMENU", 15},     {"_CYCAPTION", 4},
    {"_CXVSCROLL", 2},   {"_CYVSCROLL", 20},  {"_CXICON", 11},     {"_CYICON", 12},
    {"_CXHSCROLL", 21},  {"_CYHSCROLL", 3},   {"_CXDLGFRAME", 7},  {"_CYDLGFRAME", 8},
    {"_CXEDGE", 45},     {"_CYEDGE", 46},     {"_CXBORDER", 5},    {"_CYBORDER", 6},
};

}  // namespace

EXPRRESULT EvaluateExpression(const char** pos) {
  Parser p{*pos, 0};
  EXPRRESULT result = Expression(p);
  *pos = p.pos;
  return result;
}

EXPRRESULT EvaluateSkinText(const char* text, SKINMETRICPROC metrics, BOOL* notifyHeight) {
  std::string copy = text != nullptr ? text : "";
  if (copy.find('_') != std::string::npos) {
    if (ReplaceAll(copy, "_NotifyHeight", "0") && notifyHeight != nullptr) *notifyHeight = TRUE;
    for (const SKINVARIABLE& v : kVariables) {
      if (copy.find(v.name) == std::string::npos) continue;
      char digits[16];
      snprintf(digits, sizeof(digits), "%d", metrics != nullptr ? metrics(v.metric) : 0);
      ReplaceAll(copy, v.name, digits);
    }
  }
  const char* pos = copy.c_str();
  EXPRRESULT result = EvaluateExpression(&pos);
  if (!Failed(result) && *pos != '\0') return Error(EXPR_INCOMPLETE);
  return result;
}

int SkinValueFromResult(const EXPRRESULT& result) {
  double v = result.value;
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(v);  // truncates toward zero
}
