// ole32: GUIDs as text, "{01234567-89AB-CDEF-0123-456789ABCDEF}".
#include <objbase.h>

#include <cstdio>

namespace {

constexpr int kGuidChars = 38;  // without the terminator

int HexValue(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `text`; false on anything else.
bool ReadHex(const OLECHAR* text, int digits, unsigned long& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = HexValue(text[i]);
    if (v < 0) return false;
    value = (value << 4) | static_cast<unsigned long>(v);
  }
  return true;
}

}  // namespace

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < kGuidChars + 1) return 0;
  char narrow[kGuidChars + 1];
  std::snprintf(narrow, sizeof narrow, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(rguid.Data1), rguid.Data2, rguid.Data3, rguid.Data4[0],
                rguid.Data4[1], rguid.Data4[2], rguid.Data4[3], rguid.Data4[4], rguid.Data4[5],
                rguid.Data4[6], rguid.Data4[7]);
  for (int i = 0; i <= kGuidChars; ++i) lpsz[i] = static_cast<OLECHAR>(narrow[i]);
  return kGuidChars + 1;
}

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (lpsz == nullptr || pclsid == nullptr) return E_INVALIDARG;
  // Check length first so that no read goes past the terminator.
  int length = 0;
  while (length <= kGuidChars && lpsz[length] != 0) ++length;
  if (length != kGuidChars || lpsz[0] != u'{' || lpsz[37] != u'}' || lpsz[9] != u'-' ||
      lpsz[14] != u'-' || lpsz[19] != u'-' || lpsz[24] != u'-')
    return CO_E_CLASSSTRING;
  GUID g{};
  unsigned long v;
  if (!ReadHex(lpsz + 1, 8, v)) return CO_E_CLASSSTRING;
  g.Data1 = static_cast<DWORD>(v);
  if (!ReadHex(lpsz + 10, 4, v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<WORD>(v);
  if (!ReadHex(lpsz + 15, 4, v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<WORD>(v);
  static constexpr int kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(lpsz + kByteAt[i], 2, v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  *pclsid = g;
  return S_OK;
}
