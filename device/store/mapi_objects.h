// The message store's MAPI objects: session, message store, folder and message. Each is a
// thin surface over MessageStore; none caches what the store holds, so every object sees
// every change at once, whichever session made it.
//
// Objects keep a reference to the device's MessageStore: release them before the device
// shuts down.
#pragma once

#include <mapidefs.h>

#include <span>
#include <vector>

#include "store/mapi_prop.h"
#include "store/message_store.h"

namespace pellix::device::store {

// Stored and computed properties of a message (entry identifiers, object type, ...);
// MAPI_E_NOT_FOUND when the message is gone.
Result<std::vector<Property>> MessageProperties(MessageStore& store, int64_t key);
// The same for a message expected in `folder`; MAPI_E_NOT_FOUND when it is not there.
Result<std::vector<Property>> MessagePropertiesInFolder(MessageStore& store, int64_t key,
                                                        const FolderRecord& folder);
// Appends the properties every message has without storing them (identifiers, type): all
// of them, or those with identifiers in `ids` (ascending).
void AddComputed(std::vector<Property>& all, int64_t key, int64_t folder, int64_t store,
                 std::span<const uint32_t> ids = {});

// OpenEntry of a session (`within_store` 0) or of a store (only its own entries).
HRESULT OpenStoreEntry(MessageStore& store, int64_t within_store, ULONG cb, LPENTRYID id,
                       LPCIID iid, ULONG* type, LPUNKNOWN* out);
HRESULT CompareIds(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG* result);

class SessionObject final : public com::ComObject<IMAPISession> {
 public:
  explicit SessionObject(MessageStore& store) : store_(store) {}

  STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* error) override;
  STDMETHODIMP GetMsgStoresTable(ULONG flags, LPMAPITABLE* table) override;
  STDMETHODIMP OpenMsgStore(ULONG_PTR, ULONG cb, LPENTRYID id, LPCIID iid, ULONG flags,
                            LPMDB* store) override;
  STDMETHODIMP OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK* book) override;
  STDMETHODIMP OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT* section) override;
  STDMETHODIMP GetStatusTable(ULONG, LPMAPITABLE* table) override;
  STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                         LPUNKNOWN* out) override;
  STDMETHODIMP CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG flags,
                               ULONG* result) override;
  STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG* connection) override;
  STDMETHODIMP Unadvise(ULONG) override;
  STDMETHODIMP MessageOptions(ULONG_PTR, ULONG, LPWSTR, LPMESSAGE) override;
  STDMETHODIMP QueryDefaultMessageOpt(LPWSTR, ULONG, ULONG* count, LPSPropValue* options) override;
  STDMETHODIMP EnumAdrTypes(ULONG, ULONG* count, LPWSTR** types) override;
  STDMETHODIMP QueryIdentity(ULONG* cb, LPENTRYID* id) override;
  STDMETHODIMP Logoff(ULONG_PTR, ULONG, ULONG) override;
  STDMETHODIMP SetDefaultStore(ULONG, ULONG, LPENTRYID) override;
  STDMETHODIMP AdminServices(ULONG, LPSERVICEADMIN* admin) override;
  STDMETHODIMP ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG,
                        ULONG, ULONG, LPSTR) override;
  STDMETHODIMP PrepareForm(LPCIID, LPMESSAGE, ULONG* token) override;

 private:
  ~SessionObject() override = default;
  void* FindInterface(REFIID iid) override;

  MessageStore& store_;
};

class StoreObject final : public MapiProp<IMsgStore> {
 public:
  StoreObject(MessageStore& store, int64_t key) : store_(store), key_(key) {}

  STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG* connection) override;
  STDMETHODIMP Unadvise(ULONG) override;
  STDMETHODIMP CompareEntryIDs(ULONG cb1, LPENTRYID id1, ULONG cb2, LPENTRYID id2, ULONG flags,
                               ULONG* result) override;
  STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                         LPUNKNOWN* out) override;
  STDMETHODIMP SetReceiveFolder(LPWSTR, ULONG, ULONG, LPENTRYID) override;
  STDMETHODIMP GetReceiveFolder(LPWSTR message_class, ULONG flags, ULONG* cb, LPENTRYID* id,
                                LPWSTR* explicit_class) override;
  STDMETHODIMP GetReceiveFolderTable(ULONG, LPMAPITABLE* table) override;
  STDMETHODIMP StoreLogoff(ULONG* flags) override;
  STDMETHODIMP AbortSubmit(ULONG, LPENTRYID, ULONG) override;
  STDMETHODIMP GetOutgoingQueue(ULONG, LPMAPITABLE* table) override;
  STDMETHODIMP SetLockState(LPMESSAGE, ULONG) override;
  STDMETHODIMP FinishedMsg(ULONG, ULONG, LPENTRYID) override;
  STDMETHODIMP NotifyNewMail(LPNOTIFICATION) override;

 protected:
  Result<std::vector<Property>> Properties() override;

 private:
  ~StoreObject() override = default;
  void* FindInterface(REFIID iid) override;

  MessageStore& store_;
  int64_t key_;
};

