#include "store/entry_id.h"

#include <cstring>

namespace pellix::device::store {
namespace {

constexpr uint8_t kProvider[16] = {0x50, 0x4C, 0x58, 0x53, 0x4D, 0x53, 0x47, 0x53,
                                   0x9A, 0x61, 0x2E, 0x07, 0xC4, 0x1B, 0x77, 0xE2};

void PutLe(uint8_t* out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint64_t GetLe(const uint8_t* in, int bytes) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(in[i]) << (8 * i);
  return v;
}

}  // namespace

std::vector<uint8_t> MakeEntryId(EntryKind kind, int64_t key) {
  std::vector<uint8_t> id(kEntryIdSize, 0);
  std::memcpy(id.data() + 4, kProvider, sizeof kProvider);
  PutLe(id.data() + 20, static_cast<uint32_t>(kind), 4);
  PutLe(id.data() + 24, static_cast<uint64_t>(key), 8);
  return id;
}

std::optional<EntryRef> ParseEntryId(const void* bytes, size_t size) {
  if (bytes == nullptr || size != kEntryIdSize) return std::nullopt;
  const auto* p = static_cast<const uint8_t*>(bytes);
  if (std::memcmp(p + 4, kProvider, sizeof kProvider) != 0) return std::nullopt;
  const uint64_t kind = GetLe(p + 20, 4);
  if (kind < 1 || kind > 3) return std::nullopt;
  const auto key = static_cast<int64_t>(GetLe(p + 24, 8));
  if (key <= 0) return std::nullopt;
  return EntryRef{static_cast<EntryKind>(kind), key};
}

}  // namespace pellix::device::store
