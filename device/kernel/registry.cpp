#include "kernel/registry.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "kernel/device.h"
#include "kernel/image_database.h"

namespace pellix::device {

namespace {

constexpr const char* kSchema = R"sql(
  PRAGMA journal_mode = WAL;
  PRAGMA synchronous = NORMAL;
  CREATE TABLE IF NOT EXISTS keys(
    id INTEGER PRIMARY KEY, root INTEGER NOT NULL, path TEXT NOT NULL, folded TEXT NOT NULL,
    UNIQUE(root, folded));
  CREATE TABLE IF NOT EXISTS reg_values(
    id INTEGER PRIMARY KEY, root INTEGER NOT NULL, key_folded TEXT NOT NULL,
    name TEXT NOT NULL, folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB,
    UNIQUE(root, key_folded, folded));
)sql";

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  bool ok() const { return stmt_ != nullptr; }
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& Bind(int i, std::u16string_view text) {
    std::string utf8 = Utf16ToUtf8(text);
    sqlite3_bind_text(stmt_, i, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& BindBlob(int i, const std::vector<uint8_t>& data) {
    sqlite3_bind_blob(stmt_, i, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  std::u16string Text(int col) {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? Utf8ToUtf16(std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))))
             : std::u16string();
  }
  int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
  std::vector<uint8_t> Blob(int col) {
    auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, col));
    int n = sqlite3_column_bytes(stmt_, col);
    return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

std::u16string Parent(const std::u16string& path) {
  size_t slash = path.rfind(u'\\');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash);
}

}  // namespace

std::u16string Registry::Fold(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
  }
  return out;
}

std::u16string Registry::NormalizePath(std::u16string_view path) {
  std::u16string out;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(u'\\', pos);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > pos) {
      if (!out.empty()) out += u'\\';
      out.append(path.substr(pos, end - pos));
    }
    pos = end + 1;
  }
  return out;
}

Registry::Registry(Device& device) { Open(device.image().registry_db().string()); }
Registry::Registry(const std::string& database_path) { Open(database_path); }

Registry::~Registry() {
  sqlite3_finalize(data_version_);
  sqlite3_close(db_);  // also unmaps the WAL index that shm_header_ points into
}

void Registry::Open(const std::string& database_path) {
  auto opened = OpenImageDatabase(database_path, SQLITE_OPEN_FULLMUTEX, 5000);
  if (!opened) {
    open_error_ = opened.error().message;
    return;
  }
  db_ = opened->db;
  read_only_ = opened->read_only;
  if (!read_only_) {
    if (Status s = Exec(kSchema); !s) {
      open_error_ = database_path + ": " + s.error().message;
      return;
    }
  }
  // A damaged file may still have a readable first page; the whole check reads every page,
  // which for a registry costs well under a millisecond.
  {
    Statement check(db_, "PRAGMA quick_check");
    const int rc = check.Step();
    const std::u16string verdict = rc == SQLITE_ROW ? check.Text(0) : u"";
    if (rc != SQLITE_ROW || verdict != u"ok") {
      open_error_ = database_path + ": " + (rc == SQLITE_ROW ? Utf16ToUtf8(verdict) : sqlite3_errmsg(db_));
      return;
    }
  }
  sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &data_version_, nullptr);
  // The WAL index as SQLite itself maps it. Mapping the "-shm" file a second time would need a
  // descriptor of our own, and closing that would drop SQLite's locks on the file (POSIX locks
  // belong to the process and go with any descriptor of the file), letting another process
  // reset the index under both mappings.
  sqlite3_file* file = nullptr;
  if (!read_only_ && sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file &&
      file->pMethods && file->pMethods->iVersion >= 2 && file->pMethods->xShmMap) {
    volatile void* region = nullptr;
    if (file->pMethods->xShmMap(file, 0, 32 * 1024, 0, &region) == SQLITE_OK && region)
      shm_header_ = static_cast<const volatile unsigned char*>(region);
  }
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  if (!load_error_.empty()) open_error_ = database_path + ": " + load_error_;
}

Status Registry::Exec(const char* sql) {
  if (!db_) return Fail("registry is not open", 1009 /* ERROR_BADDB */);
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "sqlite error";
    sqlite3_free(message);
    return Fail(text, 1013 /* ERROR_CANTWRITE */);
  }
  return Status::Ok();
}

void Registry::RefreshIfChanged() {
  if (!data_version_) return;
  if (shm_header_) {
    unsigned char header[sizeof seen_header_];
    for (size_t i = 0; i < sizeof header; ++i) header[i] = shm_header_[i];
    if (std::memcmp(header, seen_header_, sizeof header) == 0) return;
    std::memcpy(seen_header_, header, sizeof header);
  }
  int64_t version = -1;
  if (sqlite3_step(data_version_) == SQLITE_ROW) version = sqlite3_column_int64(data_version_, 0);
  sqlite3_reset(data_version_);
  if (version != seen_version_) {
    seen_version_ = version;
    Reload();
  }
}

