#include "declaration_scanner.h"

#include <gtest/gtest.h>

namespace pellix::sdkcheck {
namespace {

std::vector<std::string> Names(std::string_view header) {
  std::vector<std::string> names;
  for (const auto& d : ScanDeclarations(header)) names.push_back(d.name);
  return names;
}

using Names_ = std::vector<std::string>;

TEST(DeclarationScanner, FindsDeclarationsInEveryForm) {
  const char* header = R"(
#pragma once
#define MAKEWORD(a, b) Combine(a, \
    b);
typedef unsigned DWORD;
HWND GetParent(HWND hWnd);
BOOL WINAPI SetWindowPos(HWND hWnd, HWND after,
                         int x, int y, int cx, int cy, UINT flags);  // over two lines
const WCHAR* wcsstr(const WCHAR* a, const WCHAR* b);
extern "C" {
LPVOID* LocalAlloc(UINT flags, SIZE_T bytes);
}
STDAPI CoInitializeEx(LPVOID reserved, DWORD flags);
)";
  EXPECT_EQ(Names(header),
            (Names_{"GetParent", "SetWindowPos", "wcsstr", "LocalAlloc", "CoInitializeEx"}));
}

TEST(DeclarationScanner, LeavesOutWhatIsNotAFreeFunctionToLink) {
  const char* header = R"(
/* BOOL Commented(int); */
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** out) = 0;
  virtual ULONG AddRef() = 0;
};
typedef struct tagPOINT { LONG x; LONG y; } POINT, *LPPOINT;
DEFINE_GUID(IID_IUnknown, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return Compare(a, b) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
static int Helper(int x);
inline constexpr GUID kNull = {0, 0, 0, {0}};
enum class Kind : int { kA = Value(1) };
BOOL AfterAllThat(int x);
)";
  // Only the last one: the definitions, types and macro uses before it must not swallow it.
  EXPECT_EQ(Names(header), Names_{"AfterAllThat"});
}

TEST(DeclarationScanner, RedeclaresAtBlockScopeWithoutALinkageSpecification) {
  auto d = ScanDeclarations("STDAPI DllGetClassObject(REFCLSID c, REFIID i, LPVOID* out);");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(BlockScopeDeclaration(d[0]), "extern HRESULT DllGetClassObject(REFCLSID c, REFIID i, LPVOID* out);");
  d = ScanDeclarations("int  Plain( int   x );");
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(BlockScopeDeclaration(d[0]), "extern int Plain( int x );");
}

}  // namespace
}  // namespace pellix::sdkcheck
