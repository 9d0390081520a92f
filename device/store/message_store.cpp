#include "store/message_store.h"

#include <mapidefs.h>

#include <algorithm>

#include "kernel/device.h"

namespace pellix::device::store {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS stores(
  id INTEGER PRIMARY KEY, name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS folders(
  id INTEGER PRIMARY KEY, store INTEGER NOT NULL REFERENCES stores(id),
  name TEXT NOT NULL, role INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS messages(
  id INTEGER PRIMARY KEY AUTOINCREMENT, folder INTEGER NOT NULL REFERENCES folders(id));
CREATE INDEX IF NOT EXISTS messages_by_folder ON messages(folder, id);
CREATE TABLE IF NOT EXISTS properties(
  message INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
  id INTEGER NOT NULL, type INTEGER NOT NULL, value,
  PRIMARY KEY(message, id)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS recipients(
  message INTEGER NOT NULL REFERENCES messages(id) ON DELETE CASCADE,
  position INTEGER NOT NULL, type INTEGER NOT NULL, address TEXT NOT NULL, name TEXT NOT NULL,
  PRIMARY KEY(message, position)) WITHOUT ROWID;
)sql";

Error DbError(const std::string& what) { return Fail("message store: " + what, MAPI_E_CALL_FAILED); }
Error NotFound() { return Fail("message store: no such message", MAPI_E_NOT_FOUND); }

void BindValue(sql::Statement& s, int index, const Property& p) {
  if (const auto* i = std::get_if<int64_t>(&p.value)) s.Bind(index, *i);
  else if (const auto* d = std::get_if<double>(&p.value)) s.Bind(index, *d);
  else if (const auto* t = std::get_if<std::u16string>(&p.value)) s.Bind(index, std::u16string_view(*t));
  else s.BindBlob(index, std::get<std::vector<uint8_t>>(p.value));
}

// Reads a property from columns (id, type, value) starting at `first`.
Property ColumnProperty(const sql::Statement& s, int first) {
  const auto id = static_cast<uint32_t>(s.Int(first));
  const auto type = static_cast<uint32_t>(s.Int(first + 1));
  const uint32_t tag = PROP_TAG(type, id);
  switch (type) {
    case PT_R4: case PT_DOUBLE: case PT_APPTIME:
      return Property{tag, s.Real(first + 2)};
    case PT_UNICODE:
      return TextProperty(tag, s.Text16(first + 2));
    case PT_STRING8: case PT_BINARY: case PT_CLSID: {
      auto b = s.Blob(first + 2);
      return BinaryProperty(tag, std::vector<uint8_t>(b.begin(), b.end()));
    }
    default:
      return IntProperty(tag, s.Int(first + 2));
  }
}

// One write transaction, as the burst policy sees it: declared before the transaction, so that
// it ends after it.
class WriteScope {
 public:
  explicit WriteScope(WriteBurst* burst) : burst_(burst) {
    if (burst_) burst_->BeforeWrite();
  }
  ~WriteScope() {
    if (burst_) burst_->AfterWrite();
  }
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

 private:
  WriteBurst* burst_;
};

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + 32 : c; }

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace

MessageStore::MessageStore(Device& device) { status_ = Open(device.image().store_db()); }

MessageStore::MessageStore(const std::filesystem::path& file) { status_ = Open(file); }

MessageStore::~MessageStore() = default;

MessageStore& MessageStore::Of(Device& device) { return device.Component<MessageStore>(); }

Status MessageStore::Open(const std::filesystem::path& file) {
  auto db = sql::Database::Open(file);
  if (!db) return db.error();
  db_ = std::move(*db);
  if (Status s = CreateSchema(); !s) return s;
  burst_ = std::make_unique<WriteBurst>(mutex_, *db_);
  return Status::Ok();
}

Status MessageStore::CreateSchema() {
  // A read-only image's store is as it was made; there is nothing to create.
  if (db_->read_only()) return LoadCatalog();
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = db_->Exec(kSchema); !s) return s;
  int64_t stores = 0;
  {
    sql::Use count(db_->Prepare("SELECT COUNT(*) FROM stores"));
    if (!count->Step()) return DbError(db_->LastError());
    stores = count->Int(0);
  }
  if (stores == 0) {
    if (Status s = db_->Exec(
            "INSERT INTO stores(id, name) VALUES (1, 'SMS');"
            "INSERT INTO folders(store, name, role) VALUES"
            " (1, 'Inbox', 1), (1, 'Sent Items', 2), (1, 'Outbox', 3), (1, 'Deleted Items', 4),"
            " (1, 'Drafts', 0);");
        !s)
      return s;
  }
  if (Status s = t.Commit(); !s) return s;
  return LoadCatalog();
}

Status MessageStore::LoadCatalog() {
  stores_.clear();
  folders_.clear();
  {
    sql::Use q(db_->Prepare("SELECT id, name FROM stores ORDER BY id"));
    while (q->Step()) stores_.push_back(StoreRecord{q->Int(0), q->Text16(1)});
  }
  sql::Use q(db_->Prepare("SELECT id, store, name, role FROM folders ORDER BY id"));
  while (q->Step())
    folders_.push_back(
        FolderRecord{q->Int(0), q->Int(1), q->Text16(2), static_cast<FolderRole>(q->Int(3))});
  if (q->error() != SQLITE_OK) return DbError(db_->LastError());
  return Status::Ok();
}

std::vector<StoreRecord> MessageStore::Stores() {
  std::lock_guard lock(mutex_);
  return stores_;
}

std::optional<StoreRecord> MessageStore::FindStore(int64_t key) {
  std::lock_guard lock(mutex_);
  for (const StoreRecord& s : stores_)
    if (s.key == key) return s;
  return std::nullopt;
}

std::vector<FolderRecord> MessageStore::Folders(int64_t store) {
  std::lock_guard lock(mutex_);
  std::vector<FolderRecord> out;
  for (const FolderRecord& f : folders_)
    if (f.store == store) out.push_back(f);
  return out;
}

std::optional<FolderRecord> MessageStore::FindFolder(int64_t key) {
  std::lock_guard lock(mutex_);
  for (const FolderRecord& f : folders_)
    if (f.key == key) return f;
  return std::nullopt;
}

std::optional<FolderRecord> MessageStore::FolderByRole(int64_t store, FolderRole role) {
  for (FolderRecord& f : Folders(store))
    if (f.role == role) return std::move(f);
  return std::nullopt;
}

std::optional<FolderRecord> MessageStore::FolderByName(int64_t store, std::u16string_view name) {
  for (FolderRecord& f : Folders(store))
    if (EqualsIgnoringCase(f.name, name)) return std::move(f);
  return std::nullopt;
}

Result<int64_t> MessageStore::CreateMessage(int64_t folder, std::span<const Property> props,
                                            std::span<const Recipient> recipients) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  {
    sql::Use q(db_->Prepare("INSERT INTO messages(folder) VALUES (?)"));
    q->Bind(1, folder);
    if (Status s = q->Run(); !s) return Fail("message store: no such folder", MAPI_E_NOT_FOUND);
  }
  const int64_t key = db_->LastInsertId();
  if (Status s = WriteLocked(key, props); !s) return s.error();
  if (Status s = SetRecipientsLocked(key, recipients); !s) return s.error();
  if (Status s = t.Commit(); !s) return DbError(s.error().message);
  return key;
}

