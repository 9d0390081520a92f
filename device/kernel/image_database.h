// Opening one of an image's SQLite databases (registry.db, store.db, contacts.db) the same way
// everywhere: read-write in WAL mode when the image can be written, read-only (changing nothing,
// not even the WAL index) when it cannot, and refused with the file named when it is not a
// database at all.
#pragma once

#include <filesystem>

#include "kernel/result.h"

struct sqlite3;

namespace pellix::device {

struct ImageDatabase {
  sqlite3* db = nullptr;  // owned by the caller: sqlite3_close
  bool read_only = false;
};

// `flags` adds threading flags (SQLITE_OPEN_FULLMUTEX or SQLITE_OPEN_NOMUTEX). A missing file
// is created in a writable folder. The error names the file: "PATH: file is not a database".
Result<ImageDatabase> OpenImageDatabase(const std::filesystem::path& file, int flags, int busy_ms);

}  // namespace pellix::device