void Registry::Reload() {
  load_error_.clear();
  keys_.clear();
  next_order_ = 0;
  Statement keys(db_, "SELECT root, path FROM keys ORDER BY id");
  int rc;
  while ((rc = keys.Step()) == SQLITE_ROW) {
    auto root = static_cast<uint32_t>(keys.Int(0));
    std::u16string path = keys.Text(1);
    keys_[{root, Fold(path)}] = Key{path, next_order_++, {}};
  }
  if (rc != SQLITE_DONE) load_error_ = sqlite3_errmsg(db_);
  Statement values(db_, "SELECT root, key_folded, name, type, data FROM reg_values ORDER BY id");
  while ((rc = values.Step()) == SQLITE_ROW) {
    auto root = static_cast<uint32_t>(values.Int(0));
    auto it = keys_.find({root, values.Text(1)});
    if (it == keys_.end()) continue;
    std::u16string name = values.Text(2);
    std::u16string folded = Fold(name);
    it->second.values.push_back(Key::Stored{
        std::move(folded), RegistryValue{std::move(name), static_cast<uint32_t>(values.Int(3)), values.Blob(4)}});
  }
  if (rc != SQLITE_DONE && load_error_.empty()) load_error_ = sqlite3_errmsg(db_);
}

Registry::Key* Registry::FindKey(RegistryRoot root, std::u16string_view normalized) {
  static Key root_key;  // roots always exist and hold no values of their own here
  auto it = keys_.find({static_cast<uint32_t>(root), Fold(normalized)});
  if (it != keys_.end()) return &it->second;
  return normalized.empty() ? &root_key : nullptr;
}

bool Registry::KeyExists(RegistryRoot root, std::u16string_view path) {
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  return FindKey(root, NormalizePath(path)) != nullptr;
}

Status Registry::CreateKeyLocked(RegistryRoot root, const std::u16string& path, bool* created) {
  if (created) *created = false;
  if (path.empty() || FindKey(root, path)) return Status::Ok();
  if (Status s = CreateKeyLocked(root, Parent(path), nullptr); !s) return s;
  Statement insert(db_, "INSERT OR IGNORE INTO keys(root, path, folded) VALUES(?, ?, ?)");
  insert.Bind(1, static_cast<int64_t>(root)).Bind(2, path).Bind(3, Fold(path));
  if (insert.Step() != SQLITE_DONE) return Fail(sqlite3_errmsg(db_), 1013);
  keys_[{static_cast<uint32_t>(root), Fold(path)}] = Key{path, next_order_++, {}};
  if (created) *created = true;
  return Status::Ok();
}

Status Registry::CreateKey(RegistryRoot root, std::u16string_view path, bool* created) {
  std::u16string normalized = NormalizePath(path);
  for (size_t pos = 0, end; pos < normalized.size(); pos = end + 1) {
    end = normalized.find(u'\\', pos);
    if (end == std::u16string::npos) end = normalized.size();
    if (end - pos > 255) return Fail("key name too long", 87 /* ERROR_INVALID_PARAMETER */);
  }
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  if (Status s = Exec("BEGIN IMMEDIATE"); !s) return s;
  Status s = CreateKeyLocked(root, normalized, created);
  if (!s) {
    (void)Exec("ROLLBACK");
    Reload();
    return s;
  }
  return Exec("COMMIT");
}

Status Registry::DeleteKey(RegistryRoot root, std::u16string_view path) {
  std::u16string normalized = NormalizePath(path);
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  if (normalized.empty()) return Fail("a root cannot be deleted", 5 /* ERROR_ACCESS_DENIED */);
  if (!FindKey(root, normalized)) return Fail("no such key", 2 /* ERROR_FILE_NOT_FOUND */);
  std::u16string folded = Fold(normalized);
  std::u16string prefix = folded + u'\\';
  if (Status s = Exec("BEGIN IMMEDIATE"); !s) return s;
  Statement keys(db_,
                 "DELETE FROM keys WHERE root = ?1 AND (folded = ?2 OR substr(folded, 1, length(?3)) = ?3)");
  keys.Bind(1, static_cast<int64_t>(root)).Bind(2, folded).Bind(3, prefix);
  Statement values(db_,
                   "DELETE FROM reg_values WHERE root = ?1 AND "
                   "(key_folded = ?2 OR substr(key_folded, 1, length(?3)) = ?3)");
  values.Bind(1, static_cast<int64_t>(root)).Bind(2, folded).Bind(3, prefix);
  if (keys.Step() != SQLITE_DONE || values.Step() != SQLITE_DONE) {
    (void)Exec("ROLLBACK");
    return Fail(sqlite3_errmsg(db_), 1013);
  }
  if (Status s = Exec("COMMIT"); !s) return s;
  for (auto it = keys_.begin(); it != keys_.end();) {
    bool below = it->first.first == static_cast<uint32_t>(root) &&
                 (it->first.second == folded || it->first.second.rfind(prefix, 0) == 0);
    it = below ? keys_.erase(it) : std::next(it);
  }
  return Status::Ok();
}

