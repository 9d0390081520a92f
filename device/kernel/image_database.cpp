#include "kernel/image_database.h"

#include <sqlite3.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace pellix::device {
namespace {

void Close(sqlite3*& db) {
  sqlite3_close(db);
  db = nullptr;
}

// The first read of a connection: it reads the header and the schema, so a file that is not a
// database, or one cut short, fails here rather than at some later query.
int Probe(sqlite3* db) {
  return sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

Error Named(const fs::path& file, sqlite3* db, int rc) {
  return Fail(file.string() + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)), rc);
}

}  // namespace

Result<ImageDatabase> OpenImageDatabase(const fs::path& file, int flags, int busy_ms) {
  std::error_code ec;
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  const bool exists = fs::exists(file, ec);
  if (exists && !fs::is_regular_file(file, ec)) return Fail(file.string() + ": not a regular file");
  // WAL mode writes the -wal and -shm files beside the database, so writing needs the folder too.
  const bool writable = access(folder.c_str(), W_OK) == 0 && (!exists || access(file.c_str(), W_OK) == 0);
  ImageDatabase out;
  if (writable) {
    int rc = sqlite3_open_v2(file.c_str(), &out.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | flags, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_busy_timeout(out.db, busy_ms);
      rc = Probe(out.db);
    }
    if (rc != SQLITE_OK) {
      Error e = Named(file, out.db, rc);
      Close(out.db);
      return e;
    }
    return out;
  }
  if (!exists) return Fail(file.string() + ": missing, and the image cannot be written");
  out.read_only = true;
  int rc = sqlite3_open_v2(file.c_str(), &out.db, SQLITE_OPEN_READONLY | flags, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(out.db, busy_ms);
    rc = Probe(out.db);
  }
  if (rc == SQLITE_CANTOPEN || rc == SQLITE_READONLY) {
    // A WAL database needs its index file, which a read-only folder may not hold. When no
    // unmerged log is left (the last writer merged it on closing), the file alone is the whole
    // database and nobody can change it, so it is read as immutable.
    Close(out.db);
    const fs::path wal = file.string() + "-wal";
    if (fs::exists(wal, ec) && fs::file_size(wal, ec) > 0)
      return Fail(file.string() + ": cannot be read without writing its folder (unmerged changes in " +
                  wal.string() + ")");
    std::string uri = "file:";
    for (char c : fs::absolute(file, ec).string()) {
      if (c == '?' || c == '#' || c == '%') {
        static const char hex[] = "0123456789ABCDEF";
        uri += '%';
        uri += hex[static_cast<unsigned char>(c) >> 4];
        uri += hex[c & 15];
      } else {
        uri += c;
      }
    }
    uri += "?immutable=1";
    rc = sqlite3_open_v2(uri.c_str(), &out.db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | flags, nullptr);
    if (rc == SQLITE_OK) rc = Probe(out.db);
  }
  if (rc != SQLITE_OK) {
    Error e = Named(file, out.db, rc);
    Close(out.db);
    return e;
  }
  return out;
}

}  // namespace pellix::device
