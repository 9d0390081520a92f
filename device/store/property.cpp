#include "store/property.h"

#include <mapiutil.h>

#include <algorithm>
#include <cstring>

namespace pellix::device::store {
namespace {

constexpr size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

// Extra bytes a value needs after the array.
size_t PayloadSize(const Property& p) {
  switch (p.type()) {
    case PT_UNICODE:
      return Align8((std::get<std::u16string>(p.value).size() + 1) * sizeof(WCHAR));
    case PT_STRING8:
      return Align8(std::get<std::vector<uint8_t>>(p.value).size() + 1);
    case PT_BINARY:
      return Align8(std::get<std::vector<uint8_t>>(p.value).size());
    case PT_CLSID:
      return Align8(sizeof(GUID));
    default:
      return 0;
  }
}

// Latin-1 narrowing and widening: enough for the store's own text, which is mostly ASCII.
std::vector<uint8_t> Narrow(const std::u16string& text) {
  std::vector<uint8_t> out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<uint8_t>(c) : '?');
  return out;
}
std::u16string Widen(const std::vector<uint8_t>& bytes) {
  return std::u16string(bytes.begin(), bytes.end());
}

}  // namespace

Property TextProperty(uint32_t tag, std::u16string text) { return Property{tag, std::move(text)}; }
Property IntProperty(uint32_t tag, int64_t value) { return Property{tag, value}; }
Property BinaryProperty(uint32_t tag, std::vector<uint8_t> bytes) {
  return Property{tag, std::move(bytes)};
}
Property ErrorProperty(uint32_t tag, SCODE error) {
  return Property{CHANGE_PROP_TYPE(tag, PT_ERROR), static_cast<int64_t>(error)};
}

bool IsStorableType(uint32_t type) {
  switch (type) {
    case PT_I2: case PT_LONG: case PT_BOOLEAN: case PT_I8: case PT_CURRENCY: case PT_SYSTIME:
    case PT_R4: case PT_DOUBLE: case PT_APPTIME: case PT_UNICODE: case PT_STRING8:
    case PT_BINARY: case PT_CLSID:
      return true;
    default:
      return false;
  }
}

Result<Property> FromPropValue(const SPropValue& v) {
  const uint32_t tag = v.ulPropTag;
  const union _PV& pv = v.Value;
  switch (PROP_TYPE(tag)) {
    case PT_I2: return IntProperty(tag, pv.i);
    case PT_LONG: return IntProperty(tag, pv.l);
    case PT_BOOLEAN: return IntProperty(tag, pv.b != 0 ? 1 : 0);
    case PT_I8: return IntProperty(tag, pv.li.QuadPart);
    case PT_CURRENCY: return IntProperty(tag, pv.cur.int64);
    case PT_SYSTIME:
      return IntProperty(tag, static_cast<int64_t>((static_cast<uint64_t>(pv.ft.dwHighDateTime) << 32) |
                                                   pv.ft.dwLowDateTime));
    case PT_R4: return Property{tag, static_cast<double>(pv.flt)};
    case PT_DOUBLE: return Property{tag, pv.dbl};
    case PT_APPTIME: return Property{tag, pv.at};
    case PT_UNICODE:
      if (pv.lpszW == nullptr) return Fail("null string", MAPI_E_INVALID_PARAMETER);
      return TextProperty(tag, std::u16string(pv.lpszW));
    case PT_STRING8: {
      if (pv.lpszA == nullptr) return Fail("null string", MAPI_E_INVALID_PARAMETER);
      const auto* s = reinterpret_cast<const uint8_t*>(pv.lpszA);
      return BinaryProperty(tag, std::vector<uint8_t>(s, s + std::strlen(pv.lpszA)));
    }
    case PT_BINARY:
      if (pv.bin.lpb == nullptr && pv.bin.cb != 0) return Fail("null bytes", MAPI_E_INVALID_PARAMETER);
      return BinaryProperty(tag, pv.bin.cb ? std::vector<uint8_t>(pv.bin.lpb, pv.bin.lpb + pv.bin.cb)
                                           : std::vector<uint8_t>{});
    case PT_CLSID: {
      if (pv.lpguid == nullptr) return Fail("null guid", MAPI_E_INVALID_PARAMETER);
      const auto* g = reinterpret_cast<const uint8_t*>(pv.lpguid);
      return BinaryProperty(tag, std::vector<uint8_t>(g, g + sizeof(GUID)));
    }
    default:
      return Fail("type the store cannot keep", MAPI_E_INVALID_TYPE);
  }
}

