// A thin RAII layer over SQLite for the device's databases (message store, contact store).
//
// A Database is one connection. It is not itself thread-safe: its owner serialises access
// (the stores hold a mutex around every use). Statements are prepared once and cached by
// their text, so hot paths pay for binding and stepping only.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "kernel/result.h"

namespace pellix::device::sql {

class Statement {
 public:
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  // Parameters are numbered from 1, as in SQL.
  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::u16string_view text);
  Statement& BindText(int index, std::string_view utf8);
  Statement& BindBlob(int index, std::span<const uint8_t> bytes);
  Statement& BindNull(int index);

  // Steps once: true when a row is ready, false when done. Errors are kept in `error()`.
  bool Step();
  // Steps to the end; the result of the whole run.
  Status Run();
  // Resets for the next use and clears the bindings.
  void Reset();

  int ColumnType(int column) const { return sqlite3_column_type(stmt_, column); }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  double Real(int column) const { return sqlite3_column_double(stmt_, column); }
  std::u16string Text16(int column) const;
  std::string Text(int column) const;
  std::span<const uint8_t> Blob(int column) const;

  int error() const { return error_; }

 private:
  sqlite3_stmt* stmt_;
  int error_ = SQLITE_OK;
};

// Resets a cached statement when the scope ends, whatever way it ends.
class Use {
 public:
  explicit Use(Statement& s) : s_(s) {}
  ~Use() { s_.Reset(); }
  Statement* operator->() { return &s_; }
  Statement& operator*() { return s_; }

 private:
  Statement& s_;
};

class Database {
 public:
  // Opens (creating when missing) in WAL mode, so other processes may read while this one
  // writes; waits up to `busy_ms` for another writer. An image that cannot be written is
  // opened read-only (read_only()); a file that is not a database is refused, by name.
  static Result<std::unique_ptr<Database>> Open(const std::filesystem::path& file,
                                                int busy_ms = 5000);
  ~Database();

  // Runs one or more statements without results.
  Status Exec(const char* sql);
  // A cached prepared statement; `sql` must be a string literal or otherwise outlive the
  // database. Aborts on a statement that does not compile (a programming error).
  Statement& Prepare(const char* sql);
  int64_t LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
  int Changes() const { return sqlite3_changes(db_); }
  std::string LastError() const { return sqlite3_errmsg(db_); }
  bool read_only() const { return read_only_; }
  // How long a statement waits for another connection's lock before it fails busy.
  void SetBusyTimeout(int ms);

  // BEGIN IMMEDIATE ... COMMIT, rolled back unless Commit succeeds.
  class Transaction {
   public:
    explicit Transaction(Database& db);
    ~Transaction();
    bool ok() const { return begun_; }
    Status Commit();

   private:
    Database& db_;
    bool begun_ = false;
    bool done_ = false;
  };

 private:
  explicit Database(sqlite3* db) : db_(db) {}

  sqlite3* db_;
  bool read_only_ = false;
  std::unordered_map<const char*, std::unique_ptr<Statement>> cache_;
};

}  // namespace pellix::device::sql
