#include "kernel/thread_id.h"

#include <atomic>

namespace pellix::device {
namespace {

thread_local uint32_t t_id = 0;

}  // namespace

uint32_t NewThreadId() {
  // Multiples of 4 from 0x100, the shape of the platform's thread identifiers.
  static std::atomic<uint32_t> next{0x100};
  return next.fetch_add(4, std::memory_order_relaxed);
}

void AdoptThreadId(uint32_t id) { t_id = id; }

uint32_t CurrentThreadId() {
  if (t_id == 0) t_id = NewThreadId();
  return t_id;
}

}  // namespace pellix::device
