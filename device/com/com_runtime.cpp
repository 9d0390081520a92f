// ole32: apartments, object creation and task memory.
#include <objbase.h>

#include <cstdlib>

#include "com/class_registry.h"
#include "com/com_object.h"

namespace pellix::device::com {
namespace {

// COM state of one thread: how often it initialised, and in which model.
struct ThreadApartment {
  unsigned count = 0;
  DWORD model = COINIT_MULTITHREADED;
};
thread_local ThreadApartment t_apartment;

DWORD ModelOf(DWORD flags) { return flags & COINIT_APARTMENTTHREADED; }

// The class object CoGetClassObject hands out for a registered creator.
class BuiltinClassFactory final : public ComObject<IClassFactory> {
 public:
  explicit BuiltinClassFactory(ClassCreator creator) : creator_(creator) {}

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return creator_(outer, iid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  ~BuiltinClassFactory() override = default;
  void* FindInterface(REFIID iid) override {
    return IsEqualIID(iid, IID_IClassFactory) ? static_cast<IClassFactory*>(this) : nullptr;
  }

  ClassCreator creator_;
};

}  // namespace
}  // namespace pellix::device::com

using namespace pellix::device::com;

HRESULT CoInitializeEx(LPVOID, DWORD dwCoInit) {
  ThreadApartment& a = t_apartment;
  if (a.count > 0) {
    if (ModelOf(dwCoInit) != a.model) return RPC_E_CHANGED_MODE;
    ++a.count;
    return S_FALSE;
  }
  a.model = ModelOf(dwCoInit);
  a.count = 1;
  return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

void CoUninitialize() {
  if (t_apartment.count > 0) --t_apartment.count;
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
  // Every built-in class is an in-process server.
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  auto creator = FindClass(rclsid);
  if (!creator) return REGDB_E_CLASSNOTREG;
  HRESULT hr = (*creator)(pUnkOuter, riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (t_apartment.count == 0) return CO_E_NOTINITIALIZED;
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  auto creator = FindClass(rclsid);
  if (!creator) return REGDB_E_CLASSNOTREG;
  auto* factory = MakeComObject<BuiltinClassFactory>(*creator);
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb == 0 ? 1 : cb); }

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return std::realloc(pv, cb == 0 ? 1 : cb); }

void CoTaskMemFree(LPVOID pv) { std::free(pv); }
