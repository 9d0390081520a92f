// The link of this program is the check that the device defines every declared function; the
// test adds that each one resolves and that the scan saw every header's functions at all.
#include "sdk_declarations.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(SdkDeclarations, EveryDeclaredFunctionResolvesToTheDevice) {
  std::set<std::string> names, headers;
  for (const auto& d : SdkDeclarations()) {
    EXPECT_NE(d.resolve(), nullptr) << d.name << " (" << d.header << ")";
    names.insert(d.name);
    headers.insert(d.header);
  }
  // One function of each kind of header, so that a scanner that stopped seeing declarations
  // would not make this pass by checking nothing.
  for (const char* name : {"GetWindowRgn", "SetParent", "SelectObject", "RegQueryValueExW",
                           "MAPILogonEx", "SHHandleWMActivate", "CoCreateInstance",
                           "FileTimeToSystemTime", "wsprintfW", "LoadLibraryW"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
  for (const char* header : {"winuser.h", "wingdi.h", "winbase.h", "winreg.h", "aygshell.h",
                             "cemapi.h", "objbase.h", "winnls.h", "libloader.h", "crtwide.h"}) {
    EXPECT_EQ(headers.count(header), 1u) << header;
  }
}

}  // namespace
