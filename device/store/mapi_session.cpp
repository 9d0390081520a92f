// cemapi: the session and the entry-identifier plumbing shared by session and stores.
#include <algorithm>
#include <cstring>

#include "store/entry_id.h"
#include "store/mapi_objects.h"
#include "store/mapi_table.h"
#include "store/store_tags.h"

namespace pellix::device::store {
namespace {

// Hands out interface `iid` of a new object (its default interface when `iid` is null).
template <typename T, typename Default>
HRESULT Hand(T* object, LPCIID iid, ULONG object_type, ULONG* type, LPUNKNOWN* out) {
  HRESULT hr = S_OK;
  if (iid == nullptr) {
    *out = static_cast<Default*>(object);
    object->AddRef();
  } else {
    hr = object->QueryInterface(*iid, reinterpret_cast<void**>(out));
    if (FAILED(hr)) hr = MAPI_E_INTERFACE_NOT_SUPPORTED;
  }
  object->Release();
  if (SUCCEEDED(hr) && type) *type = object_type;
  return hr;
}

}  // namespace

void AddComputed(std::vector<Property>& all, int64_t key, int64_t folder, int64_t store,
                 std::span<const uint32_t> ids) {
  auto wanted = [ids](uint32_t tag) {
    return ids.empty() || std::binary_search(ids.begin(), ids.end(), PROP_ID(tag));
  };
  const auto entry = MakeEntryId(EntryKind::kMessage, key);
  if (wanted(PR_ENTRYID)) all.push_back(BinaryProperty(PR_ENTRYID, entry));
  if (wanted(PR_RECORD_KEY)) all.push_back(BinaryProperty(PR_RECORD_KEY, entry));
  if (wanted(PR_OBJECT_TYPE)) all.push_back(IntProperty(PR_OBJECT_TYPE, MAPI_MESSAGE));
  if (wanted(PR_PARENT_ENTRYID))
    all.push_back(BinaryProperty(PR_PARENT_ENTRYID, MakeEntryId(EntryKind::kFolder, folder)));
  const auto store_id = MakeEntryId(EntryKind::kStore, store);
  if (wanted(PR_STORE_ENTRYID)) all.push_back(BinaryProperty(PR_STORE_ENTRYID, store_id));
  if (wanted(kPrFolderStoreEntryId)) all.push_back(BinaryProperty(kPrFolderStoreEntryId, store_id));
}

Result<std::vector<Property>> MessageProperties(MessageStore& store, int64_t key) {
  auto folder_key = store.FolderOf(key);
  if (!folder_key) return folder_key.error();
  auto folder = store.FindFolder(*folder_key);
  if (!folder) return Fail("message in no folder", MAPI_E_NOT_FOUND);
  return MessagePropertiesInFolder(store, key, *folder);
}

Result<std::vector<Property>> MessagePropertiesInFolder(MessageStore& store, int64_t key,
                                                        const FolderRecord& folder) {
  auto stored = store.ReadPropertiesInFolder(key, folder.key);
  if (!stored) return stored.error();
  AddComputed(*stored, key, folder.key, folder.store);
  return stored;
}

HRESULT OpenStoreEntry(MessageStore& store, int64_t within_store, ULONG cb, LPENTRYID id,
                       LPCIID iid, ULONG* type, LPUNKNOWN* out) {
  if (out == nullptr) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  if (type) *type = 0;
  auto ref = ParseEntryId(id, cb);
  if (!ref) return MAPI_E_INVALID_ENTRYID;
  switch (ref->kind) {
    case EntryKind::kStore: {
      if (!store.FindStore(ref->key) || (within_store && ref->key != within_store)) return MAPI_E_NOT_FOUND;
      return Hand<StoreObject, IMsgStore>(new StoreObject(store, ref->key), iid, MAPI_STORE, type, out);
    }
    case EntryKind::kFolder: {
      auto folder = store.FindFolder(ref->key);
      if (!folder || (within_store && folder->store != within_store)) return MAPI_E_NOT_FOUND;
      return Hand<FolderObject, IMAPIFolder>(new FolderObject(store, ref->key), iid, MAPI_FOLDER, type, out);
    }
    case EntryKind::kMessage: {
      auto folder_key = store.FolderOfListed(ref->key);
      if (!folder_key) return MAPI_E_NOT_FOUND;
      if (within_store) {
        auto folder = store.FindFolder(*folder_key);
        if (!folder || folder->store != within_store) return MAPI_E_NOT_FOUND;
      }
      return Hand<MessageObject, IMessage>(new MessageObject(store, ref->key), iid, MAPI_MESSAGE, type, out);
    }
  }
  return MAPI_E_INVALID_ENTRYID;
}

HRESULT CompareIds(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG* result) {
  if (result == nullptr || (cb1 && !id1) || (cb2 && !id2)) return MAPI_E_INVALID_PARAMETER;
  *result = cb1 == cb2 && (cb1 == 0 || std::memcmp(id1, id2, cb1) == 0);
  return S_OK;
}

void* SessionObject::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IMAPISession) ? static_cast<IMAPISession*>(this) : nullptr;
}

