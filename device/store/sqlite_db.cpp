#include "store/sqlite_db.h"

#include "kernel/image_database.h"

#include <cstdio>
#include <cstdlib>

namespace pellix::device::sql {

Statement& Statement::Bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  sqlite3_bind_double(stmt_, index, value);
  return *this;
}

Statement& Statement::Bind(int index, std::u16string_view text) {
  // An empty view may have a null data pointer, which SQLite would store as NULL.
  static const char16_t kEmpty[1] = {0};
  sqlite3_bind_text16(stmt_, index, text.empty() ? kEmpty : text.data(),
                      static_cast<int>(text.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindText(int index, std::string_view utf8) {
  sqlite3_bind_text(stmt_, index, utf8.empty() ? "" : utf8.data(), static_cast<int>(utf8.size()),
                    SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindBlob(int index, std::span<const uint8_t> bytes) {
  static const uint8_t kEmpty[1] = {0};
  sqlite3_bind_blob(stmt_, index, bytes.empty() ? kEmpty : bytes.data(),
                    static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc != SQLITE_DONE) error_ = rc;
  return false;
}

Status Statement::Run() {
  while (Step()) {
  }
  if (error_ != SQLITE_OK)
    return Fail(std::string("database: ") + sqlite3_errstr(error_), error_);
  return Status::Ok();
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  error_ = SQLITE_OK;
}

std::u16string Statement::Text16(int column) const {
  const void* p = sqlite3_column_text16(stmt_, column);
  int bytes = sqlite3_column_bytes16(stmt_, column);
  if (p == nullptr) return {};
  return std::u16string(static_cast<const char16_t*>(p), static_cast<size_t>(bytes) / 2);
}

std::string Statement::Text(int column) const {
  const unsigned char* p = sqlite3_column_text(stmt_, column);
  int bytes = sqlite3_column_bytes(stmt_, column);
  if (p == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(bytes));
}

std::span<const uint8_t> Statement::Blob(int column) const {
  const void* p = sqlite3_column_blob(stmt_, column);
  int bytes = sqlite3_column_bytes(stmt_, column);
  if (p == nullptr) return {};
  return {static_cast<const uint8_t*>(p), static_cast<size_t>(bytes)};
}

Result<std::unique_ptr<Database>> Database::Open(const std::filesystem::path& file, int busy_ms) {
  auto opened = OpenImageDatabase(file, SQLITE_OPEN_NOMUTEX, busy_ms);
  if (!opened) return opened.error();
  std::unique_ptr<Database> db(new Database(opened->db));
  db->read_only_ = opened->read_only;
  if (db->read_only_) return db;
  // Strings are UTF-16 on the device: storing them so keeps every code unit as written.
  // Small pages keep the bytes written per commit low: every property write is a commit.
  if (Status s = db->Exec("PRAGMA page_size = 1024;"
                          "PRAGMA encoding = 'UTF-16le';"
                          "PRAGMA journal_mode = WAL;"
                          "PRAGMA synchronous = NORMAL;"
                          "PRAGMA foreign_keys = ON;");
      !s)
    return Fail(file.string() + ": " + s.error().message, s.error().code);
  return db;
}

Database::~Database() {
  cache_.clear();  // statements before the connection
  sqlite3_close(db_);
}

void Database::SetBusyTimeout(int ms) { sqlite3_busy_timeout(db_, ms); }

Status Database::Exec(const char* sql) {
  char* message = nullptr;
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
  if (rc == SQLITE_OK) return Status::Ok();
  std::string why = message ? message : sqlite3_errstr(rc);
  sqlite3_free(message);
  return Fail("database: " + why, rc);
}

Statement& Database::Prepare(const char* sql) {
  auto it = cache_.find(sql);
  if (it != cache_.end()) return *it->second;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "pellix device: bad statement %s: %s\n", sql, sqlite3_errmsg(db_));
    std::abort();
  }
  auto& slot = cache_[sql];
  slot = std::make_unique<Statement>(stmt);
  return *slot;
}

// Transaction statements are prepared once: parsing them again costs as much as a small write.
Database::Transaction::Transaction(Database& db) : db_(db) {
  Use begin(db_.Prepare("BEGIN IMMEDIATE"));
  begun_ = begin->Run().ok();
}

Database::Transaction::~Transaction() {
  if (begun_ && !done_) {
    Use rollback(db_.Prepare("ROLLBACK"));
    rollback->Run().ok();
  }
}

Status Database::Transaction::Commit() {
  if (!begun_) return Fail("database: no transaction");
  done_ = true;
  Status s;
  {
    Use commit(db_.Prepare("COMMIT"));
    s = commit->Run();
  }
  if (!s) {
    Use rollback(db_.Prepare("ROLLBACK"));
    rollback->Run().ok();
  }
  return s;
}

}  // namespace pellix::device::sql
