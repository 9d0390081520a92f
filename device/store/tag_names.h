// The platform's names of the property tags the store knows, for tools and logs.
#pragma once

#include <cstdint>

namespace pellix::device::store {

// "PR_SUBJECT_W" for 0x0037001F; null for a tag without a name.
const char* TagName(uint32_t tag);

}  // namespace pellix::device::store
