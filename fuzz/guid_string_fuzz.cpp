// GUID text as the registry and class registrations hold it.
#include <objbase.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<OLECHAR> text(size / 2 + 1, 0);
  for (size_t i = 0; i + 1 < size; i += 2) text[i / 2] = static_cast<OLECHAR>(data[i] | (data[i + 1] << 8));
  CLSID clsid;
  if (CLSIDFromString(text.data(), &clsid) == S_OK) {
    OLECHAR back[39];
    if (StringFromGUID2(clsid, back, 39) != 39) __builtin_trap();
    CLSID again;
    if (CLSIDFromString(back, &again) != S_OK || std::memcmp(&again, &clsid, sizeof clsid) != 0) __builtin_trap();
  }
  return 0;
}
