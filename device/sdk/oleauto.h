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

// Automation: the IDispatch base of scriptable objects. The device's objects are used
// through their own interfaces; their IDispatch operations answer E_NOTIMPL.
typedef LONG DISPID;
typedef short VARIANT_BOOL;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
struct ITypeInfo;
struct tagDISPPARAMS;
struct tagVARIANT;
struct tagEXCEPINFO;
typedef struct tagDISPPARAMS DISPPARAMS;
typedef struct tagVARIANT VARIANT;
typedef struct tagEXCEPINFO EXCEPINFO;

DEFINE_GUID(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IDispatch : public IUnknown {
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) PURE;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) PURE;
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                           DISPID* rgDispId) PURE;
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                    DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                    UINT* puArgErr) PURE;

 protected:
  ~IDispatch() = default;
};
typedef IDispatch* LPDISPATCH;