Status MessageStore::Exists(int64_t message) {
  sql::Use q(db_->Prepare("SELECT 1 FROM messages WHERE id = ?"));
  q->Bind(1, message);
  if (q->Step()) return Status::Ok();
  return NotFound();
}

Result<int64_t> MessageStore::FolderOf(int64_t message) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  sql::Use q(db_->Prepare("SELECT folder FROM messages WHERE id = ?"));
  q->Bind(1, message);
  if (!q->Step()) return NotFound();
  return q->Int(0);
}

Result<std::vector<Property>> MessageStore::ReadProperties(int64_t message) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  std::vector<Property> out;
  sql::Use q(db_->Prepare("SELECT id, type, value FROM properties WHERE message = ? ORDER BY id"));
  q->Bind(1, message);
  while (q->Step()) out.push_back(ColumnProperty(*q, 0));
  if (q->error() != SQLITE_OK) return DbError(db_->LastError());
  // A message without properties may still exist.
  if (out.empty())
    if (Status s = Exists(message); !s) return s.error();
  return out;
}

Result<std::vector<Property>> MessageStore::ReadPropertiesInFolder(int64_t message, int64_t folder) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  std::vector<Property> out;
  // The left join yields one row with null columns for a message without properties.
  sql::Use q(db_->Prepare(
      "SELECT p.id, p.type, p.value FROM messages m LEFT JOIN properties p ON p.message = m.id"
      " WHERE m.id = ? AND m.folder = ? ORDER BY p.id"));
  q->Bind(1, message).Bind(2, folder);
  bool found = false;
  while (q->Step()) {
    found = true;
    if (q->ColumnType(0) != SQLITE_NULL) out.push_back(ColumnProperty(*q, 0));
  }
  if (q->error() != SQLITE_OK) return DbError(db_->LastError());
  if (!found) return NotFound();
  return out;
}