HRESULT SessionObject::GetLastError(HRESULT, ULONG, LPMAPIERROR* error) {
  if (error) *error = nullptr;
  return S_OK;
}

HRESULT SessionObject::GetMsgStoresTable(ULONG, LPMAPITABLE* table) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  std::vector<std::vector<Property>> rows;
  for (const StoreRecord& s : store_.Stores()) {
    const auto entry = MakeEntryId(EntryKind::kStore, s.key);
    rows.push_back({TextProperty(PR_DISPLAY_NAME_W, s.name), BinaryProperty(PR_ENTRYID, entry),
                    BinaryProperty(PR_RECORD_KEY, entry), IntProperty(PR_OBJECT_TYPE, MAPI_STORE)});
  }
  *table = new TableObject(std::make_unique<SnapshotRows>(std::move(rows)),
                           {PR_DISPLAY_NAME_W, PR_ENTRYID, PR_RECORD_KEY});
  return S_OK;
}

HRESULT SessionObject::OpenMsgStore(ULONG_PTR, ULONG cb, LPENTRYID id, LPCIID iid, ULONG,
                                    LPMDB* out) {
  if (out == nullptr) return MAPI_E_INVALID_PARAMETER;
  *out = nullptr;
  auto ref = ParseEntryId(id, cb);
  if (!ref || ref->kind != EntryKind::kStore) return MAPI_E_INVALID_ENTRYID;
  LPUNKNOWN unk = nullptr;
  HRESULT hr = OpenStoreEntry(store_, 0, cb, id, iid ? iid : &IID_IMsgStore, nullptr, &unk);
  if (SUCCEEDED(hr)) *out = reinterpret_cast<LPMDB>(unk);
  return hr;
}

HRESULT SessionObject::OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* book) {
  if (book) *book = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT* section) {
  if (section) *section = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::GetStatusTable(ULONG, LPMAPITABLE* table) {
  if (table) *table = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG, ULONG* type,
                                 LPUNKNOWN* out) {
  return OpenStoreEntry(store_, 0, cb, id, iid, type, out);
}

HRESULT SessionObject::CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG,
                                       ULONG* result) {
  return CompareIds(cb1, id1, cb2, id2, result);
}

HRESULT SessionObject::Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG* connection) {
  if (connection) *connection = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::Unadvise(ULONG) { return MAPI_E_NO_SUPPORT; }
HRESULT SessionObject::MessageOptions(ULONG_PTR, ULONG, LPWSTR, LPMESSAGE) { return MAPI_E_NO_SUPPORT; }

HRESULT SessionObject::QueryDefaultMessageOpt(LPWSTR, ULONG, ULONG* count, LPSPropValue* options) {
  if (count) *count = 0;
  if (options) *options = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::EnumAdrTypes(ULONG, ULONG* count, LPWSTR** types) {
  if (count) *count = 0;
  if (types) *types = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::QueryIdentity(ULONG* cb, LPENTRYID* id) {
  if (cb) *cb = 0;
  if (id) *id = nullptr;
  return MAPI_E_NO_SUPPORT;
}

// Objects opened through the session stay usable after Logoff, as they do on the device.
HRESULT SessionObject::Logoff(ULONG_PTR, ULONG, ULONG) { return S_OK; }

HRESULT SessionObject::SetDefaultStore(ULONG, ULONG, LPENTRYID) { return MAPI_E_NO_SUPPORT; }

HRESULT SessionObject::AdminServices(ULONG, LPSERVICEADMIN* admin) {
  if (admin) *admin = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG,
                                ULONG, ULONG, ULONG, LPSTR) {
  return MAPI_E_NO_SUPPORT;
}

HRESULT SessionObject::PrepareForm(LPCIID, LPMESSAGE, ULONG* token) {
  if (token) *token = 0;
  return MAPI_E_NO_SUPPORT;
}

}  // namespace pellix::device::store
