// Text and identifiers the message and contact stores take from outside: entry
// identifiers, ISO times (pellix-device store add --time) and telephone numbers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "contacts/contact_store.h"
#include "store/entry_id.h"
#include "store/sms_delivery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace pellix::device;
  if (auto ref = store::ParseEntryId(data, size)) {
    // Whatever parses must come back byte for byte from its parts.
    auto again = store::MakeEntryId(ref->kind, ref->key);
    auto parsed = store::ParseEntryId(again.data(), again.size());
    if (!parsed || parsed->key != ref->key || parsed->kind != ref->kind) __builtin_trap();
  }
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto t = store::ParseIsoTime(text)) {
    auto formatted = store::FormatIsoTime(*t);
    if (store::ParseIsoTime(formatted) != t) __builtin_trap();
  }
  std::u16string number(size / 2, u'\0');
  for (size_t i = 0; i + 1 < size; i += 2) number[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const std::u16string key = contacts::NumberKey(number);
  if (!key.empty() && contacts::NumberKey(key) != key) __builtin_trap();  // keys are fixed points
  return 0;
}
