#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <thread>

#include "com/class_registry.h"
#include "com/com_object.h"

namespace pellix::device::com {
namespace {

DEFINE_GUID(IID_ITestCounter, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55);
DEFINE_GUID(IID_ITestOther, 0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x56);
DEFINE_GUID(CLSID_TestCounter, 0xAAAAAAAA, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55);
DEFINE_GUID(kPoom, 0x05058F23, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(CLSID_Unknown, 0xBBBBBBBB, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55);

struct ITestCounter : IUnknown {
  STDMETHOD_(int, Value)() PURE;
};
struct ITestOther : IUnknown {
  STDMETHOD_(int, Twice)() PURE;
};

int g_live = 0;

class Counter final : public ComObject<ITestCounter, ITestOther> {
 public:
  Counter() { ++g_live; }
  STDMETHODIMP_(int) Value() override { return 7; }
  STDMETHODIMP_(int) Twice() override { return 14; }

 private:
  ~Counter() override { --g_live; }
  void* FindInterface(REFIID iid) override {
    if (IsEqualIID(iid, IID_ITestCounter)) return static_cast<ITestCounter*>(this);
    if (IsEqualIID(iid, IID_ITestOther)) return static_cast<ITestOther*>(this);
    return nullptr;
  }
};

HRESULT CreateCounter(IUnknown* outer, REFIID iid, void** out) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  Counter* c = MakeComObject<Counter>();
  HRESULT hr = c->QueryInterface(iid, out);
  c->Release();
  return hr;
}

PELLIX_BUILTIN_CLASS(CLSID_TestCounter, CreateCounter);

TEST(ComApartment, CountsPerThread) {
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  // Another thread has an apartment of its own.
  std::thread([] {
    void* p = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();
  }).join();
  CoUninitialize();
  void* p = nullptr;
  // Still initialised once.
  ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p), S_OK);
  static_cast<IUnknown*>(p)->Release();
  CoUninitialize();
  CoUninitialize();  // one too many does no harm
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(p, nullptr);
}

TEST(ComCreate, ResultsOfCoCreateInstance) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  struct Case {
    const char* what;
    const CLSID* clsid;
    bool aggregate;
    DWORD context;
    const IID* iid;
    HRESULT expected;
  };
  IUnknown* outer = reinterpret_cast<IUnknown*>(&g_live);  // never called: the class refuses
  const Case cases[] = {
      {"registered, its interface", &CLSID_TestCounter, false, CLSCTX_INPROC_SERVER, &IID_ITestCounter, S_OK},
      {"second interface", &CLSID_TestCounter, false, CLSCTX_ALL, &IID_ITestOther, S_OK},
      {"interface it lacks", &CLSID_TestCounter, false, CLSCTX_INPROC_SERVER, &IID_IStream, E_NOINTERFACE},
      {"unregistered class", &CLSID_Unknown, false, CLSCTX_INPROC_SERVER, &IID_IUnknown, REGDB_E_CLASSNOTREG},
      {"local server only", &CLSID_TestCounter, false, CLSCTX_LOCAL_SERVER, &IID_IUnknown, REGDB_E_CLASSNOTREG},
      {"aggregation", &CLSID_TestCounter, true, CLSCTX_INPROC_SERVER, &IID_IUnknown, CLASS_E_NOAGGREGATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    void* p = reinterpret_cast<void*>(1);
    HRESULT hr = CoCreateInstance(*c.clsid, c.aggregate ? outer : nullptr, c.context, *c.iid, &p);
    EXPECT_EQ(hr, c.expected);
    if (SUCCEEDED(hr)) {
      ASSERT_NE(p, nullptr);
      static_cast<IUnknown*>(p)->Release();
    } else {
      EXPECT_EQ(p, nullptr);
    }
  }
  EXPECT_EQ(g_live, 0);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, nullptr),
            E_POINTER);
  CoUninitialize();
}

