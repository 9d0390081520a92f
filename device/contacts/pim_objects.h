// The contact store's COM objects: the application object (CLSID_Application), the
// contacts folder, its item collection and contacts. Each is a thin surface over
// ContactStore; a contact object holds its own copy of the contact until Save.
//
// Objects keep a reference to the device's ContactStore: release them before the device
// shuts down.
#pragma once

#include <pimstore.h>

#include "com/com_object.h"
#include "contacts/contact_store.h"

namespace pellix::device::contacts {

// IDispatch for objects used through their own interfaces only.
template <typename Primary, typename... Others>
class DispatchObject : public com::ComObject<Primary, Others...> {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

class ApplicationObject final : public DispatchObject<IPOutlookApp> {
 public:
  explicit ApplicationObject(ContactStore& store) : store_(store) {}
  ContactStore& store() { return store_; }
  bool logged_on() const { return logged_on_; }

  STDMETHODIMP Logon(long hwnd) override;
  STDMETHODIMP Logoff() override;
  STDMETHODIMP get_Version(BSTR* version) override;
  STDMETHODIMP GetDefaultFolder(int folder, IFolder** out) override;
  STDMETHODIMP CreateItem(int kind, IDispatch** out) override;
  STDMETHODIMP GetItemFromOid(long oid, IDispatch** out) override;

 private:
  ~ApplicationObject() override = default;
  void* FindInterface(REFIID iid) override;

  ContactStore& store_;
  bool logged_on_ = false;
};

class ContactsFolderObject final : public DispatchObject<IFolder> {
 public:
  explicit ContactsFolderObject(ApplicationObject* app) : app_(app) { app_->AddRef(); }

  STDMETHODIMP get_Items(IPOutlookItemCollection** items) override;
  STDMETHODIMP get_DefaultItemType(int* kind) override;
  STDMETHODIMP get_Application(IPOutlookApp** app) override;
  STDMETHODIMP AddToInfraredFolder() override;
  STDMETHODIMP SendToInfrared() override;
  STDMETHODIMP ReceiveFromInfrared(IPOutlookItemCollection** items) override;

 private:
  ~ContactsFolderObject() override { app_->Release(); }
  void* FindInterface(REFIID iid) override;

  ApplicationObject* app_;
};

class ContactCollectionObject final : public DispatchObject<IPOutlookItemCollection> {
 public:
  explicit ContactCollectionObject(ApplicationObject* app) : app_(app) { app_->AddRef(); }

  STDMETHODIMP Add(IDispatch** item) override;
  STDMETHODIMP get_Count(int* count) override;
  STDMETHODIMP Find(BSTR restriction, IDispatch** item) override;
  STDMETHODIMP FindNext(IDispatch** item) override;
  STDMETHODIMP Item(int index, IDispatch** item) override;
  STDMETHODIMP Remove(int index) override;
  STDMETHODIMP Restrict(BSTR restriction, IPOutlookItemCollection** items) override;
  STDMETHODIMP Sort(BSTR property, VARIANT_BOOL descending) override;
  STDMETHODIMP get_IncludeRecurrences(VARIANT_BOOL* include) override;
  STDMETHODIMP put_IncludeRecurrences(VARIANT_BOOL include) override;
  STDMETHODIMP get__NewEnum(IUnknown** enumerator) override;
  STDMETHODIMP get_Application(IPOutlookApp** app) override;

 private:
  ~ContactCollectionObject() override { app_->Release(); }
  void* FindInterface(REFIID iid) override;

  ApplicationObject* app_;
};

class ContactObject final : public DispatchObject<IContact, IItem> {
 public:
  ContactObject(ApplicationObject* app, Contact contact) : app_(app), contact_(std::move(contact)) {
    app_->AddRef();
  }

  // IContact
  STDMETHODIMP get_Oid(long* oid) override;
#define PELLIX_CONTACT_FIELD(Name)            \
  STDMETHODIMP get_##Name(BSTR* p) override; \
  STDMETHODIMP put_##Name(BSTR p) override;
  PELLIX_CONTACT_FIELD(Body)
  PELLIX_CONTACT_FIELD(FirstName)
  PELLIX_CONTACT_FIELD(MiddleName)
  PELLIX_CONTACT_FIELD(LastName)
  PELLIX_CONTACT_FIELD(FileAs)
  PELLIX_CONTACT_FIELD(CompanyName)
  PELLIX_CONTACT_FIELD(Email1Address)
  PELLIX_CONTACT_FIELD(MobileTelephoneNumber)
  PELLIX_CONTACT_FIELD(HomeTelephoneNumber)
  PELLIX_CONTACT_FIELD(Home2TelephoneNumber)
  PELLIX_CONTACT_FIELD(BusinessTelephoneNumber)
  PELLIX_CONTACT_FIELD(Business2TelephoneNumber)
  PELLIX_CONTACT_FIELD(CarTelephoneNumber)
  PELLIX_CONTACT_FIELD(PagerNumber)
  PELLIX_CONTACT_FIELD(RadioTelephoneNumber)
  PELLIX_CONTACT_FIELD(HomeFaxNumber)
  PELLIX_CONTACT_FIELD(BusinessFaxNumber)
  PELLIX_CONTACT_FIELD(AssistantTelephoneNumber)
#undef PELLIX_CONTACT_FIELD
  STDMETHODIMP Save() override;
  STDMETHODIMP Delete() override;
  STDMETHODIMP Display() override;
  STDMETHODIMP Copy(IContact** copy) override;
  STDMETHODIMP get_Application(IPOutlookApp** app) override;

  // IItem
  STDMETHODIMP Display(HWND parent) override;
  STDMETHODIMP get_Oid(CEOID* oid) override;
  STDMETHODIMP get_DefaultItemType(int* kind) override;
  STDMETHODIMP OpenProperty(CEPROPID property, DWORD mode, IStream** stream) override;

 private:
  ~ContactObject() override { app_->Release(); }
  void* FindInterface(REFIID iid) override;
  HRESULT GetField(Field f, BSTR* out);
  HRESULT PutField(Field f, BSTR value);

  ApplicationObject* app_;
  Contact contact_;
};

// CEPROPID of a telephone field, as the find-by-number export reports it.
CEPROPID PropIdOf(Field f);

}  // namespace pellix::device::contacts

// Ordinal 10 of the built-in "pimstore.dll"; see PFN_FINDMATCHINGCONTACT in <pimstore.h>.
HRESULT PimFindMatchingContact(IPOutlookApp* pPOOM, LPCWSTR pszFind, DWORD dwFlags,
                               IItem** ppContact, CEPROPID* ppropidMatch);
