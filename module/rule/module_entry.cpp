#include "rule/module_entry.h"

#include <mutex>

#include "bubble/alerts.h"
#include "bubble/bubble_thread.h"
#include "bubble/popup_window.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "install/registration.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "rule/rule_client.h"
#include "skin/skin.h"

HINSTANCE g_hInstance = nullptr;
std::atomic<LONG> g_cServerLocks{0};
std::atomic<BOOL> g_bInitialized{FALSE};

namespace {

// The forms (user-interface thread) and the rule client (Inbox thread) may both be first: one
// lock makes the second wait until the first has loaded, instead of loading everything twice
// over the same process-wide records.
std::mutex g_initLock;

}  // namespace

HINSTANCE ModuleInstance() {
  return g_hInstance ? g_hInstance : GetModuleHandleW(TEXT("PellixRule.dll"));
}

void EnsureInitialized() {
  std::lock_guard<std::mutex> lock(g_initLock);
  GetSettings();
  if (g_bInitialized) return;

  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ResetLog();
  if (!g_SmileyTableLoaded) LoadSmileyTable();
  SetCursor(previous);
  LoadTemplates();
  LoadSkin();
  g_bInitialized = TRUE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
  switch (dwReason) {
    case DLL_PROCESS_ATTACH:
      g_hInstance = hInstance;
      GetSettings();
      LoadSmileyTable();
      if (g_Settings.Enabled) WriteGlyphInfo();
      break;
    case DLL_PROCESS_DETACH:
      if (g_pRuleClient) {
        ShutdownBubbleThread();
        mySHOnceDeInit();
      }
      FreeSmileyTable();
      UnloadSoundLibrary();
      break;
    default:
      break;
  }
  return TRUE;
}

extern "C" HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!IsEqualCLSID(rclsid, CLSID_PellixRuleClient)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) CClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  // A failed QueryInterface leaves nothing behind: this Release ends the factory then.
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

extern "C" HRESULT DllCanUnloadNow() { return g_cServerLocks != 0 ? S_FALSE : S_OK; }

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_INVALIDARG;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() { return ++m_cRef; }

STDMETHODIMP_(ULONG) CClassFactory::Release() {
  LONG left = --m_cRef;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  auto* client = new (std::nothrow) CMailRuleClient();
  if (!client) return E_OUTOFMEMORY;
  HRESULT hr = client->QueryInterface(riid, ppv);
  client->Release();
  return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
  if (fLock) ++g_cServerLocks;
  else --g_cServerLocks;
  return S_OK;
}