Result<std::optional<Property>> MessageStore::ReadProperty(int64_t message, uint32_t tag) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  sql::Use q(db_->Prepare("SELECT id, type, value FROM properties WHERE message = ? AND id = ?"));
  q->Bind(1, message).Bind(2, static_cast<int64_t>(PROP_ID(tag)));
  if (q->Step()) return std::optional<Property>(ColumnProperty(*q, 0));
  if (q->error() != SQLITE_OK) return DbError(db_->LastError());
  if (Status s = Exists(message); !s) return s.error();
  return std::optional<Property>();
}

Status MessageStore::WriteLocked(int64_t message, std::span<const Property> props) {
  // Most writes replace a value the message has: an update in place is a single seek and
  // leaves the foreign key alone. Values it does not have yet are inserted.
  sql::Statement& update =
      db_->Prepare("UPDATE properties SET type = ?, value = ? WHERE message = ? AND id = ?");
  sql::Statement& insert =
      db_->Prepare("INSERT INTO properties(message, id, type, value) VALUES (?, ?, ?, ?)");
  for (const Property& p : props) {
    {
      sql::Use use(update);
      update.Bind(1, static_cast<int64_t>(p.type()));
      BindValue(update, 2, p);
      update.Bind(3, message).Bind(4, static_cast<int64_t>(p.id()));
      if (Status s = update.Run(); !s) return DbError(s.error().message);
      if (db_->Changes() > 0) continue;
    }
    sql::Use use(insert);
    insert.Bind(1, message).Bind(2, static_cast<int64_t>(p.id())).Bind(3, static_cast<int64_t>(p.type()));
    BindValue(insert, 4, p);
    if (Status s = insert.Run(); !s) {
      // An insert breaks a constraint when the message is gone (its foreign key).
      if (s.error().code == SQLITE_CONSTRAINT && !Exists(message)) return NotFound();
      return DbError(s.error().message);
    }
  }
  return Status::Ok();
}

Status MessageStore::WriteProperties(int64_t message, std::span<const Property> props) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  // A message that is gone has no values to update and refuses inserts (the foreign key), so
  // only an empty write needs to look first.
  if (props.empty())
    if (Status s = Exists(message); !s) return s;
  if (Status s = WriteLocked(message, props); !s) return s;
  if (Status s = t.Commit(); !s) return s;
  Changed(std::span(&message, 1));
  return Status::Ok();
}

Status MessageStore::DeleteProperties(int64_t message, std::span<const uint32_t> tags) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = Exists(message); !s) return s;
  sql::Statement& q = db_->Prepare("DELETE FROM properties WHERE message = ? AND id = ?");
  for (uint32_t tag : tags) {
    sql::Use use(q);
    q.Bind(1, message).Bind(2, static_cast<int64_t>(PROP_ID(tag)));
    if (Status s = q.Run(); !s) return s;
  }
  if (Status s = t.Commit(); !s) return s;
  Changed(std::span(&message, 1));
  return Status::Ok();
}

Result<std::vector<Recipient>> MessageStore::Recipients(int64_t message) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  if (Status s = Exists(message); !s) return s.error();
  std::vector<Recipient> out;
  sql::Use q(db_->Prepare(
      "SELECT type, address, name FROM recipients WHERE message = ? ORDER BY position"));
  q->Bind(1, message);
  while (q->Step())
    out.push_back(Recipient{static_cast<int32_t>(q->Int(0)), q->Text16(1), q->Text16(2)});
  return out;
}

Status MessageStore::SetRecipientsLocked(int64_t message, std::span<const Recipient> recipients) {
  {
    sql::Use del(db_->Prepare("DELETE FROM recipients WHERE message = ?"));
    del->Bind(1, message);
    if (Status s = del->Run(); !s) return DbError(s.error().message);
  }
  sql::Statement& q = db_->Prepare(
      "INSERT INTO recipients(message, position, type, address, name) VALUES (?, ?, ?, ?, ?)");
  int64_t position = 0;
  for (const Recipient& r : recipients) {
    sql::Use use(q);
    q.Bind(1, message).Bind(2, position++).Bind(3, static_cast<int64_t>(r.type));
    q.Bind(4, std::u16string_view(r.address)).Bind(5, std::u16string_view(r.name));
    if (Status s = q.Run(); !s) return DbError(s.error().message);
  }
  return Status::Ok();
}

