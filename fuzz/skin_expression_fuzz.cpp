// The layout expression evaluator on arbitrary text: it must never crash, overflow its stack
// or read past the end of the text.
#include <cstdint>
#include <string>

#include "skin/skin_expression.h"

namespace {
int Metrics(int index) { return index * 37 - 100; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  BOOL anchor = FALSE;
  EXPRRESULT r = EvaluateSkinText(text.c_str(), Metrics, &anchor);
  (void)SkinValueFromResult(r);
  const char* pos = text.c_str();
  EvaluateExpression(&pos);
  if (pos < text.c_str() || pos > text.c_str() + text.size()) __builtin_trap();
  return 0;
}
