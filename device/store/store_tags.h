// Tags the store answers that the SDK headers give no name.
#pragma once

#include <mapitags.h>

namespace pellix::device::store {

// The entry identifier of the store that holds a folder (or a message's folder); callers
// open it with the session's OpenEntry.
inline constexpr ULONG kPrFolderStoreEntryId = PROP_TAG(PT_BINARY, 0x3E06);

}  // namespace pellix::device::store
