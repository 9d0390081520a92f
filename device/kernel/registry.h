// The registry engine: keys and values in the image's registry.db (SQLite), served from an
// in-memory copy. Before each read the copy is checked against the database, so a change
// another process made to the same image (pellix-device reg set while a device runs) is seen at
// the next read. The check reads the header of the WAL index, which every commit rewrites,
// through SQLite's own mapping of it (no system call); only when that header moved does it ask SQLite for
// the data version, which costs a read transaction. Writes go to the database first, in a transaction, then to the copy.
// Thread-safe: one lock guards the connection and the copy.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kernel/result.h"

struct sqlite3;
struct sqlite3_stmt;

namespace pellix::device {

class Device;

enum class RegistryRoot : uint32_t { kClassesRoot = 0, kCurrentUser = 1, kLocalMachine = 2, kUsers = 3 };

struct RegistryValue {
  std::u16string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class Registry {
 public:
  explicit Registry(Device& device);
  // A registry on an explicit database file (for the tool, without a booted device).
  explicit Registry(const std::string& database_path);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // Why the database could not be opened or read, naming the file; empty when it is healthy.
  const std::string& open_error() const { return open_error_; }
  // True when the image cannot be written: reads work, every write fails.
  bool read_only() const { return read_only_; }

  // Paths are key names separated by backslashes ("Software\\Pellix"); empty is the root.
  bool KeyExists(RegistryRoot root, std::u16string_view path);
  // Creates the key and any missing parents; reports whether the key itself was new.
  Status CreateKey(RegistryRoot root, std::u16string_view path, bool* created = nullptr);
  // Deletes the key and every key below it. Fails for a missing key or a root.
  Status DeleteKey(RegistryRoot root, std::u16string_view path);
  std::optional<RegistryValue> GetValue(RegistryRoot root, std::u16string_view path,
                                        std::u16string_view name);
  // RegQueryValueExW's read without copies: `folded_path` is a normalized, folded key path.
  // Copies the data into `buffer` only when it fits `capacity` (and `buffer` is not null).
  struct ValueRead {
    bool key_found = false;
    bool value_found = false;
    uint32_t type = 0;
    size_t size = 0;
  };
  ValueRead ReadValue(RegistryRoot root, const std::u16string& folded_path, std::u16string_view name,
                      uint8_t* buffer, size_t capacity);
  // The key must exist.
  Status SetValue(RegistryRoot root, std::u16string_view path, const RegistryValue& value);
  Status DeleteValue(RegistryRoot root, std::u16string_view path, std::u16string_view name);
  // Direct subkey names and values, in the order they were created.
  std::optional<std::vector<std::u16string>> SubKeys(RegistryRoot root, std::u16string_view path);
  std::optional<std::vector<RegistryValue>> Values(RegistryRoot root, std::u16string_view path);

  // Splits and re-joins a path: drops empty components, so "\\A\\\\B\\" is "A\\B".
  static std::u16string NormalizePath(std::u16string_view path);
  static std::u16string Fold(std::u16string_view text);

 private:
  struct Key {
    std::u16string path;  // as first written
    uint64_t order = 0;
    struct Stored {
      std::u16string folded;  // the name, folded once
      RegistryValue value;
    };
    std::vector<Stored> values;  // in creation order
  };
  using KeyId = std::pair<uint32_t, std::u16string>;  // root, folded path

  void Open(const std::string& database_path);
  void RefreshIfChanged();  // REQUIRES: mutex_ held
  void Reload();            // REQUIRES: mutex_ held
  Key* FindKey(RegistryRoot root, std::u16string_view normalized);  // REQUIRES: mutex_ held
  Status Exec(const char* sql);
  Status CreateKeyLocked(RegistryRoot root, const std::u16string& path, bool* created);

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* data_version_ = nullptr;
  int64_t seen_version_ = -1;
  const volatile unsigned char* shm_header_ = nullptr;  // SQLite's own mapping of the WAL index
  bool read_only_ = false;
  std::string load_error_;  // set by Reload when the database could not be read whole
  unsigned char seen_header_[48] = {};
  std::string open_error_;
  std::map<KeyId, Key> keys_;
  uint64_t next_order_ = 0;
};

}  // namespace pellix::device
