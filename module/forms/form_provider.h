// The module's form entry: FormFactoryEx and the form provider it hands the Inbox. The provider
// always makes the module's own read form; composing goes to the form module that was
// registered for "IPM.SMStext" before this one (the chained module), either directly or inside
// the module's compose window (setting EnhanceComposeForm).
//
// Threads: every call comes on the Inbox's user-interface thread; the reference count is
// changed with interlocked operations, nothing else is locked.
#pragma once

#include <windows.h>
#include <inboxform.h>

#define SMS_FORM_CLASS TEXT("IPM.SMStext")
// Where registration saved the replaced form module, and the registered one.
#define FORMS_REGISTRY_KEY TEXT("Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext")
#define ORIGINAL_FORMS_VALUE TEXT("Ravlo_OriginalDLL")
#define FORMS_VALUE TEXT("DLL")
// A form module path is read into 100 bytes, terminator included.
#define FORM_MODULE_PATH_CCH 50

extern "C" DLLEXPORT HRESULT FormFactoryEx(LPCWSTR pszMessageClass, IInboxFormProvider** ppProvider);

class CFormProvider final : public IInboxFormProvider {
 public:
  CFormProvider() = default;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP QueryFlag(ULONG_PTR a1, ULONG_PTR a2, ULONG_PTR a3, DWORD dwFlags, ULONG_PTR a5,
                         ULONG_PTR a6, ULONG_PTR a7, BOOL* pfResult) override;
  STDMETHODIMP CreateComposeForm(IInboxFormHost* pHost, IMessage* pMsg, ULONG ulComposeType,
                                 IMessage* pOriginal, DWORD dwFlags, HWND hwndFrame, HWND* phwnd,
                                 IInboxMessageForm** ppForm) override;
  STDMETHODIMP CreateReadForm(IInboxFormHost* pHost, IMessage* pMsg, HWND hwndFrame, HWND* phwnd,
                              IInboxMessageForm** ppForm) override;
  // Keeps a copy of the message class the provider was asked for.
  virtual HRESULT Init(LPCWSTR pszMessageClass);

  // The chained module's provider, or null when the provider stands alone (tests).
  IInboxFormProvider* ChainedProvider() const { return m_pChained; }

 private:
  friend HRESULT FormFactoryEx(LPCWSTR, IInboxFormProvider**);
  ~CFormProvider();

  PFNFORMFACTORYEX m_pfnChainedFactory = nullptr;
  HMODULE m_hChainedModule = nullptr;
  IInboxFormProvider* m_pChained = nullptr;  // owned
  LONG m_cRef = 1;
  LPWSTR m_pszClass = nullptr;  // owned
};
