// The module's entry: what happens as the Inbox loads and unloads PellixRule.dll, the one-time
// initialisation that the rule client and the forms share, and the COM entry points through
// which the Inbox creates the rule client.
//
// Threads: DllMain runs on the thread that loads or unloads the module, under the platform's
// loader lock. EnsureInitialized may be called at the same moment from the Inbox's thread (the
// rule client) and its user-interface thread (the forms); it serialises them, so templates and
// skin are loaded once. The lock count is changed with interlocked operations.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>

// {7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}: the rule client's COM class.
DEFINE_GUID(CLSID_PellixRuleClient, 0x7C1F3D92, 0x4B8E, 0x4a5d, 0x00, 0xC3, 0x9E, 0x2B, 0x71,
            0xF0, 0x4A, 0x68);
#define PELLIX_RULE_CLSID_TEXT TEXT("{7C1F3D92-4B8E-4a5d-00C3-9E2B71F04A68}")

// The module's instance handle, stored at process attach; null in hosts that link the module
// and did not attach it through the loader (ModuleInstance() then asks the loader by name).
extern HINSTANCE g_hInstance;
// Changed by IClassFactory::LockServer only; DllCanUnloadNow reads it.
extern std::atomic<LONG> g_cServerLocks;
// Set once EnsureInitialized has loaded templates and skin; never cleared.
extern std::atomic<BOOL> g_bInitialized;

// The module's instance for its resources.
HINSTANCE ModuleInstance();

// Reads the settings (every call), and the first time also empties the debug log, loads the
// smiley table when it is missing, the templates and the skin.
void EnsureInitialized();

extern "C" {
DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
DLLEXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
DLLEXPORT HRESULT DllCanUnloadNow();
}

// The class factory of the rule client. Its own count starts at 1; it does not hold the module
// (only LockServer does).
class CClassFactory final : public IClassFactory {
 public:
  CClassFactory() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  STDMETHODIMP LockServer(BOOL fLock) override;

 private:
  ~CClassFactory() = default;
  std::atomic<LONG> m_cRef{1};
};
