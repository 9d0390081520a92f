// The message store's engine: stores, folders, messages with their properties and
// recipients, kept in the image's store.db. The MAPI objects (session, store, folder,
// message, table) are a thin surface over it.
//
// One MessageStore per device (Device::Component), holding one SQLite connection. Every
// public operation takes the store's lock, so any thread may call it. Each change runs in
// one transaction, committed before the call returns: a failure or a crash in the middle
// leaves no half-written message, and every change is visible to all sessions at once, and to
// other processes once they may read (during a burst of writes the store holds the database
// for itself, at most half a second at a time: see WriteBurst).
//
// Errors carry the platform's SCODE in Error::code (MAPI_E_NOT_FOUND for a message that
// is gone, MAPI_E_CALL_FAILED for database failures).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "kernel/result.h"
#include "store/property.h"
#include "store/sqlite_db.h"
#include "store/write_burst.h"

namespace pellix::device {
class Device;
}

namespace pellix::device::store {

enum class FolderRole : int { kOther = 0, kInbox = 1, kSentItems = 2, kOutbox = 3, kDeletedItems = 4 };

struct StoreRecord {
  int64_t key = 0;
  std::u16string name;
};

struct FolderRecord {
  int64_t key = 0;
  int64_t store = 0;
  std::u16string name;
  FolderRole role = FolderRole::kOther;
};

struct Recipient {
  int32_t type = 1;  // MAPI_TO
  std::u16string address;
  std::u16string name;
};

class MessageStore {
 public:
  // Opens store.db of the device's image; a new image gets the "SMS" store with Inbox,
  // Sent Items, Outbox and Deleted Items.
  explicit MessageStore(Device& device);
  // For tools and tests: a store over any database file.
  explicit MessageStore(const std::filesystem::path& file);
  ~MessageStore();

  static MessageStore& Of(Device& device);

  // Whether the database opened; every other call fails while it did not.
  const Status& status() const { return status_; }

  std::vector<StoreRecord> Stores();
  std::optional<StoreRecord> FindStore(int64_t key);
  std::vector<FolderRecord> Folders(int64_t store);
  std::optional<FolderRecord> FindFolder(int64_t key);
  std::optional<FolderRecord> FolderByRole(int64_t store, FolderRole role);
  // Matched without regard to ASCII case, as folder names are on the device.
  std::optional<FolderRecord> FolderByName(int64_t store, std::u16string_view name);

  // Creates a message in `folder` with its properties and recipients, in one transaction.
  Result<int64_t> CreateMessage(int64_t folder, std::span<const Property> props,
                                std::span<const Recipient> recipients = {});
  // The folder a message is in; MAPI_E_NOT_FOUND when there is no such message.
  Result<int64_t> FolderOf(int64_t message);

  // Stored properties of a message, in identifier order.
  Result<std::vector<Property>> ReadProperties(int64_t message);
  // Stored properties of a message that is in `folder`; MAPI_E_NOT_FOUND when it is not
  // (any more). One query: tables read rows with it.
  Result<std::vector<Property>> ReadPropertiesInFolder(int64_t message, int64_t folder);
  // One stored property by identifier (the tag's type is ignored); null when not set.
  Result<std::optional<Property>> ReadProperty(int64_t message, uint32_t tag);
  // Writes (replaces) properties, all or none.
  Status WriteProperties(int64_t message, std::span<const Property> props);
  Status DeleteProperties(int64_t message, std::span<const uint32_t> tags);

  Result<std::vector<Recipient>> Recipients(int64_t message);
  Status SetRecipients(int64_t message, std::span<const Recipient> recipients);

  // Moves or copies messages of folder `from` into folder `to`, all or none. Messages not
  // in `from` fail the call with MAPI_E_NOT_FOUND. A moved message keeps its key.
  Status MoveMessages(std::span<const int64_t> messages, int64_t from, int64_t to);
  Result<std::vector<int64_t>> CopyMessages(std::span<const int64_t> messages, int64_t from,
                                            int64_t to);
  // Deletes messages of folder `from` for good, all or none.
  Status DeleteMessages(std::span<const int64_t> messages, int64_t from);

  // FolderOf, answered without a query for a message among the rows RowsAfter returned last
  // when no call on this store has changed it since: opening the rows of a table one by one
  // then costs no lookup each. Another process's deletion shows at the first access instead.
  Result<int64_t> FolderOfListed(int64_t message);

  // The message changed last by a call on this store, 0 before any; a sweep that goes in key
  // order has done the messages up to it (progress reports).
  int64_t LastChanged();

  // A point in this store's history of changes (a count of changing calls).
  using Version = uint64_t;
  struct Row {
    int64_t key = 0;
    std::vector<Property> props;  // stored properties, in identifier order
  };
  // Up to `limit` messages of `folder` with keys after `after`, in key order, each with its
  // stored properties (only those with identifiers in `ids`, ascending, unless it is
  // empty), read by one statement; `version` tells when. Tables read ahead with it.
  Result<std::vector<Row>> RowsAfter(int64_t folder, int64_t after, size_t limit, Version* version,
                                     std::span<const uint32_t> ids = {});
  // True when no call on this store has changed a message of `keys` (ascending) since
  // `version`, which then moves to now. Other processes' changes are not tracked.
  bool Unchanged(Version& version, std::span<const int64_t> keys);

  // Contents of a folder in key order (the order of arrival): up to `limit` keys after
  // `after` (0 = from the start). Tables page through folders with this.
  std::vector<int64_t> MessagesAfter(int64_t folder, int64_t after, size_t limit);
  int64_t CountMessages(int64_t folder);
  // Messages in `folder` with keys at most `key` (the position of a cursor after it).
  int64_t CountUpTo(int64_t folder, int64_t key);
  // The key at 0-based `offset`, or 0 past the end.
  int64_t KeyAtOffset(int64_t folder, int64_t offset);
  int64_t CountUnread(int64_t folder);

 private:
  Status Open(const std::filesystem::path& file);
  Status CreateSchema();
  Status LoadCatalog();
  Status Exists(int64_t message);
  Status WriteLocked(int64_t message, std::span<const Property> props);
  Status SetRecipientsLocked(int64_t message, std::span<const Recipient> recipients);
  Status CheckInFolder(std::span<const int64_t> messages, int64_t folder);
  // Notes committed changes to messages, for Unchanged.
  void Changed(std::span<const int64_t> messages);

  std::recursive_mutex mutex_;
  Status status_;
  std::unique_ptr<sql::Database> db_;
  // Holds the database through bursts of writes; made once the database is open, and gone
  // before it closes.
  std::unique_ptr<WriteBurst> burst_;
  // Stores and folders are fixed once the image exists, so they are read once.
  std::vector<StoreRecord> stores_;
  std::vector<FolderRecord> folders_;
  // The messages changed by recent calls, with the count of changing calls at the time.
  // Only the last few thousand are kept: older versions count as changed everything.
  uint64_t generation_ = 0;
  uint64_t forgotten_ = 0;  // generations up to this one may have lost entries
  std::deque<std::pair<uint64_t, int64_t>> changes_;
  // The keys RowsAfter returned last (ascending) less those changed since, and their folder.
  std::vector<int64_t> listed_;
  int64_t listed_folder_ = 0;
};

}  // namespace pellix::device::store
