// Device thread identifiers: small, unique, never reused within a process. A thread made by
// CreateThread gets its identifier from its creator before it runs; any other thread is given
// one on its first call. GetCurrentThreadId returns this value.
#pragma once

#include <cstdint>

namespace pellix::device {

uint32_t CurrentThreadId();
// A fresh identifier, for a thread about to be started.
uint32_t NewThreadId();
// Makes `id` (from NewThreadId) the calling thread's identifier; call it first thing.
void AdoptThreadId(uint32_t id);

}  // namespace pellix::device
