// cemapi: a message store.
#include <mapiutil.h>

#include <cstring>

#include "store/entry_id.h"
#include "store/mapi_objects.h"
#include "store/mapi_table.h"
#include "store/store_tags.h"

namespace pellix::device::store {

void* StoreObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IMsgStore)) return static_cast<IMsgStore*>(this);
  if (IsEqualIID(iid, IID_IMAPIProp)) return static_cast<IMAPIProp*>(this);
  return nullptr;
}

Result<std::vector<Property>> StoreObject::Properties() {
  auto record = store_.FindStore(key_);
  if (!record) return Fail("no such store", MAPI_E_NOT_FOUND);
  const auto entry = MakeEntryId(EntryKind::kStore, key_);
  std::vector<Property> all = {
      TextProperty(PR_DISPLAY_NAME_W, record->name), BinaryProperty(PR_ENTRYID, entry),
      BinaryProperty(PR_RECORD_KEY, entry),          BinaryProperty(PR_STORE_ENTRYID, entry),
      IntProperty(PR_OBJECT_TYPE, MAPI_STORE),
  };
  const std::pair<FolderRole, ULONG> special[] = {
      {FolderRole::kDeletedItems, PR_IPM_WASTEBASKET_ENTRYID},
      {FolderRole::kOutbox, PR_IPM_OUTBOX_ENTRYID},
      {FolderRole::kSentItems, PR_IPM_SENTMAIL_ENTRYID},
  };
  for (const auto& [role, tag] : special)
    if (auto folder = store_.FolderByRole(key_, role))
      all.push_back(BinaryProperty(tag, MakeEntryId(EntryKind::kFolder, folder->key)));
  return all;
}

HRESULT StoreObject::Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG* connection) {
  if (connection) *connection = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT StoreObject::Unadvise(ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT StoreObject::CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG,
                                     ULONG* result) {
  return CompareIds(cb1, id1, cb2, id2, result);
}

HRESULT StoreObject::OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG, ULONG* type,
                               LPUNKNOWN* out) {
  return OpenStoreEntry(store_, key_, cb, id, iid, type, out);
}

HRESULT StoreObject::SetReceiveFolder(LPWSTR, ULONG, ULONG, LPENTRYID) { return MAPI_E_NO_SUPPORT; }

HRESULT StoreObject::GetReceiveFolder(LPWSTR, ULONG flags, ULONG* cb, LPENTRYID* id,
                                      LPWSTR* explicit_class) {
  if (explicit_class) *explicit_class = nullptr;
  if (cb == nullptr || id == nullptr) return MAPI_E_INVALID_PARAMETER;
  *cb = 0;
  *id = nullptr;
  // Every class arrives in the Inbox.
  auto inbox = store_.FolderByRole(key_, FolderRole::kInbox);
  if (!inbox) return MAPI_E_NOT_FOUND;
  const auto entry = MakeEntryId(EntryKind::kFolder, inbox->key);
  *id = PackEntryId(entry);
  if (*id == nullptr) return MAPI_E_NOT_ENOUGH_MEMORY;
  *cb = static_cast<ULONG>(entry.size());
  if (explicit_class) {
    // The class that matched: the default, the empty class.
    void* block = nullptr;
    const ULONG size = (flags & MAPI_UNICODE) ? sizeof(WCHAR) : 1;
    if (MAPIAllocateBuffer(size, &block) == S_OK) {
      std::memset(block, 0, size);
      *explicit_class = static_cast<LPWSTR>(block);
    }
  }
  return S_OK;
}

HRESULT StoreObject::GetReceiveFolderTable(ULONG, LPMAPITABLE* table) {
  if (table) *table = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT StoreObject::StoreLogoff(ULONG* flags) {
  if (flags) *flags = 0;
  return S_OK;
}

HRESULT StoreObject::AbortSubmit(ULONG, LPENTRYID, ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT StoreObject::GetOutgoingQueue(ULONG, LPMAPITABLE* table) {
  if (table) *table = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT StoreObject::SetLockState(LPMESSAGE, ULONG) { return MAPI_E_NO_SUPPORT; }
HRESULT StoreObject::FinishedMsg(ULONG, ULONG, LPENTRYID) { return MAPI_E_NO_SUPPORT; }
HRESULT StoreObject::NotifyNewMail(LPNOTIFICATION) { return MAPI_E_NO_SUPPORT; }

}  // namespace pellix::device::store
