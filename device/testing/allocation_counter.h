// Heap allocations made by each thread of a benchmark or test binary that links this
// (allocation_counter.cpp replaces the allocators). A thread reads its own counter; another
// thread may read it through the reference once that thread is idle.
#pragma once

#include <atomic>

// The calling thread's count of allocations so far.
std::atomic<long>& ThreadAllocations();
