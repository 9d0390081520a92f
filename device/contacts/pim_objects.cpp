// pimstore: the application object, the contacts folder, its items and contacts.
#include "contacts/pim_objects.h"

#include "com/class_registry.h"
#include "com/memory_stream.h"
#include "kernel/device.h"

namespace pellix::device::contacts {
namespace {

// Hands out `iid` of a new object with one reference, which it then drops.
template <typename T>
HRESULT HandOut(T* object, REFIID iid, void** out) {
  HRESULT hr = object->QueryInterface(iid, out);
  object->Release();
  return hr;
}

HRESULT CreateApplication(IUnknown* outer, REFIID iid, void** out) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  Device* device = Device::Current();
  if (device == nullptr) return E_FAIL;
  // A store whose database cannot be opened makes no application object, so callers learn it
  // at creation rather than from every later call.
  ContactStore& store = ContactStore::Of(*device);
  if (!store.status()) return E_FAIL;
  return HandOut(new ApplicationObject(store), iid, out);
}

PELLIX_BUILTIN_CLASS(CLSID_Application, CreateApplication);

}  // namespace

CEPROPID PropIdOf(Field f) {
  switch (f) {
    case Field::kMobilePhone: return PIMPR_MOBILE_TELEPHONE_NUMBER;
    case Field::kHomePhone: return PIMPR_HOME_TELEPHONE_NUMBER;
    case Field::kHome2Phone: return PIMPR_HOME2_TELEPHONE_NUMBER;
    case Field::kBusinessPhone: return PIMPR_BUSINESS_TELEPHONE_NUMBER;
    case Field::kBusiness2Phone: return PIMPR_BUSINESS2_TELEPHONE_NUMBER;
    case Field::kCarPhone: return PIMPR_CAR_TELEPHONE_NUMBER;
    case Field::kPager: return PIMPR_PAGER_NUMBER;
    case Field::kRadioPhone: return PIMPR_RADIO_TELEPHONE_NUMBER;
    case Field::kHomeFax: return PIMPR_HOME_FAX_NUMBER;
    case Field::kBusinessFax: return PIMPR_BUSINESS_FAX_NUMBER;
    case Field::kAssistantPhone: return PIMPR_ASSISTANT_TELEPHONE_NUMBER;
    default: return 0;
  }
}

// --- application ---

void* ApplicationObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IPOutlookApp)) return static_cast<IPOutlookApp*>(this);
  if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
  return nullptr;
}

HRESULT ApplicationObject::Logon(long) {
  if (!store_.status()) return E_FAIL;
  logged_on_ = true;
  return S_OK;
}

HRESULT ApplicationObject::Logoff() {
  logged_on_ = false;
  return S_OK;
}

HRESULT ApplicationObject::get_Version(BSTR* version) {
  if (version == nullptr) return E_POINTER;
  *version = SysAllocString(u"5.2");
  return *version ? S_OK : E_OUTOFMEMORY;
}

HRESULT ApplicationObject::GetDefaultFolder(int folder, IFolder** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!logged_on_) return E_FAIL;
  // The device keeps contacts only.
  if (folder != olFolderContacts) return E_INVALIDARG;
  *out = new ContactsFolderObject(this);
  return S_OK;
}

HRESULT ApplicationObject::CreateItem(int kind, IDispatch** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!logged_on_) return E_FAIL;
  if (kind != olContactItem) return E_INVALIDARG;
  return HandOut(new ContactObject(this, Contact{}), IID_IDispatch, reinterpret_cast<void**>(out));
}

HRESULT ApplicationObject::GetItemFromOid(long oid, IDispatch** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!logged_on_) return E_FAIL;
  auto contact = store_.Load(oid);
  if (!contact) return E_INVALIDARG;
  return HandOut(new ContactObject(this, std::move(*contact)), IID_IDispatch, reinterpret_cast<void**>(out));
}

// --- folder ---

void* ContactsFolderObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IFolder)) return static_cast<IFolder*>(this);
  if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
  return nullptr;
}

HRESULT ContactsFolderObject::get_Items(IPOutlookItemCollection** items) {
  if (items == nullptr) return E_POINTER;
  *items = new ContactCollectionObject(app_);
  return S_OK;
}

HRESULT ContactsFolderObject::get_DefaultItemType(int* kind) {
  if (kind == nullptr) return E_POINTER;
  *kind = olContactItem;
  return S_OK;
}

HRESULT ContactsFolderObject::get_Application(IPOutlookApp** app) {
  if (app == nullptr) return E_POINTER;
  app_->AddRef();
  *app = app_;
  return S_OK;
}

HRESULT ContactsFolderObject::AddToInfraredFolder() { return E_NOTIMPL; }
HRESULT ContactsFolderObject::SendToInfrared() { return E_NOTIMPL; }

