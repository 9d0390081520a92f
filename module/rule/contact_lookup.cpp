#include "rule/contact_lookup.h"

#include <imaging.h>
#include <pimstore.h>

#include "forms/picture.h"

std::atomic<BOOL> ContactCardOpen{FALSE};

namespace {

// Flags of the find-by-number export: match telephone numbers, and let the store compare them
// on their digits.
constexpr DWORD kFindFlags = 0x80000001;

// The lookup text, terminator included. A longer number is cut to fit: no real telephone number
// comes near it, and nothing is ever written past the buffer.
constexpr size_t kLookupChars = 512;

constexpr LONG kMaxNameChars = 50;  // "Pellix_" and the number, terminator included

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

// A connection to the contact store for the length of one call; COM is initialised on the
// calling thread for as long.
class ContactStoreSession {
 public:
  ContactStoreSession() {
    comInitialized_ = SUCCEEDED(CoInitializeEx(nullptr, 0));
    if (SUCCEEDED(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                                   reinterpret_cast<void**>(&app_))) &&
        app_) {
      app_->Logon(0);
    }
  }
  ~ContactStoreSession() {
    if (app_) {
      app_->Logoff();
      app_->Release();
    }
    if (comInitialized_) CoUninitialize();
  }
  ContactStoreSession(const ContactStoreSession&) = delete;
  ContactStoreSession& operator=(const ContactStoreSession&) = delete;

  IPOutlookApp* app() const { return app_; }

 private:
  IPOutlookApp* app_ = nullptr;
  bool comInitialized_ = false;
};

// The store's find-by-number export, and the library reference that keeps it loaded.
class FindMatchingContact {
 public:
  FindMatchingContact() {
    library_ = LoadLibraryW(TEXT("pimstore.dll"));
    if (library_)
      find_ = reinterpret_cast<PFN_FINDMATCHINGCONTACT>(GetProcAddressW(
          library_, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(PIMSTORE_FINDMATCHINGCONTACT_ORDINAL))));
  }
  ~FindMatchingContact() {
    if (library_) FreeLibrary(library_);
  }
  FindMatchingContact(const FindMatchingContact&) = delete;
  FindMatchingContact& operator=(const FindMatchingContact&) = delete;

  HRESULT operator()(IPOutlookApp* app, LPCWSTR text, IItem** item) const {
    CEPROPID matched = 0;
    return find_ ? find_(app, text, kFindFlags, item, &matched) : E_FAIL;
  }

 private:
  HMODULE library_ = nullptr;
  PFN_FINDMATCHINGCONTACT find_ = nullptr;
};

// Writes the `attempt`th national form of an international `number` (1 to 4) into `text`:
// the country code of two, then of three digits replaced by the trunk prefix "0", or dropped.
// False when there is no such form for this number.
bool NationalForm(LPCWSTR number, size_t length, int attempt, WCHAR* text) {
  const size_t skip = attempt <= 2 ? 3 : 4;
  const bool trunkPrefix = attempt == 1 || attempt == 3;
  if (attempt < 1 || attempt > 4 || length < skip + 1) return false;
  if (trunkPrefix) {
    text[0] = TEXT('0');
    StringCchCopyW(text + 1, kLookupChars - 1, number + skip);
  } else {
    StringCchCopyW(text, kLookupChars, number + skip);
  }
  return true;
}

