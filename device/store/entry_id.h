// Entry identifiers of the message store. To callers they are opaque byte strings; inside,
// each names a store, a folder or a message by its database key:
//
//   4 bytes flags (0) | 16 bytes provider id | 4 bytes kind | 8 bytes key, little-endian
//
// Message keys are never reused, so the identifier of a deleted message never opens another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace pellix::device::store {

enum class EntryKind : uint32_t { kStore = 1, kFolder = 2, kMessage = 3 };

struct EntryRef {
  EntryKind kind;
  int64_t key;
};

inline constexpr size_t kEntryIdSize = 32;

std::vector<uint8_t> MakeEntryId(EntryKind kind, int64_t key);
// Null for anything that is not one of this store's identifiers.
std::optional<EntryRef> ParseEntryId(const void* bytes, size_t size);

}  // namespace pellix::device::store
