// The contact store (the handheld's personal information manager, "pimstore.dll"): the
// application object, folders, item collections and contacts, and the export that finds a
// contact by telephone number (ordinal 10 of pimstore.dll).
#pragma once

#include "oleauto.h"

typedef DWORD CEPROPID;
typedef DWORD CEOID;

// CLSID of the application object and the interfaces of the store.
DEFINE_GUID(CLSID_Application, 0x05058F23, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IPOutlookApp, 0x05058F22, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IContact, 0x7F804E40, 0x2010, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IFolder, 0x05058F24, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IPOutlookItemCollection, 0xF06748C0, 0x21A5, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IItem, 0xFAD3ED69, 0x13F6, 0x4C3E, 0x9C, 0x39, 0x5A, 0x27, 0x0C, 0xE5, 0x84, 0x11);

// Default folders (GetDefaultFolder) and item kinds.
typedef enum OlDefaultFolders {
  olFolderCalendar = 9,
  olFolderContacts = 10,
  olFolderTasks = 13,
  olFolderCities = 101,
  olFolderInfrared = 102
} OlDefaultFolders;

typedef enum OlItemType {
  olAppointmentItem = 1,
  olContactItem = 2,
  olTaskItem = 3,
  olCityItem = 102
} OlItemType;

// Item properties opened with IItem::OpenProperty. The picture is the contact's photo
// file (any format the imaging library reads).
#define PIMPR_PICTURE ((CEPROPID)0x00FF0064)

// Flags of the find-by-number export.
#define FMCF_FINDPHONE 0x00000001
#define FMCF_FINDEMAIL 0x00000002
#define FMCF_FINDFILEAS 0x00000004

// Properties of a contact, as FindMatchingContact reports which one matched.
#define PIMPR_MOBILE_TELEPHONE_NUMBER ((CEPROPID)0x3A1C001F)
#define PIMPR_HOME_TELEPHONE_NUMBER ((CEPROPID)0x3A09001F)
#define PIMPR_HOME2_TELEPHONE_NUMBER ((CEPROPID)0x3A2F001F)
#define PIMPR_BUSINESS_TELEPHONE_NUMBER ((CEPROPID)0x3A08001F)
#define PIMPR_BUSINESS2_TELEPHONE_NUMBER ((CEPROPID)0x3A1B001F)
#define PIMPR_CAR_TELEPHONE_NUMBER ((CEPROPID)0x3A1E001F)
#define PIMPR_PAGER_NUMBER ((CEPROPID)0x3A21001F)
#define PIMPR_RADIO_TELEPHONE_NUMBER ((CEPROPID)0x3A1D001F)
#define PIMPR_HOME_FAX_NUMBER ((CEPROPID)0x3A25001F)
#define PIMPR_BUSINESS_FAX_NUMBER ((CEPROPID)0x3A24001F)
#define PIMPR_ASSISTANT_TELEPHONE_NUMBER ((CEPROPID)0x3A2E001F)

struct IPOutlookApp;
struct IFolder;
struct IPOutlookItemCollection;
struct IContact;

// A stored item: its identity and its properties as streams.
struct IItem : public IDispatch {
  STDMETHOD(Save)() PURE;
  STDMETHOD(Delete)() PURE;
  STDMETHOD(Display)(HWND hwndParent) PURE;
  STDMETHOD(get_Oid)(CEOID* pOid) PURE;
  STDMETHOD(get_DefaultItemType)(int* pType) PURE;
  STDMETHOD(get_Application)(IPOutlookApp** ppApp) PURE;
  // dwMode GENERIC_READ (0x80000000) reads the property as a stream.
  STDMETHOD(OpenProperty)(CEPROPID propID, DWORD dwMode, IStream** ppStream) PURE;

 protected:
  ~IItem() = default;
};

struct IPOutlookApp : public IDispatch {
  STDMETHOD(Logon)(long hWnd) PURE;
  STDMETHOD(Logoff)() PURE;
  STDMETHOD(get_Version)(BSTR* pVersion) PURE;
  STDMETHOD(GetDefaultFolder)(int olFolder, IFolder** ppIFolder) PURE;
  STDMETHOD(CreateItem)(int olItem, IDispatch** ppPOutlookItem) PURE;
  STDMETHOD(GetItemFromOid)(long oid, IDispatch** ppPOutlookItem) PURE;

 protected:
  ~IPOutlookApp() = default;
};

struct IFolder : public IDispatch {
  STDMETHOD(get_Items)(IPOutlookItemCollection** ppolItems) PURE;
  STDMETHOD(get_DefaultItemType)(int* polItem) PURE;
  STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;
  STDMETHOD(AddToInfraredFolder)() PURE;
  STDMETHOD(SendToInfrared)() PURE;
  STDMETHOD(ReceiveFromInfrared)(IPOutlookItemCollection** ppItems) PURE;