Status MessageStore::SetRecipients(int64_t message, std::span<const Recipient> recipients) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = Exists(message); !s) return s;
  if (Status s = SetRecipientsLocked(message, recipients); !s) return s;
  if (Status s = t.Commit(); !s) return s;
  Changed(std::span(&message, 1));
  return Status::Ok();
}

Status MessageStore::CheckInFolder(std::span<const int64_t> messages, int64_t folder) {
  sql::Statement& q = db_->Prepare("SELECT folder FROM messages WHERE id = ?");
  for (int64_t m : messages) {
    sql::Use use(q);
    q.Bind(1, m);
    if (!q.Step() || q.Int(0) != folder) return NotFound();
  }
  return Status::Ok();
}

Status MessageStore::MoveMessages(std::span<const int64_t> messages, int64_t from, int64_t to) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = CheckInFolder(messages, from); !s) return s;
  sql::Statement& q = db_->Prepare("UPDATE messages SET folder = ? WHERE id = ?");
  for (int64_t m : messages) {
    sql::Use use(q);
    q.Bind(1, to).Bind(2, m);
    if (Status s = q.Run(); !s) return Fail("message store: no such folder", MAPI_E_NOT_FOUND);
  }
  if (Status s = t.Commit(); !s) return s;
  Changed(messages);
  return Status::Ok();
}

Result<std::vector<int64_t>> MessageStore::CopyMessages(std::span<const int64_t> messages,
                                                        int64_t from, int64_t to) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = CheckInFolder(messages, from); !s) return s.error();
  std::vector<int64_t> copies;
  for (int64_t m : messages) {
    {
      sql::Use q(db_->Prepare("INSERT INTO messages(folder) VALUES (?)"));
      q->Bind(1, to);
      if (Status s = q->Run(); !s) return Fail("message store: no such folder", MAPI_E_NOT_FOUND);
    }
    const int64_t copy = db_->LastInsertId();
    sql::Use props(db_->Prepare(
        "INSERT INTO properties(message, id, type, value)"
        " SELECT ?, id, type, value FROM properties WHERE message = ?"));
    props->Bind(1, copy).Bind(2, m);
    if (Status s = props->Run(); !s) return DbError(s.error().message);
    sql::Use recips(db_->Prepare(
        "INSERT INTO recipients(message, position, type, address, name)"
        " SELECT ?, position, type, address, name FROM recipients WHERE message = ?"));
    recips->Bind(1, copy).Bind(2, m);
    if (Status s = recips->Run(); !s) return DbError(s.error().message);
    copies.push_back(copy);
  }
  if (Status s = t.Commit(); !s) return s.error();
  return copies;
}

Status MessageStore::DeleteMessages(std::span<const int64_t> messages, int64_t from) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_;
  WriteScope burst(burst_.get());
  sql::Database::Transaction t(*db_);
  if (!t.ok()) return DbError(db_->LastError());
  if (Status s = CheckInFolder(messages, from); !s) return s;
  sql::Statement& q = db_->Prepare("DELETE FROM messages WHERE id = ?");
  for (int64_t m : messages) {
    sql::Use use(q);
    q.Bind(1, m);
    if (Status s = q.Run(); !s) return DbError(s.error().message);
  }
  if (Status s = t.Commit(); !s) return s;
  Changed(messages);
  return Status::Ok();
}

void MessageStore::Changed(std::span<const int64_t> messages) {
  ++generation_;
  for (int64_t m : messages) {
    changes_.emplace_back(generation_, m);
    auto listed = std::lower_bound(listed_.begin(), listed_.end(), m);
    if (listed != listed_.end() && *listed == m) listed_.erase(listed);
  }
  constexpr size_t kKept = 4096;
  while (changes_.size() > kKept) {
    forgotten_ = changes_.front().first;
    changes_.pop_front();
  }
}

int64_t MessageStore::LastChanged() {
  std::lock_guard lock(mutex_);
  return changes_.empty() ? 0 : changes_.back().second;
}

