// Heap allocations counted per thread, for the benchmarks that promise none: the C allocator
// (malloc, calloc, realloc) and the C++ one (which goes through malloc here) are replaced, so
// allocations in C libraries count as well.
#include "testing/allocation_counter.h"

#include <cstdlib>
#include <new>

// Sanitizer runtimes own the C allocator: there only the C++ one is counted.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PELLIX_COUNT_MALLOC 0
#else
#define PELLIX_COUNT_MALLOC 1
#endif

namespace {
thread_local std::atomic<long> t_allocations{0};
}

std::atomic<long>& ThreadAllocations() { return t_allocations; }

#if PELLIX_COUNT_MALLOC
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}

extern "C" {
void* malloc(size_t size) {
  t_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  t_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  t_allocations.fetch_add(1, std::memory_order_relaxed);
  return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
#endif

// The C++ allocation functions pair with each other only.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  if (!PELLIX_COUNT_MALLOC) t_allocations.fetch_add(1, std::memory_order_relaxed);  // else counted by malloc
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(size_t size, std::align_val_t align) {
  t_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::aligned_alloc(static_cast<size_t>(align), (size + static_cast<size_t>(align) - 1) &
                                                                    ~(static_cast<size_t>(align) - 1)))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }

