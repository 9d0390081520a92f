// cemapi: a folder and its contents.
#include "store/entry_id.h"
#include "store/mapi_objects.h"
#include "store/mapi_table.h"
#include "store/store_tags.h"

namespace pellix::device::store {

namespace {
// Columns of a contents table before SetColumns.
const std::vector<uint32_t> kContentsColumns = {
    PR_ENTRYID, PR_MESSAGE_CLASS_W, PR_SUBJECT_W, PR_SENDER_EMAIL_ADDRESS_W,
    PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_FLAGS};
}  // namespace

void* FolderObject::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IMAPIFolder)) return static_cast<IMAPIFolder*>(this);
  if (IsEqualIID(iid, IID_IMAPIContainer)) return static_cast<IMAPIContainer*>(this);
  if (IsEqualIID(iid, IID_IMAPIProp)) return static_cast<IMAPIProp*>(this);
  return nullptr;
}

Result<std::vector<Property>> FolderObject::Properties() {
  auto folder = store_.FindFolder(key_);
  if (!folder) return Fail("no such folder", MAPI_E_NOT_FOUND);
  const auto entry = MakeEntryId(EntryKind::kFolder, key_);
  const auto store_id = MakeEntryId(EntryKind::kStore, folder->store);
  return std::vector<Property>{
      TextProperty(PR_DISPLAY_NAME_W, folder->name),
      BinaryProperty(PR_ENTRYID, entry),
      BinaryProperty(PR_RECORD_KEY, entry),
      IntProperty(PR_OBJECT_TYPE, MAPI_FOLDER),
      IntProperty(PR_FOLDER_TYPE, FOLDER_GENERIC),
      IntProperty(PR_CONTENT_COUNT, store_.CountMessages(key_)),
      IntProperty(PR_CONTENT_UNREAD, store_.CountUnread(key_)),
      IntProperty(PR_SUBFOLDERS, 0),
      BinaryProperty(PR_STORE_ENTRYID, store_id),
      BinaryProperty(kPrFolderStoreEntryId, store_id),
  };
}

HRESULT FolderObject::GetContentsTable(ULONG, LPMAPITABLE* table) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  *table = new TableObject(std::make_unique<FolderRows>(store_, key_), kContentsColumns);
  return S_OK;
}

HRESULT FolderObject::GetHierarchyTable(ULONG, LPMAPITABLE* table) {
  if (table == nullptr) return MAPI_E_INVALID_PARAMETER;
  // Folders of the device's stores have no subfolders.
  *table = new TableObject(std::make_unique<SnapshotRows>(std::vector<std::vector<Property>>{}),
                           {PR_DISPLAY_NAME_W, PR_ENTRYID});
  return S_OK;
}

HRESULT FolderObject::OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG, ULONG* type,
                                LPUNKNOWN* out) {
  auto folder = store_.FindFolder(key_);
  return OpenStoreEntry(store_, folder ? folder->store : -1, cb, id, iid, type, out);
}