TEST(ComObjectRules, QueryInterfaceIdentityAndCounts) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  ITestCounter* counter = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCounter,
                             reinterpret_cast<void**>(&counter)),
            S_OK);
  EXPECT_EQ(counter->Value(), 7);
  ITestOther* other = nullptr;
  ASSERT_EQ(counter->QueryInterface(IID_ITestOther, reinterpret_cast<void**>(&other)), S_OK);
  EXPECT_EQ(other->Twice(), 14);
  // IUnknown from either interface is the same pointer: that is how COM compares identity.
  IUnknown* u1 = nullptr;
  IUnknown* u2 = nullptr;
  ASSERT_EQ(counter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u1)), S_OK);
  ASSERT_EQ(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&u2)), S_OK);
  EXPECT_EQ(u1, u2);
  // Creation, two interface queries and two IUnknown queries: four references now.
  EXPECT_EQ(counter->AddRef(), 5u);
  EXPECT_EQ(counter->Release(), 4u);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(counter->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(u1->Release(), 3u);
  EXPECT_EQ(u2->Release(), 2u);
  EXPECT_EQ(other->Release(), 1u);
  EXPECT_EQ(g_live, 1);
  EXPECT_EQ(counter->Release(), 0u);
  EXPECT_EQ(g_live, 0);
  CoUninitialize();
}

TEST(ComCreate, ClassObjectMakesInstances) {
  ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
            S_OK);
  ITestOther* other = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ITestOther, reinterpret_cast<void**>(&other)), S_OK);
  EXPECT_EQ(other->Twice(), 14);
  other->Release();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  void* p = nullptr;
  EXPECT_EQ(CoGetClassObject(CLSID_Unknown, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &p),
            REGDB_E_CLASSNOTREG);
  UnregisterClass(CLSID_TestCounter);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &p),
            REGDB_E_CLASSNOTREG);
  RegisterClass(CLSID_TestCounter, CreateCounter);
  CoUninitialize();
}

TEST(GuidText, RoundTripsAndRejectsMalformed) {
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(kPoom, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{05058F23-20BE-11D2-8F18-0000F87A4335}");
  EXPECT_EQ(StringFromGUID2(kPoom, text, 38), 0);
  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(u"{05058f23-20be-11d2-8f18-0000f87a4335}", &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, kPoom));
  for (const char16_t* bad : {u"", u"{05058F23-20BE-11D2-8F18-0000F87A4335", u"05058F23-20BE-11D2-8F18-0000F87A4335}",
                              u"{05058F23-20BE-11D2-8F18-0000F87A433G}", u"{05058F23+20BE-11D2-8F18-0000F87A4335}",
                              u"{05058F23-20BE-11D2-8F18-0000F87A4335}x"})
    EXPECT_EQ(CLSIDFromString(bad, &parsed), CO_E_CLASSSTRING) << std::u16string(bad).size();
}

TEST(Bstr, LengthsAndTerminators) {
  BSTR a = SysAllocString(u"Anna");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(SysStringLen(a), 4u);
  EXPECT_EQ(SysStringByteLen(a), 8u);
  EXPECT_EQ(std::u16string(a), u"Anna");
  // An embedded terminator counts: the length is stored, not searched.
  BSTR b = SysAllocStringLen(u"ab\0cd", 5);
  EXPECT_EQ(SysStringLen(b), 5u);
  EXPECT_EQ(b[5], 0);
  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  BSTR odd = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(odd), 3u);
  EXPECT_EQ(SysStringLen(odd), 1u);
  EXPECT_TRUE(SysReAllocString(&a, u"Bernd"));
  EXPECT_EQ(std::u16string(a), u"Bernd");
  BSTR blank = SysAllocStringLen(nullptr, 3);
  EXPECT_EQ(blank[0], 0);
  EXPECT_EQ(SysStringLen(blank), 3u);
  for (BSTR s : {a, b, empty, odd, blank}) SysFreeString(s);
  SysFreeString(nullptr);
}

}  // namespace
}  // namespace pellix::device::com