Result<std::vector<MessageStore::Row>> MessageStore::RowsAfter(int64_t folder, int64_t after,
                                                               size_t limit, Version* version,
                                                               std::span<const uint32_t> ids) {
  std::lock_guard lock(mutex_);
  if (!status_) return status_.error();
  const Version now = generation_;
  std::vector<Row> out;
  // All properties of each message in one scan; those not wanted are skipped here, which
  // costs less than a seek for each wanted one.
  sql::Use q(db_->Prepare(
      "SELECT m.id, p.id, p.type, p.value FROM messages m LEFT JOIN properties p ON p.message = m.id"
      " WHERE m.id IN (SELECT id FROM messages WHERE folder = ? AND id > ? ORDER BY id LIMIT ?)"
      " ORDER BY m.id, p.id"));
  q->Bind(1, folder).Bind(2, after).Bind(3, static_cast<int64_t>(limit));
  while (q->Step()) {
    const int64_t key = q->Int(0);
    if (out.empty() || out.back().key != key) out.push_back(Row{key, {}});
    if (q->ColumnType(1) == SQLITE_NULL) continue;
    if (!ids.empty() && !std::binary_search(ids.begin(), ids.end(), static_cast<uint32_t>(q->Int(1))))
      continue;
    out.back().props.push_back(ColumnProperty(*q, 1));
  }
  if (q->error() != SQLITE_OK) return DbError(db_->LastError());
  if (version) *version = now;
  listed_.clear();
  for (const Row& row : out) listed_.push_back(row.key);
  listed_folder_ = folder;
  return out;
}

Result<int64_t> MessageStore::FolderOfListed(int64_t message) {
  {
    std::lock_guard lock(mutex_);
    // Changed() takes out every listed message a call changes.
    if (status_ && std::binary_search(listed_.begin(), listed_.end(), message)) return listed_folder_;
  }
  return FolderOf(message);
}

bool MessageStore::Unchanged(Version& version, std::span<const int64_t> keys) {
  std::lock_guard lock(mutex_);
  if (!status_) return false;
  if (version != generation_) {
    if (forgotten_ > version) return false;
    // Newest changes are at the back; only those after `version` matter.
    for (auto it = changes_.rbegin(); it != changes_.rend() && it->first > version; ++it)
      if (std::binary_search(keys.begin(), keys.end(), it->second)) return false;
  }
  version = generation_;
  return true;
}

std::vector<int64_t> MessageStore::MessagesAfter(int64_t folder, int64_t after, size_t limit) {
  std::lock_guard lock(mutex_);
  std::vector<int64_t> out;
  if (!status_) return out;
  sql::Use q(db_->Prepare(
      "SELECT id FROM messages WHERE folder = ? AND id > ? ORDER BY id LIMIT ?"));
  q->Bind(1, folder).Bind(2, after).Bind(3, static_cast<int64_t>(limit));
  while (q->Step()) out.push_back(q->Int(0));
  return out;
}

int64_t MessageStore::CountMessages(int64_t folder) {
  std::lock_guard lock(mutex_);
  if (!status_) return 0;
  sql::Use q(db_->Prepare("SELECT COUNT(*) FROM messages WHERE folder = ?"));
  q->Bind(1, folder);
  return q->Step() ? q->Int(0) : 0;
}

int64_t MessageStore::CountUpTo(int64_t folder, int64_t key) {
  std::lock_guard lock(mutex_);
  if (!status_) return 0;
  sql::Use q(db_->Prepare("SELECT COUNT(*) FROM messages WHERE folder = ? AND id <= ?"));
  q->Bind(1, folder).Bind(2, key);
  return q->Step() ? q->Int(0) : 0;
}

int64_t MessageStore::KeyAtOffset(int64_t folder, int64_t offset) {
  std::lock_guard lock(mutex_);
  if (!status_ || offset < 0) return 0;
  sql::Use q(db_->Prepare("SELECT id FROM messages WHERE folder = ? ORDER BY id LIMIT 1 OFFSET ?"));
  q->Bind(1, folder).Bind(2, offset);
  return q->Step() ? q->Int(0) : 0;
}

int64_t MessageStore::CountUnread(int64_t folder) {
  std::lock_guard lock(mutex_);
  if (!status_) return 0;
  // A message without PR_MESSAGE_FLAGS has never been read.
  sql::Use q(db_->Prepare(
      "SELECT COUNT(*) FROM messages m LEFT JOIN properties p"
      " ON p.message = m.id AND p.id = 0x0E07"
      " WHERE m.folder = ? AND (p.value IS NULL OR (p.value & 1) = 0)"));
  q->Bind(1, folder);
  return q->Step() ? q->Int(0) : 0;
}

}  // namespace pellix::device::store