// The contact's picture fitted into the *width by *height box, drawn over white. The outputs are
// written only on success.
HRESULT LoadContactPicture(IItem* item, HBITMAP* picture, LONG* width, LONG* height) {
  if (!width || !height) return E_INVALIDARG;
  IStream* stream = nullptr;
  IImagingFactory* factory = nullptr;
  IImage* image = nullptr;
  IImage* thumbnail = nullptr;
  LONG fittedWidth = 0, fittedHeight = 0;
  HBITMAP bitmap = nullptr;

  HRESULT hr = item->OpenProperty(PIMPR_PICTURE, GENERIC_READ, &stream);
  if (SUCCEEDED(hr) && !stream) hr = E_FAIL;
  if (SUCCEEDED(hr)) {
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER size = {};
    hr = stream->Seek(zero, STREAM_SEEK_END, &size);
    if (SUCCEEDED(hr)) hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr) && size.QuadPart == 0) hr = E_FAIL;
  }
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                          reinterpret_cast<void**>(&factory));
  if (SUCCEEDED(hr)) hr = factory->CreateImageFromStream(stream, &image);
  if (SUCCEEDED(hr)) {
    ImageInfo info = {};
    hr = image->GetImageInfo(&info);
    if (SUCCEEDED(hr) && (info.Width == 0 || info.Height == 0)) hr = E_FAIL;
    if (SUCCEEDED(hr))
      FitPictureInBox(*width, *height, static_cast<LONG>(info.Width), static_cast<LONG>(info.Height),
                      &fittedWidth, &fittedHeight);
  }
  if (SUCCEEDED(hr)) {
    // A box of no room leaves nothing to draw.
    if (fittedWidth <= 0 || fittedHeight <= 0) hr = E_FAIL;
  }
  if (SUCCEEDED(hr)) {
    // Whatever stops the bitmap from being made, the thumbnail or its drawing, the caller sees
    // one failure: no bitmap.
    if (FAILED(image->GetThumbnail(static_cast<UINT>(fittedWidth), static_cast<UINT>(fittedHeight),
                                   &thumbnail)))
      ReleaseAndClear(thumbnail);
    if (thumbnail) bitmap = ImageToBitmap(thumbnail, RGB(255, 255, 255));
    if (!bitmap) hr = E_FAIL;
  }
  if (SUCCEEDED(hr)) {
    *picture = bitmap;
    *width = fittedWidth;
    *height = fittedHeight;
    hr = S_OK;
  }
  ReleaseAndClear(thumbnail);
  ReleaseAndClear(image);
  ReleaseAndClear(factory);
  ReleaseAndClear(stream);
  return hr;
}

// Sets a text field of the contact through one of its put_ operations.
HRESULT PutText(IContact* contact, HRESULT (STDMETHODCALLTYPE IContact::*put)(BSTR), LPCWSTR text) {
  BSTR value = SysAllocString(text);
  if (!value) return E_OUTOFMEMORY;
  HRESULT hr = (contact->*put)(value);
  SysFreeString(value);
  return hr;
}

}  // namespace

HRESULT LookupContact(LPCWSTR number, BSTR* name, HBITMAP* picture, LONG* width, LONG* height) {
  if (!number) return E_INVALIDARG;
  ContactStoreSession session;
  if (!session.app()) return E_FAIL;
  FindMatchingContact find;

  const size_t length = wcslen(number);
  // National forms are worth trying only for a number written in international form.
  const bool international = wcschr(number, TEXT('+')) != nullptr;
  WCHAR text[kLookupChars];
  StringCchCopyW(text, kLookupChars, number);

  IItem* item = nullptr;
  IContact* contact = nullptr;
  HRESULT hr = E_FAIL;
  for (int attempt = 1;; ++attempt) {
    hr = find(session.app(), text, &item);
    if (item) {
      item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
      if (contact) break;
      ReleaseAndClear(item);
    }
    if (!international || !NationalForm(number, length, attempt, text)) break;
  }

  if (contact) {
    if (name) contact->get_FileAs(name);
    hr = picture ? LoadContactPicture(item, picture, width, height) : S_OK;
  } else if (name) {
    *name = SysAllocString(number);
  }
  ReleaseAndClear(contact);
  ReleaseAndClear(item);
  return hr;
}

void SaveNumberToContacts(LPCWSTR number) {
  if (!number) return;
  ContactStoreSession session;
  if (!session.app()) return;

  IFolder* folder = nullptr;
  IPOutlookItemCollection* items = nullptr;
  IDispatch* added = nullptr;
  IContact* contact = nullptr;
  if (SUCCEEDED(session.app()->GetDefaultFolder(olFolderContacts, &folder)) && folder &&
      SUCCEEDED(folder->get_Items(&items)) && items && SUCCEEDED(items->Add(&added)) && added) {
    added->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
    ReleaseAndClear(added);
  }
  if (contact) {
    WCHAR nameText[kMaxNameChars];
    // Cut, not refused: the name is only a starting point the person edits.
    StringCchCopyW(nameText, kMaxNameChars, TEXT("Pellix_"));
    StringCchCatW(nameText, kMaxNameChars, number);
    PutText(contact, &IContact::put_FirstName, nameText);
    PutText(contact, &IContact::put_MobileTelephoneNumber, number);
    PutText(contact, &IContact::put_HomeTelephoneNumber, number);

    // The bubble stays open while the card is up, and until the contact is stored.
    ContactCardOpen = TRUE;
    if (SUCCEEDED(contact->Display())) contact->Save();
    ContactCardOpen = FALSE;
  }
  ReleaseAndClear(contact);
  ReleaseAndClear(items);
  ReleaseAndClear(folder);
}