class FolderObject final : public MapiProp<IMAPIFolder> {
 public:
  FolderObject(MessageStore& store, int64_t key) : store_(store), key_(key) {}
  int64_t key() const { return key_; }

  STDMETHODIMP GetContentsTable(ULONG flags, LPMAPITABLE* table) override;
  STDMETHODIMP GetHierarchyTable(ULONG flags, LPMAPITABLE* table) override;
  STDMETHODIMP OpenEntry(ULONG cb, LPENTRYID id, LPCIID iid, ULONG flags, ULONG* type,
                         LPUNKNOWN* out) override;
  STDMETHODIMP SetSearchCriteria(LPSRestriction, LPENTRYLIST, ULONG) override;
  STDMETHODIMP GetSearchCriteria(ULONG, LPSRestriction*, LPENTRYLIST*, ULONG*) override;
  STDMETHODIMP CreateMessage(LPCIID iid, ULONG flags, LPMESSAGE* message) override;
  STDMETHODIMP CopyMessages(LPENTRYLIST list, LPCIID iid, LPVOID destination, ULONG_PTR,
                            LPMAPIPROGRESS, ULONG flags) override;
  STDMETHODIMP DeleteMessages(LPENTRYLIST list, ULONG_PTR, LPMAPIPROGRESS, ULONG flags) override;
  STDMETHODIMP CreateFolder(ULONG, LPWSTR, LPWSTR, LPCIID, ULONG, LPMAPIFOLDER* folder) override;
  STDMETHODIMP CopyFolder(ULONG, LPENTRYID, LPCIID, LPVOID, LPWSTR, ULONG_PTR, LPMAPIPROGRESS,
                          ULONG) override;
  STDMETHODIMP DeleteFolder(ULONG, LPENTRYID, ULONG_PTR, LPMAPIPROGRESS, ULONG) override;
  STDMETHODIMP SetReadFlags(LPENTRYLIST list, ULONG_PTR, LPMAPIPROGRESS, ULONG flags) override;
  STDMETHODIMP GetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG* status) override;
  STDMETHODIMP SetMessageStatus(ULONG, LPENTRYID, ULONG, ULONG, ULONG* old_status) override;
  STDMETHODIMP SaveContentsSort(LPSSortOrderSet, ULONG) override;
  STDMETHODIMP EmptyFolder(ULONG_PTR, LPMAPIPROGRESS, ULONG flags) override;

 protected:
  Result<std::vector<Property>> Properties() override;

 private:
  ~FolderObject() override = default;
  void* FindInterface(REFIID iid) override;
  // The message keys of an entry list; MAPI_E_INVALID_ENTRYID for one that is not a message.
  Result<std::vector<int64_t>> MessageKeys(LPENTRYLIST list);

  MessageStore& store_;
  int64_t key_;
};

class MessageObject final : public MapiProp<IMessage> {
 public:
  MessageObject(MessageStore& store, int64_t key) : store_(store), key_(key) {}

  STDMETHODIMP GetAttachmentTable(ULONG flags, LPMAPITABLE* table) override;
  STDMETHODIMP OpenAttach(ULONG, LPCIID, ULONG, LPATTACH* attach) override;
  STDMETHODIMP CreateAttach(LPCIID, ULONG, ULONG* number, LPATTACH* attach) override;
  STDMETHODIMP DeleteAttach(ULONG, ULONG_PTR, LPMAPIPROGRESS, ULONG) override;
  STDMETHODIMP GetRecipientTable(ULONG flags, LPMAPITABLE* table) override;
  STDMETHODIMP ModifyRecipients(ULONG flags, LPADRLIST mods) override;
  STDMETHODIMP SubmitMessage(ULONG flags) override;
  STDMETHODIMP SetReadFlag(ULONG flags) override;

 protected:
  Result<std::vector<Property>> Properties() override;
  Status Write(std::span<const Property> props) override;
  Status Erase(std::span<const uint32_t> tags) override;
  bool IsComputed(uint32_t tag) const override;

 private:
  ~MessageObject() override = default;
  void* FindInterface(REFIID iid) override;

  MessageStore& store_;
  int64_t key_;
};

}  // namespace pellix::device::store
