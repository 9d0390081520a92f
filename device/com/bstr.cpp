// oleaut32: system strings. A BSTR points just past a 32-bit byte count and is followed by
// a terminator, so it reads as an ordinary wide string too.
#include <crtwide.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kPrefix = sizeof(uint32_t);
// Longest string whose byte count, prefix and terminator stay below 4 GB.
constexpr size_t kMaxBytes = 0xFFFFFFFFu - kPrefix - sizeof(OLECHAR) - 1;

BSTR AllocateBytes(const void* source, size_t bytes) {
  if (bytes > kMaxBytes) return nullptr;
  // Room for the prefix, the text and a whole wide terminator even after an odd byte count.
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + 2 * sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const uint32_t count = static_cast<uint32_t>(bytes);
  std::memcpy(block, &count, kPrefix);
  if (source != nullptr) std::memcpy(block + kPrefix, source, bytes);
  else std::memset(block + kPrefix, 0, bytes);
  std::memset(block + kPrefix + bytes, 0, 2 * sizeof(OLECHAR));
  return reinterpret_cast<BSTR>(block + kPrefix);
}

unsigned char* BlockOf(BSTR bstr) { return reinterpret_cast<unsigned char*>(bstr) - kPrefix; }

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return AllocateBytes(psz, wcslen(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* psz, UINT cch) {
  return AllocateBytes(psz, static_cast<size_t>(cch) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return AllocateBytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (fresh == nullptr && psz != nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(BlockOf(bstr));
}

UINT SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  uint32_t count;
  std::memcpy(&count, BlockOf(bstr), kPrefix);
  return count;
}

UINT SysStringLen(BSTR bstr) { return SysStringByteLen(bstr) / sizeof(OLECHAR); }
