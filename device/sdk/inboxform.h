// The Inbox's form modules: the provider a form module hands out through its FormFactoryEx
// export, the message forms it creates, and the host the Inbox gives those forms.
//
// The Inbox finds the form module of a message class under HKEY_CURRENT_USER
// "Software\Microsoft\Inbox\MsgTypes\<class path>", value "DLL", loads it, calls
// FormFactoryEx once and then asks the provider for a read or a compose form each time the
// person opens or writes a message. Every call comes on the Inbox's user-interface thread.
// Operations are declared in the platform's slot order.
#pragma once

#include "cemapi.h"
#include "mapidefs.h"
#include "unknwn.h"
#include "windef.h"
#include "winuser.h"

struct IInboxFormHost;
struct IInboxFormProvider;
struct IInboxMessageForm;

DEFINE_GUID(IID_IInboxFormProvider, 0xF1BB10ED, 0x4B19, 0x4208, 0x9C, 0x9C, 0x80, 0xEE, 0x71, 0x5D, 0xD9, 0x76);
DEFINE_GUID(IID_IInboxMessageForm, 0x501A8BFB, 0xD672, 0x4B34, 0xBA, 0xCF, 0x85, 0xC4, 0x20, 0x51, 0x86, 0x8E);

// Actions the Inbox asks a form to take (IInboxMessageForm::DoAction).
#define IFA_CLOSE 1            // close the form
#define IFA_DELETE 7           // delete the message shown
#define IFA_REPLY 8            // reply to it
#define IFA_FORWARD 9          // forward it
#define IFA_SEND 26            // send the message being composed
#define IFA_SAVETOCONTACTS 29  // save the sender's number to the contacts

// Bits of GetActionMask: which actions a form offers, so the Inbox can grey the others.
#define IFAM_CLOSE 0x00000020
#define IFAM_DELETE 0x00000040
#define IFAM_REPLY 0x00000080
#define IFAM_FORWARD 0x00000200

// Actions a form asks of its host (IInboxFormHost::DoHostAction).
#define IFHA_FORWARD 1   // compose a forward of the message
#define IFHA_REPLY 3     // compose a reply to the message
#define IFHA_DELETE 4    // delete the message and show the next one, or close
#define IFHA_NEXT 7      // show the next message of the list in this form
#define IFHA_PREVIOUS 8  // show the previous one

// Kinds of compose request (CreateComposeForm's ulComposeType).
#define IFCT_NEW 0
#define IFCT_REPLY 1
#define IFCT_FORWARD 3

// QueryFlag: bit 0 of dwFlags asks whether the provider makes its own read forms.
#define IFQF_READFORM 0x00000001

// Handed to CreateFormWindow: six 32-bit words, zero but for the flags.
typedef struct tagINBOXFORMCREATE {
  DWORD rgdwReserved[5];
  DWORD dwFlags;  // IFCF_ bits
} INBOXFORMCREATE, *LPINBOXFORMCREATE;
#define IFCF_CHILD 0x00000001   // the form's window is a child of the frame
#define IFCF_FILL 0x00000002    // and fills the frame's client area
#define INBOXFORMCREATE_SIZE 24
static_assert(sizeof(INBOXFORMCREATE) == INBOXFORMCREATE_SIZE);

// What the Inbox offers a form. Forms never AddRef or Release their host: it outlives them.
struct IInboxFormHost {
  // The form is going away; the host drops it from the frame. dwCookie is the form's close
  // value.
  STDMETHOD(OnFormClosing)(IInboxMessageForm* pForm, IMessage* pMsg, DWORD dwCookie) PURE;
  // The frame window the host made for the form.
  STDMETHOD(GetFrameWindow)(HWND* phwnd) PURE;
  // Sets the frame's title (the frame keeps a copy).
  STDMETHOD(SetFrameTitle)(LPCWSTR pszTitle) PURE;
  // One of the IFHA_ actions on pMsg; lParam is 0 for all of them today.
  STDMETHOD(DoHostAction)(IInboxMessageForm* pForm, IMessage* pMsg, UINT uAction, LPARAM lParam) PURE;

