// The layout expression language of skins: sizes and positions written as arithmetic over
// the screen's size and the system metrics ("_CXSCREEN - 30"), so that one skin fits any
// screen. Variables are replaced by their values as text, then the text is evaluated in
// double precision and truncated toward zero. A value that does not evaluate counts as 0.
#pragma once

#include <windows.h>

// The three error texts of an expression result.
#define EXPR_SYNTAX_ERROR "syntax error"
#define EXPR_DIVISION_BY_ZERO "division by zero error"
#define EXPR_INCOMPLETE "incomplete expression"

// An expression result is good when `error` is empty; an error result has the value 0.
struct EXPRRESULT {
  double value;
  const char* error;  // "" or one of the texts above; a static string
};

// Gives the value of a system metric (SM_CXSCREEN, ...), as GetSystemMetrics does.
typedef int (*SKINMETRICPROC)(int index);

// Evaluates the expression at *pos and moves *pos past what it consumed.
EXPRRESULT EvaluateExpression(const char** pos);

// Replaces the variables of `text` by their values (metrics read through `metrics`) and
// evaluates it; characters left over make the error "incomplete expression". Sets
// *notifyHeight when the text mentions "_NotifyHeight" (it is left alone otherwise).
EXPRRESULT EvaluateSkinText(const char* text, SKINMETRICPROC metrics, BOOL* notifyHeight);

// The integer that a result gives: truncated toward zero, saturating as the platform's
// double-to-integer conversion does (NaN gives 0).
int SkinValueFromResult(const EXPRRESULT& result);

// The integer value of one skin value on this device's screen: metrics are read at each call.
// Sets the skin's bottom-anchor flag when the text mentions "_NotifyHeight".
int EvaluateSkinValue(const char* text);