 protected:
  ~IFolder() = default;
};

struct IPOutlookItemCollection : public IDispatch {
  // A new, unsaved item of the folder's kind; Save stores it.
  STDMETHOD(Add)(IDispatch** ppPOutlookItem) PURE;
  STDMETHOD(get_Count)(int* pnCount) PURE;
  STDMETHOD(Find)(BSTR pwszRestriction, IDispatch** ppItem) PURE;
  STDMETHOD(FindNext)(IDispatch** ppItem) PURE;
  // Items are numbered from 1.
  STDMETHOD(Item)(int iIndex, IDispatch** ppPOutlookItem) PURE;
  STDMETHOD(Remove)(int iIndex) PURE;
  STDMETHOD(Restrict)(BSTR pwszRestriction, IPOutlookItemCollection** ppolItems) PURE;
  STDMETHOD(Sort)(BSTR pwszProperty, VARIANT_BOOL fDescending) PURE;
  STDMETHOD(get_IncludeRecurrences)(VARIANT_BOOL* pfIncludeRecurrences) PURE;
  STDMETHOD(put_IncludeRecurrences)(VARIANT_BOOL fIncludeRecurrences) PURE;
  STDMETHOD(get__NewEnum)(IUnknown** ppEnumerator) PURE;
  STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;

 protected:
  ~IPOutlookItemCollection() = default;
};

// A contact. Text fields are BSTRs the caller frees; an unset field reads as "".
struct IContact : public IDispatch {
  STDMETHOD(get_Oid)(long* poid) PURE;
  STDMETHOD(get_Body)(BSTR* pBody) PURE;
  STDMETHOD(put_Body)(BSTR body) PURE;
  STDMETHOD(get_FirstName)(BSTR* p) PURE;
  STDMETHOD(put_FirstName)(BSTR p) PURE;
  STDMETHOD(get_MiddleName)(BSTR* p) PURE;
  STDMETHOD(put_MiddleName)(BSTR p) PURE;
  STDMETHOD(get_LastName)(BSTR* p) PURE;
  STDMETHOD(put_LastName)(BSTR p) PURE;
  STDMETHOD(get_FileAs)(BSTR* p) PURE;
  STDMETHOD(put_FileAs)(BSTR p) PURE;
  STDMETHOD(get_CompanyName)(BSTR* p) PURE;
  STDMETHOD(put_CompanyName)(BSTR p) PURE;
  STDMETHOD(get_Email1Address)(BSTR* p) PURE;
  STDMETHOD(put_Email1Address)(BSTR p) PURE;
  STDMETHOD(get_MobileTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_MobileTelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_HomeTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_HomeTelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_Home2TelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_Home2TelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_BusinessTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_BusinessTelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_Business2TelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_Business2TelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_CarTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_CarTelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_PagerNumber)(BSTR* p) PURE;
  STDMETHOD(put_PagerNumber)(BSTR p) PURE;
  STDMETHOD(get_RadioTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_RadioTelephoneNumber)(BSTR p) PURE;
  STDMETHOD(get_HomeFaxNumber)(BSTR* p) PURE;
  STDMETHOD(put_HomeFaxNumber)(BSTR p) PURE;
  STDMETHOD(get_BusinessFaxNumber)(BSTR* p) PURE;
  STDMETHOD(put_BusinessFaxNumber)(BSTR p) PURE;
  STDMETHOD(get_AssistantTelephoneNumber)(BSTR* p) PURE;
  STDMETHOD(put_AssistantTelephoneNumber)(BSTR p) PURE;
  // Stores the contact (a new one gets its Oid).
  STDMETHOD(Save)() PURE;
  STDMETHOD(Delete)() PURE;
  // Shows the contact card; the person confirms (S_OK) or cancels (E_ABORT).
  STDMETHOD(Display)() PURE;
  STDMETHOD(Copy)(IContact** ppolCopy) PURE;
  STDMETHOD(get_Application)(IPOutlookApp** polApp) PURE;

 protected:
  ~IContact() = default;
};

// Ordinal 10 of pimstore.dll: finds the contact one of whose telephone numbers matches
// pszFind. Numbers compare on their digits, a leading "+" kept, so "+49 171 234567"
// matches "+49171234567". On a match: S_OK, *ppContact the contact's item and
// *ppropidMatch (optional) the field that matched. No match: E_FAIL, *ppContact null.
typedef HRESULT (*PFN_FINDMATCHINGCONTACT)(IPOutlookApp* pPOOM, LPCWSTR pszFind, DWORD dwFlags,
                                           IItem** ppContact, CEPROPID* ppropidMatch);
#define PIMSTORE_FINDMATCHINGCONTACT_ORDINAL 10
