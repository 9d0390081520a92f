// Finds the free functions a header declares without defining them, so that a generated
// program can refer to each one and the linker proves the device defines it.
//
// The scanner reads the SDK's own style of C++ declarations, not C++ at large: comments and
// preprocessor lines are dropped, class, struct and enum bodies and inline definitions are
// skipped, and what remains at namespace scope up to a ';' is a function declaration when it
// names a function after a return type. Operations of COM interfaces (inside struct bodies)
// and function pointer types are not free functions and are left out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pellix::sdkcheck {

struct Declaration {
  std::string name;  // the function's name
  std::string text;  // the declaration as written, whitespace collapsed, without the ';'
};

std::vector<Declaration> ScanDeclarations(std::string_view header);

// A block-scope redeclaration of `d` that C++ accepts (a linkage specification such as the
// one STDAPI carries is only allowed at namespace scope; the redeclaration inherits it).
std::string BlockScopeDeclaration(const Declaration& d);

}  // namespace pellix::sdkcheck
