// Device thread identifiers: small, unique, never reused within a process, assigned on a
// thread's first call. GetCurrentThreadId returns this value.
#pragma once

#include <cstdint>

namespace pellix::device {

uint32_t CurrentThreadId();

}  // namespace pellix::device