HRESULT ContactsFolderObject::ReceiveFromInfrared(IPOutlookItemCollection** items) {
  if (items) *items = nullptr;
  return E_NOTIMPL;
}

// --- item collection ---

void* ContactCollectionObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IPOutlookItemCollection)) return static_cast<IPOutlookItemCollection*>(this);
  if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(this);
  return nullptr;
}

HRESULT ContactCollectionObject::Add(IDispatch** item) {
  if (item == nullptr) return E_POINTER;
  *item = nullptr;
  return HandOut(new ContactObject(app_, Contact{}), IID_IDispatch, reinterpret_cast<void**>(item));
}

HRESULT ContactCollectionObject::get_Count(int* count) {
  if (count == nullptr) return E_POINTER;
  *count = static_cast<int>(app_->store().List().size());
  return S_OK;
}

HRESULT ContactCollectionObject::Find(BSTR, IDispatch** item) {
  if (item) *item = nullptr;
  return E_NOTIMPL;
}

HRESULT ContactCollectionObject::FindNext(IDispatch** item) {
  if (item) *item = nullptr;
  return E_NOTIMPL;
}

HRESULT ContactCollectionObject::Item(int index, IDispatch** item) {
  if (item == nullptr) return E_POINTER;
  *item = nullptr;
  auto oids = app_->store().List();
  if (index < 1 || static_cast<size_t>(index) > oids.size()) return E_INVALIDARG;
  auto contact = app_->store().Load(oids[static_cast<size_t>(index) - 1]);
  if (!contact) return E_FAIL;
  return HandOut(new ContactObject(app_, std::move(*contact)), IID_IDispatch, reinterpret_cast<void**>(item));
}

HRESULT ContactCollectionObject::Remove(int index) {
  auto oids = app_->store().List();
  if (index < 1 || static_cast<size_t>(index) > oids.size()) return E_INVALIDARG;
  return app_->store().Delete(oids[static_cast<size_t>(index) - 1]) ? S_OK : E_FAIL;
}

HRESULT ContactCollectionObject::Restrict(BSTR, IPOutlookItemCollection** items) {
  if (items) *items = nullptr;
  return E_NOTIMPL;
}

HRESULT ContactCollectionObject::Sort(BSTR, VARIANT_BOOL) { return E_NOTIMPL; }

HRESULT ContactCollectionObject::get_IncludeRecurrences(VARIANT_BOOL* include) {
  if (include == nullptr) return E_POINTER;
  *include = VARIANT_FALSE;
  return S_OK;
}

HRESULT ContactCollectionObject::put_IncludeRecurrences(VARIANT_BOOL) { return S_OK; }

HRESULT ContactCollectionObject::get__NewEnum(IUnknown** enumerator) {
  if (enumerator) *enumerator = nullptr;
  return E_NOTIMPL;
}

HRESULT ContactCollectionObject::get_Application(IPOutlookApp** app) {
  if (app == nullptr) return E_POINTER;
  app_->AddRef();
  *app = app_;
  return S_OK;
}

// --- contact ---

void* ContactObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IContact)) return static_cast<IContact*>(this);
  if (IsEqualIID(iid, IID_IItem)) return static_cast<IItem*>(this);
  if (IsEqualIID(iid, IID_IDispatch)) return static_cast<IDispatch*>(static_cast<IContact*>(this));
  return nullptr;
}

