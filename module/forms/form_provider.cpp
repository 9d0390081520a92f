#include "forms/form_provider.h"

#include <mapitags.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/debug_log.h"
#include "core/settings.h"
#include "forms/compose_form.h"
#include "forms/msg_form.h"
#include "rule/module_entry.h"

namespace {

// Reads one form module path value; FALSE when it is missing, is no text or does not fit.
BOOL ReadFormModulePath(HKEY key, LPCWSTR name, LPWSTR path) {
  DWORD size = FORM_MODULE_PATH_CCH * sizeof(WCHAR);
  DWORD type = 0;
  memset(path, 0, (FORM_MODULE_PATH_CCH + 1) * sizeof(WCHAR));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(path), &size) != ERROR_SUCCESS)
    return FALSE;
  return type == REG_SZ && path[0] != 0;
}

// The chained form module's path: the one registration saved, else the registered one.
BOOL ReadChainedModulePath(LPWSTR path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, FORMS_REGISTRY_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
  const BOOL found = ReadFormModulePath(key, ORIGINAL_FORMS_VALUE, path) || ReadFormModulePath(key, FORMS_VALUE, path);
  // The key need not stay open: the path is read once per provider.
  RegCloseKey(key);
  return found;
}

}  // namespace

extern "C" DLLEXPORT HRESULT FormFactoryEx(LPCWSTR pszMessageClass, IInboxFormProvider** ppProvider) {
  GetSettings();
  if (!pszMessageClass || !ppProvider) return E_INVALIDARG;
  CFormProvider* provider = new (std::nothrow) CFormProvider();
  if (!provider) {
    *ppProvider = nullptr;
    return E_OUTOFMEMORY;
  }
  *ppProvider = provider;
  const HRESULT hr = provider->Init(pszMessageClass);
  if (FAILED(hr)) {
    provider->Release();
    *ppProvider = nullptr;
    return hr;
  }

  WCHAR path[FORM_MODULE_PATH_CCH + 1];
  if (!ReadChainedModulePath(path)) return hr;
  HMODULE chained = LoadLibraryW(path);
  if (!chained) return hr;
  auto factory = reinterpret_cast<PFNFORMFACTORYEX>(GetProcAddressW(chained, FORMFACTORYEX_NAME));
  // Registration leaves "DLL" naming this module: chaining to it would call this function again
  // without end, so the provider then stands alone.
  if (!factory || chained == ModuleInstance() || factory == &FormFactoryEx) {
    FreeLibrary(chained);
    return hr;
  }
  provider->m_hChainedModule = chained;
  provider->m_pfnChainedFactory = factory;
  factory(SMS_FORM_CLASS, &provider->m_pChained);
  return hr;
}

CFormProvider::~CFormProvider() {
  if (m_pChained) m_pChained->Release();
  if (m_hChainedModule) FreeLibrary(m_hChainedModule);
  free(m_pszClass);
}

STDMETHODIMP CFormProvider::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IInboxFormProvider)) {
    *ppv = static_cast<IInboxFormProvider*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFormProvider::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_cRef)); }

STDMETHODIMP_(ULONG) CFormProvider::Release() {
  const LONG left = InterlockedDecrement(&m_cRef);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP CFormProvider::QueryFlag(ULONG_PTR, ULONG_PTR, ULONG_PTR, DWORD dwFlags, ULONG_PTR, ULONG_PTR,
                                      ULONG_PTR, BOOL* pfResult) {
  if (!pfResult) return E_FAIL;
  *pfResult = (dwFlags & 1) ? TRUE : FALSE;
  return S_OK;
}

HRESULT CFormProvider::Init(LPCWSTR pszMessageClass) {
  WriteLog(TEXT("CFormProvider::Init\r\n"));
  const size_t length = wcslen(pszMessageClass);
  LPWSTR copy = static_cast<LPWSTR>(malloc((length + 1) * sizeof(WCHAR)));
  if (!copy) return E_OUTOFMEMORY;
  memcpy(copy, pszMessageClass, (length + 1) * sizeof(WCHAR));
  free(m_pszClass);
  m_pszClass = copy;
  return S_OK;
}

STDMETHODIMP CFormProvider::CreateReadForm(IInboxFormHost* pHost, IMessage* pMsg, HWND hwndFrame, HWND* phwnd,
                                           IInboxMessageForm** ppForm) {
  WriteLog(TEXT("CFormProvider::CreateReadForm\r\n"));
  if (!pMsg || !ppForm) return E_FAIL;
  *ppForm = nullptr;
  CMsgForm* form = new (std::nothrow) CMsgForm(pHost, pMsg);
  if (!form) return E_OUTOFMEMORY;
  HRESULT hr = form->SetMessage(0, pMsg);
  if (FAILED(hr)) {
    form->Release();
    return hr;
  }
  INBOXFORMCREATE record = {};
  record.dwFlags = IFCF_CHILD | IFCF_FILL;
  hr = form->CreateFormWindow(this, hwndFrame, phwnd, &record);
  if (FAILED(hr)) {
    form->Release();
    return hr;
  }
  *ppForm = form;
  return hr;
}

STDMETHODIMP CFormProvider::CreateComposeForm(IInboxFormHost* pHost, IMessage* pMsg, ULONG ulComposeType,
                                              IMessage* pOriginal, DWORD dwFlags, HWND hwndFrame, HWND* phwnd,
                                              IInboxMessageForm** ppForm) {
  const BOOL enhanced = g_Settings.EnhanceComposeForm != 0;
  WriteLog(enhanced ? TEXT("Custom compose form!\r\n") : TEXT("No custom compose form!\r\n"));
  if (pMsg) {
    SPropValue cls = {};
    cls.ulPropTag = PR_MESSAGE_CLASS_W;
    cls.Value.lpszW = const_cast<LPWSTR>(SMS_FORM_CLASS);
    pMsg->SetProps(1, &cls, nullptr);
  }
  if (!enhanced) {
    // This module writes no compose form of its own: without a chained module the request has
    // nowhere to go, and saying so lets the Inbox tell the person instead of showing nothing.
    if (!m_pChained) return E_FAIL;
    return m_pChained->CreateComposeForm(pHost, pMsg, ulComposeType, pOriginal, dwFlags, hwndFrame, phwnd, ppForm);
  }
  return CreateEnhancedComposeForm(this, m_pChained, pHost, pMsg, ulComposeType, pOriginal, dwFlags, hwndFrame, phwnd,
                                   ppForm);
}
