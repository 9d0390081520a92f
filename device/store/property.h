// Property values as the store engine keeps them, and their conversion to and from the
// platform's SPropValue arrays.
//
// A property is an identifier, a type and a value; the tag's type says how to read the
// value: integers (PT_I2, PT_LONG, PT_BOOLEAN, PT_I8, PT_CURRENCY, PT_SYSTIME as FILETIME
// ticks, PT_ERROR as the SCODE), reals (PT_R4, PT_DOUBLE, PT_APPTIME), UTF-16 text
// (PT_UNICODE) or bytes (PT_BINARY, PT_STRING8 without its terminator, PT_CLSID).
#pragma once

#include <mapidefs.h>

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "kernel/result.h"

namespace pellix::device::store {

using PropData = std::variant<int64_t, double, std::u16string, std::vector<uint8_t>>;

struct Property {
  uint32_t tag = 0;
  PropData value;

  uint32_t type() const { return PROP_TYPE(tag); }
  uint32_t id() const { return PROP_ID(tag); }
};

// Makers for the common types.
Property TextProperty(uint32_t tag, std::u16string text);
Property IntProperty(uint32_t tag, int64_t value);
Property BinaryProperty(uint32_t tag, std::vector<uint8_t> bytes);
// A PT_ERROR value for `tag`'s identifier.
Property ErrorProperty(uint32_t tag, SCODE error);

// True for the single-valued types the store keeps.
bool IsStorableType(uint32_t type);

// Reads one SPropValue from a caller; fails (with the SCODE in the error's code) for a type
// the store cannot keep or a value with a null pointer.
Result<Property> FromPropValue(const SPropValue& value);

// The value of `stored` as the caller asked for it with `requested_tag`: the same type, or
// text converted between PT_UNICODE and PT_STRING8, or a PT_UNSPECIFIED request answered
// with the stored type (text as PT_UNICODE when `unicode`, else PT_STRING8). Anything else
// gives a PT_ERROR of MAPI_E_NOT_FOUND.
Property AsRequested(const Property& stored, uint32_t requested_tag, bool unicode);

// Packs values into one MAPIAllocateBuffer block: the SPropValue array followed by every
// string and byte array it points to. Null when memory runs out.
LPSPropValue PackProperties(std::span<const Property> props);

// Packs an entry identifier, or any byte string, into one block.
LPENTRYID PackEntryId(std::span<const uint8_t> bytes);

}  // namespace pellix::device::store
