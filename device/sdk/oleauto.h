// System strings (BSTR): length-prefixed UTF-16 strings owned by whoever receives them.
#pragma once

#include "objidl.h"

typedef OLECHAR* BSTR;
typedef BSTR* LPBSTR;

// A copy of a terminated string; null for a null source or when memory runs out.
BSTR SysAllocString(const OLECHAR* psz);
// `cch` characters from `psz` (uninitialised when psz is null), plus a terminator.
BSTR SysAllocStringLen(const OLECHAR* psz, UINT cch);
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
void SysFreeString(BSTR bstrString);
// Characters, not counting the terminator; 0 for null.
UINT SysStringLen(BSTR bstr);
UINT SysStringByteLen(BSTR bstr);