 protected:
  ~IInboxFormHost() = default;
};

// A read or compose form. Its window lives inside the frame window the Inbox made for it.
struct IInboxMessageForm : public IUnknown {
  // Shows pMsg (the form AddRefs it); wFlags is reserved.
  STDMETHOD(SetMessage)(WORD wFlags, IMessage* pMsg) PURE;
  // Closes the form: it tells the host (OnFormClosing) and closes its frame.
  STDMETHOD(Close)(DWORD dwReason) PURE;
  // Offered every message of the Inbox's loop before dispatch; *pfHandled = TRUE keeps it.
  STDMETHOD(PreTranslateMessage)(MSG* pMsg, BOOL* pfHandled) PURE;
  // The message shown changed in the store.
  STDMETHOD(OnMessageModified)(ULONG ulEventType, ULONG cbEntryID, LPENTRYID lpEntryID) PURE;
  // One of the IFA_ actions, from the Inbox's menus and soft keys.
  STDMETHOD(DoAction)(UINT uAction, WPARAM wParam, LPARAM lParam) PURE;
  // *pdwResult = the IFAM_ bits of dwMask that the form offers.
  STDMETHOD(GetActionMask)(DWORD dwMask, DWORD* pdwResult) PURE;
  // Makes the form's window as a child of hwndFrame; its handle goes to *phwnd.
  STDMETHOD(CreateFormWindow)(IInboxFormProvider* pProvider, HWND hwndFrame, HWND* phwnd,
                              INBOXFORMCREATE* pCreate) PURE;
  // Closes the frame without asking the form's contents (the frame's own close box).
  STDMETHOD(CloseFrame)() PURE;
  // The frame was activated (TRUE) or deactivated (FALSE).
  STDMETHOD(OnActivate)(BOOL fActive) PURE;

 protected:
  ~IInboxMessageForm() = default;
};
typedef IInboxMessageForm* LPINBOXMESSAGEFORM;

// What FormFactoryEx hands out.
struct IInboxFormProvider : public IUnknown {
  // Asks the provider about itself: *pfResult = TRUE when it offers what the IFQF_ bits of
  // dwFlags ask about. The other arguments are reserved (0).
  STDMETHOD(QueryFlag)(ULONG_PTR dw1, ULONG_PTR dw2, ULONG_PTR dw3, DWORD dwFlags, ULONG_PTR dw5,
                       ULONG_PTR dw6, ULONG_PTR dw7, BOOL* pfResult) PURE;
  // A compose form for pMsg (a new, unsent message of the provider's class in the Outbox)
  // inside hwndFrame. ulComposeType is an IFCT_ kind and pOriginal the message replied
  // to or forwarded (or null). *phwnd receives the form's window.
  STDMETHOD(CreateComposeForm)(IInboxFormHost* pHost, IMessage* pMsg, ULONG ulComposeType,
                               IMessage* pOriginal, DWORD dwFlags, HWND hwndFrame, HWND* phwnd,
                               IInboxMessageForm** ppForm) PURE;
  // A read form for pMsg inside hwndFrame.
  STDMETHOD(CreateReadForm)(IInboxFormHost* pHost, IMessage* pMsg, HWND hwndFrame, HWND* phwnd,
                            IInboxMessageForm** ppForm) PURE;

 protected:
  ~IInboxFormProvider() = default;
};
typedef IInboxFormProvider* LPINBOXFORMPROVIDER;

// The export every form module has: a provider for messages of pszMessageClass.
typedef HRESULT (*PFNFORMFACTORYEX)(LPCWSTR pszMessageClass, IInboxFormProvider** ppProvider);
#define FORMFACTORYEX_NAME TEXT("FormFactoryEx")
