// The COM runtime: apartments, object creation through the class registry, task memory and
// memory streams.
#pragma once

#include "objidl.h"

#ifndef RPC_E_CHANGED_MODE
#define RPC_E_CHANGED_MODE _HRESULT_TYPEDEF_(0x80010106L)
#endif
#ifndef STG_E_MEDIUMFULL
#define STG_E_MEDIUMFULL _HRESULT_TYPEDEF_(0x80030070L)
#endif
#ifndef STG_E_INVALIDPARAMETER
#define STG_E_INVALIDPARAMETER _HRESULT_TYPEDEF_(0x80030057L)
#endif
#ifndef CO_E_CLASSSTRING
#define CO_E_CLASSSTRING _HRESULT_TYPEDEF_(0x800401F3L)
#endif

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_ALL (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)

// Per thread and counted: the first call returns S_OK, later ones S_FALSE; each successful
// call needs a CoUninitialize.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
HRESULT CoInitialize(LPVOID pvReserved);
void CoUninitialize();

// Creates an object of a class that a built-in component registered. The calling thread
// must have initialised COM (CO_E_NOTINITIALIZED otherwise).
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid,
                         LPVOID* ppv);

LPVOID CoTaskMemAlloc(SIZE_T cb);
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void CoTaskMemFree(LPVOID pv);

// A stream over memory. With hGlobal 0 the stream starts empty; otherwise it holds the
// contents of the LocalAlloc / GlobalAlloc block, which is freed when the stream (and every
// clone) is released if fDeleteOnRelease is TRUE. Writes do not reach the block.
HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": 39 characters with the terminator.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
