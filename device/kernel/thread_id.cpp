#include "kernel/thread_id.h"

#include <atomic>

namespace pellix::device {

uint32_t CurrentThreadId() {
  // Multiples of 4 from 0x100, the shape of the platform's thread identifiers.
  static std::atomic<uint32_t> next{0x100};
  thread_local uint32_t id = next.fetch_add(4, std::memory_order_relaxed);
  return id;
}

}  // namespace pellix::device