HRESULT FolderObject::SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT FolderObject::GetSearchCriteria(ULONG, LPSRestriction* r, LPENTRYLIST* l, ULONG* state) {
  if (r) *r = nullptr;
  if (l) *l = nullptr;
  if (state) *state = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::CreateMessage(LPCIID iid, ULONG, LPMESSAGE* message) {
  if (message == nullptr) return MAPI_E_INVALID_PARAMETER;
  *message = nullptr;
  if (iid && !IsEqualIID(*iid, IID_IMessage) && !IsEqualIID(*iid, IID_IMAPIProp) &&
      !IsEqualIID(*iid, IID_IUnknown))
    return MAPI_E_INTERFACE_NOT_SUPPORTED;
  // Writes go through at once, so a new message exists from the start.
  const Property flags = IntProperty(PR_MESSAGE_FLAGS, MSGFLAG_UNSENT);
  auto key = store_.CreateMessage(key_, std::span(&flags, 1));
  if (!key) return ToHresult(key.error());
  *message = new MessageObject(store_, *key);
  return S_OK;
}

Result<std::vector<int64_t>> FolderObject::MessageKeys(LPENTRYLIST list) {
  if (list == nullptr || (list->cValues > 0 && list->lpbin == nullptr))
    return Fail("no list", MAPI_E_INVALID_PARAMETER);
  std::vector<int64_t> keys;
  for (ULONG i = 0; i < list->cValues; ++i) {
    auto ref = ParseEntryId(list->lpbin[i].lpb, list->lpbin[i].cb);
    if (!ref || ref->kind != EntryKind::kMessage) return Fail("not a message", MAPI_E_INVALID_ENTRYID);
    keys.push_back(ref->key);
  }
  return keys;
}

HRESULT FolderObject::CopyMessages(LPENTRYLIST list, LPCIID, LPVOID destination, ULONG_PTR,
                                   LPMAPIPROGRESS, ULONG flags) {
  auto keys = MessageKeys(list);
  if (!keys) return ToHresult(keys.error());
  if (destination == nullptr) return MAPI_E_INVALID_PARAMETER;
  // The destination is a folder of this store's own making.
  auto* target = dynamic_cast<FolderObject*>(static_cast<IMAPIFolder*>(destination));
  if (target == nullptr) return MAPI_E_INVALID_PARAMETER;
  if (flags & MESSAGE_MOVE) {
    if (Status s = store_.MoveMessages(*keys, key_, target->key_); !s) return ToHresult(s.error());
  } else {
    auto copies = store_.CopyMessages(*keys, key_, target->key_);
    if (!copies) return ToHresult(copies.error());
  }
  return S_OK;
}

HRESULT FolderObject::DeleteMessages(LPENTRYLIST list, ULONG_PTR, LPMAPIPROGRESS, ULONG) {
  auto keys = MessageKeys(list);
  if (!keys) return ToHresult(keys.error());
  if (Status s = store_.DeleteMessages(*keys, key_); !s) return ToHresult(s.error());
  return S_OK;
}

HRESULT FolderObject::CreateFolder(ULONG, LPWSTR, LPWSTR, LPCIID, ULONG, LPMAPIFOLDER* folder) {
  if (folder) *folder = nullptr;
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::CopyFolder(ULONG, LPENTRYID, LPCIID, LPVOID, LPWSTR, ULONG_PTR,
                                 LPMAPIPROGRESS, ULONG) {
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::DeleteFolder(ULONG, LPENTRYID, ULONG_PTR, LPMAPIPROGRESS, ULONG) {
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::SetReadFlags(LPENTRYLIST list, ULONG_PTR, LPMAPIPROGRESS, ULONG flags) {
  std::vector<int64_t> keys;
  if (list == nullptr) {
    // No list: every message of the folder.
    for (int64_t after = 0;;) {
      auto page = store_.MessagesAfter(key_, after, 512);
      if (page.empty()) break;
      keys.insert(keys.end(), page.begin(), page.end());
      after = page.back();
    }
  } else {
    auto parsed = MessageKeys(list);
    if (!parsed) return ToHresult(parsed.error());
    keys = std::move(*parsed);
  }
  for (int64_t key : keys) {
    auto current = store_.ReadProperty(key, PR_MESSAGE_FLAGS);
    if (!current) return ToHresult(current.error());
    int64_t value = *current ? std::get<int64_t>((*current)->value) : 0;
    value = (flags & CLEAR_READ_FLAG) ? (value & ~int64_t{MSGFLAG_READ}) : (value | MSGFLAG_READ);
    const Property p = IntProperty(PR_MESSAGE_FLAGS, value);
    if (Status s = store_.WriteProperties(key, std::span(&p, 1)); !s) return ToHresult(s.error());
  }
  return S_OK;
}

HRESULT FolderObject::GetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG* status) {
  if (status) *status = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::SetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG, ULONG* old_status) {
  if (old_status) *old_status = 0;
  return MAPI_E_NO_SUPPORT;
}

HRESULT FolderObject::SaveContentsSort(LPSSortOrderSet, ULONG) { return MAPI_E_NO_SUPPORT; }

HRESULT FolderObject::EmptyFolder(ULONG_PTR, LPMAPIPROGRESS, ULONG) {
  std::vector<int64_t> keys;
  for (int64_t after = 0;;) {
    auto page = store_.MessagesAfter(key_, after, 512);
    if (page.empty()) break;
    keys.insert(keys.end(), page.begin(), page.end());
    after = page.back();
  }
  if (Status s = store_.DeleteMessages(keys, key_); !s) return ToHresult(s.error());
  return S_OK;
}

}  // namespace pellix::device::store