HRESULT ContactObject::GetField(Field f, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  const std::u16string& value = contact_.Get(f);
  *out = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ContactObject::PutField(Field f, BSTR value) {
  if (value == nullptr || SysStringLen(value) == 0) contact_.fields.erase(f);
  else contact_.fields[f] = std::u16string(value, SysStringLen(value));
  return S_OK;
}

#define PELLIX_CONTACT_FIELD(Name, FieldId)                                          \
  HRESULT ContactObject::get_##Name(BSTR* p) { return GetField(Field::FieldId, p); } \
  HRESULT ContactObject::put_##Name(BSTR p) { return PutField(Field::FieldId, p); }
PELLIX_CONTACT_FIELD(Body, kBody)
PELLIX_CONTACT_FIELD(FirstName, kFirstName)
PELLIX_CONTACT_FIELD(MiddleName, kMiddleName)
PELLIX_CONTACT_FIELD(LastName, kLastName)
PELLIX_CONTACT_FIELD(FileAs, kFileAs)
PELLIX_CONTACT_FIELD(CompanyName, kCompany)
PELLIX_CONTACT_FIELD(Email1Address, kEmail1)
PELLIX_CONTACT_FIELD(MobileTelephoneNumber, kMobilePhone)
PELLIX_CONTACT_FIELD(HomeTelephoneNumber, kHomePhone)
PELLIX_CONTACT_FIELD(Home2TelephoneNumber, kHome2Phone)
PELLIX_CONTACT_FIELD(BusinessTelephoneNumber, kBusinessPhone)
PELLIX_CONTACT_FIELD(Business2TelephoneNumber, kBusiness2Phone)
PELLIX_CONTACT_FIELD(CarTelephoneNumber, kCarPhone)
PELLIX_CONTACT_FIELD(PagerNumber, kPager)
PELLIX_CONTACT_FIELD(RadioTelephoneNumber, kRadioPhone)
PELLIX_CONTACT_FIELD(HomeFaxNumber, kHomeFax)
PELLIX_CONTACT_FIELD(BusinessFaxNumber, kBusinessFax)
PELLIX_CONTACT_FIELD(AssistantTelephoneNumber, kAssistantPhone)
#undef PELLIX_CONTACT_FIELD

HRESULT ContactObject::get_Oid(long* oid) {
  if (oid == nullptr) return E_POINTER;
  *oid = static_cast<long>(contact_.oid);
  return S_OK;
}

HRESULT ContactObject::get_Oid(CEOID* oid) {
  if (oid == nullptr) return E_POINTER;
  *oid = static_cast<CEOID>(contact_.oid);
  return S_OK;
}

HRESULT ContactObject::Save() {
  // As on the handheld, a contact saved without "file as" is filed under its name.
  if (contact_.Get(Field::kFileAs).empty()) {
    Contact names;
    for (Field f : {Field::kFirstName, Field::kMiddleName, Field::kLastName, Field::kCompany})
      if (!contact_.Get(f).empty()) names.fields[f] = contact_.Get(f);
    if (!names.fields.empty()) contact_.fields[Field::kFileAs] = names.DisplayName();
  }
  if (Status s = app_->store().Save(contact_); !s) return E_FAIL;
  if (Device* d = Device::Current())
    d->journal().Append(journal_kind::kContact, "saved \"" + Utf16ToUtf8(contact_.DisplayName()) + "\"");
  return S_OK;
}

HRESULT ContactObject::Delete() {
  if (contact_.oid == 0) return E_FAIL;  // never stored
  if (Status s = app_->store().Delete(contact_.oid); !s) return E_FAIL;
  contact_.oid = 0;
  return S_OK;
}

HRESULT ContactObject::Display() { return ShowContactCard(contact_) ? S_OK : E_ABORT; }

HRESULT ContactObject::Display(HWND) { return Display(); }

HRESULT ContactObject::Copy(IContact** copy) {
  if (copy == nullptr) return E_POINTER;
  Contact c = contact_;
  c.oid = 0;
  *copy = new ContactObject(app_, std::move(c));
  return S_OK;
}

HRESULT ContactObject::get_Application(IPOutlookApp** app) {
  if (app == nullptr) return E_POINTER;
  app_->AddRef();
  *app = app_;
  return S_OK;
}

HRESULT ContactObject::get_DefaultItemType(int* kind) {
  if (kind == nullptr) return E_POINTER;
  *kind = olContactItem;
  return S_OK;
}

HRESULT ContactObject::OpenProperty(CEPROPID property, DWORD mode, IStream** stream) {
  if (stream == nullptr) return E_POINTER;
  *stream = nullptr;
  if (property != PIMPR_PICTURE) return E_INVALIDARG;
  // Pictures are set through the device's own tools; callers read them.
  if ((mode & 0x80000000u) == 0 || (mode & 0x40000000u) != 0) return E_ACCESSDENIED;
  if (!contact_.picture || contact_.picture->empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  *stream = com::MemoryStream::Create(*contact_.picture);
  return S_OK;
}

}  // namespace pellix::device::contacts

using namespace pellix::device::contacts;

HRESULT PimFindMatchingContact(IPOutlookApp* pPOOM, LPCWSTR pszFind, DWORD, IItem** ppContact,
                               CEPROPID* ppropidMatch) {
  if (ppContact == nullptr || pPOOM == nullptr || pszFind == nullptr) return E_INVALIDARG;
  *ppContact = nullptr;
  if (ppropidMatch) *ppropidMatch = 0;
  // Only the device's own application object can be searched.
  auto* app = dynamic_cast<ApplicationObject*>(pPOOM);
  if (app == nullptr) return E_INVALIDARG;
  if (!app->logged_on()) return E_FAIL;
  auto match = app->store().FindByNumber(pszFind);
  if (!match) return E_FAIL;
  auto contact = app->store().Load(match->oid);
  if (!contact) return E_FAIL;
  *ppContact = static_cast<IItem*>(new ContactObject(app, std::move(*contact)));
  if (ppropidMatch) *ppropidMatch = PropIdOf(match->field);
  return S_OK;
}