Property AsRequested(const Property& stored, uint32_t requested_tag, bool unicode) {
  uint32_t want = PROP_TYPE(requested_tag);
  const uint32_t have = stored.type();
  if (want == PT_UNSPECIFIED) want = (have == PT_UNICODE || have == PT_STRING8) ? (unicode ? PT_UNICODE : PT_STRING8) : have;
  const uint32_t tag = CHANGE_PROP_TYPE(requested_tag, want);
  if (want == have) return Property{tag, stored.value};
  if (want == PT_UNICODE && have == PT_STRING8)
    return TextProperty(tag, Widen(std::get<std::vector<uint8_t>>(stored.value)));
  if (want == PT_STRING8 && have == PT_UNICODE)
    return BinaryProperty(tag, Narrow(std::get<std::u16string>(stored.value)));
  return ErrorProperty(requested_tag, MAPI_E_NOT_FOUND);
}

LPSPropValue PackProperties(std::span<const Property> props) {
  const size_t array = Align8(sizeof(SPropValue) * (props.empty() ? 1 : props.size()));
  size_t total = array;
  for (const Property& p : props) total += PayloadSize(p);
  if (total > 0xFFFFFFFFu) return nullptr;
  void* block = nullptr;
  if (MAPIAllocateBuffer(static_cast<ULONG>(total), &block) != S_OK) return nullptr;
  std::memset(block, 0, total);
  auto* values = static_cast<SPropValue*>(block);
  auto* data = static_cast<uint8_t*>(block) + array;
  for (size_t i = 0; i < props.size(); ++i) {
    const Property& p = props[i];
    SPropValue& v = values[i];
    v.ulPropTag = p.tag;
    switch (p.type()) {
      case PT_I2: v.Value.i = static_cast<SHORT>(std::get<int64_t>(p.value)); break;
      case PT_LONG: v.Value.l = static_cast<LONG>(std::get<int64_t>(p.value)); break;
      case PT_ERROR: v.Value.err = static_cast<SCODE>(std::get<int64_t>(p.value)); break;
      case PT_BOOLEAN: v.Value.b = std::get<int64_t>(p.value) != 0; break;
      case PT_I8: v.Value.li.QuadPart = std::get<int64_t>(p.value); break;
      case PT_CURRENCY: v.Value.cur.int64 = std::get<int64_t>(p.value); break;
      case PT_SYSTIME: {
        const auto t = static_cast<uint64_t>(std::get<int64_t>(p.value));
        v.Value.ft.dwLowDateTime = static_cast<DWORD>(t);
        v.Value.ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
        break;
      }
      case PT_R4: v.Value.flt = static_cast<FLOAT>(std::get<double>(p.value)); break;
      case PT_DOUBLE: v.Value.dbl = std::get<double>(p.value); break;
      case PT_APPTIME: v.Value.at = std::get<double>(p.value); break;
      case PT_UNICODE: {
        const auto& s = std::get<std::u16string>(p.value);
        std::memcpy(data, s.data(), s.size() * sizeof(WCHAR));  // the terminator is already zero
        v.Value.lpszW = reinterpret_cast<LPWSTR>(data);
        break;
      }
      case PT_STRING8: {
        const auto& s = std::get<std::vector<uint8_t>>(p.value);
        if (!s.empty()) std::memcpy(data, s.data(), s.size());
        v.Value.lpszA = reinterpret_cast<LPSTR>(data);
        break;
      }
      case PT_BINARY: {
        const auto& s = std::get<std::vector<uint8_t>>(p.value);
        if (!s.empty()) std::memcpy(data, s.data(), s.size());
        v.Value.bin.cb = static_cast<ULONG>(s.size());
        v.Value.bin.lpb = s.empty() ? nullptr : data;
        break;
      }
      case PT_CLSID: {
        const auto& s = std::get<std::vector<uint8_t>>(p.value);
        std::memcpy(data, s.data(), std::min(s.size(), sizeof(GUID)));
        v.Value.lpguid = reinterpret_cast<LPGUID>(data);
        break;
      }
      default: break;
    }
    data += PayloadSize(p);
  }
  return values;
}

LPENTRYID PackEntryId(std::span<const uint8_t> bytes) {
  void* block = nullptr;
  if (MAPIAllocateBuffer(static_cast<ULONG>(bytes.empty() ? 1 : bytes.size()), &block) != S_OK)
    return nullptr;
  if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return static_cast<LPENTRYID>(block);
}

}  // namespace pellix::device::store