std::optional<RegistryValue> Registry::GetValue(RegistryRoot root, std::u16string_view path,
                                                std::u16string_view name) {
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  Key* key = FindKey(root, NormalizePath(path));
  if (!key) return std::nullopt;
  std::u16string folded = Fold(name);
  for (const Key::Stored& v : key->values)
    if (v.folded == folded) return v.value;
  return std::nullopt;
}

namespace {
bool EqualsFolded(std::u16string_view folded, std::u16string_view name) {
  if (folded.size() != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c = static_cast<char16_t>(c + 32);
    if (c != folded[i]) return false;
  }
  return true;
}
}  // namespace

Registry::ValueRead Registry::ReadValue(RegistryRoot root, const std::u16string& folded_path,
                                        std::u16string_view name, uint8_t* buffer, size_t capacity) {
  ValueRead read;
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  auto it = keys_.find({static_cast<uint32_t>(root), folded_path});
  if (it == keys_.end()) {
    read.key_found = folded_path.empty();
    return read;
  }
  read.key_found = true;
  for (const Key::Stored& v : it->second.values) {
    if (!EqualsFolded(v.folded, name)) continue;
    read.value_found = true;
    read.type = v.value.type;
    read.size = v.value.data.size();
    if (buffer && read.size <= capacity && read.size) std::memcpy(buffer, v.value.data.data(), read.size);
    break;
  }
  return read;
}

Status Registry::SetValue(RegistryRoot root, std::u16string_view path, const RegistryValue& value) {
  std::u16string normalized = NormalizePath(path);
  if (value.name.size() > 255) return Fail("value name too long", 87);
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  Key* key = FindKey(root, normalized);
  if (!key || normalized.empty()) return Fail("no such key", 2);
  std::u16string folded_key = Fold(normalized), folded_name = Fold(value.name);
  // Writing what is stored already changes nothing, so the database is left alone: a module
  // that restates its values each time it loads does not rewrite the image.
  for (const Key::Stored& v : key->values)
    if (!read_only_ && v.folded == folded_name && v.value.type == value.type && v.value.data == value.data)
      return Status::Ok();
  Statement upsert(db_,
                   "INSERT INTO reg_values(root, key_folded, name, folded, type, data) "
                   "VALUES(?, ?, ?, ?, ?, ?) ON CONFLICT(root, key_folded, folded) "
                   "DO UPDATE SET type = excluded.type, data = excluded.data");
  upsert.Bind(1, static_cast<int64_t>(root)).Bind(2, folded_key).Bind(3, value.name).Bind(4, folded_name);
  upsert.Bind(5, value.type).BindBlob(6, value.data);
  if (upsert.Step() != SQLITE_DONE) return Fail(sqlite3_errmsg(db_), 1013);
  for (Key::Stored& v : key->values) {
    if (v.folded == folded_name) {
      v.value.type = value.type;  // the name keeps the spelling it was created with
      v.value.data = value.data;
      return Status::Ok();
    }
  }
  key->values.push_back(Key::Stored{folded_name, value});
  return Status::Ok();
}

Status Registry::DeleteValue(RegistryRoot root, std::u16string_view path, std::u16string_view name) {
  std::u16string normalized = NormalizePath(path);
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  Key* key = FindKey(root, normalized);
  if (!key) return Fail("no such key", 2);
  std::u16string folded_name = Fold(name);
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const Key::Stored& v) { return v.folded == folded_name; });
  if (it == key->values.end()) return Fail("no such value", 2);
  Statement remove(db_, "DELETE FROM reg_values WHERE root = ? AND key_folded = ? AND folded = ?");
  remove.Bind(1, static_cast<int64_t>(root)).Bind(2, Fold(normalized)).Bind(3, folded_name);
  if (remove.Step() != SQLITE_DONE) return Fail(sqlite3_errmsg(db_), 1013);
  key->values.erase(it);
  return Status::Ok();
}

std::optional<std::vector<std::u16string>> Registry::SubKeys(RegistryRoot root,
                                                            std::u16string_view path) {
  std::u16string normalized = NormalizePath(path);
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  if (!FindKey(root, normalized)) return std::nullopt;
  std::u16string prefix = normalized.empty() ? std::u16string() : Fold(normalized) + u'\\';
  std::vector<std::pair<uint64_t, std::u16string>> found;
  for (const auto& [id, key] : keys_) {
    if (id.first != static_cast<uint32_t>(root) || id.second.rfind(prefix, 0) != 0) continue;
    std::u16string rest = key.path.substr(prefix.size());
    if (rest.empty() || rest.find(u'\\') != std::u16string::npos) continue;
    found.emplace_back(key.order, rest);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::u16string> names;
  for (auto& f : found) names.push_back(std::move(f.second));
  return names;
}

std::optional<std::vector<RegistryValue>> Registry::Values(RegistryRoot root, std::u16string_view path) {
  std::lock_guard lock(mutex_);
  RefreshIfChanged();
  Key* key = FindKey(root, NormalizePath(path));
  if (!key) return std::nullopt;
  std::vector<RegistryValue> values;
  for (const Key::Stored& v : key->values) values.push_back(v.value);
  return values;
}

}  // namespace pellix::device
