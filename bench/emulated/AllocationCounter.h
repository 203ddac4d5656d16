// AllocationCounter: counts heap allocations in the whole process while counting is on. The
// program that links AllocationCounter.cpp replaces malloc, calloc, realloc and the aligned
// allocators with counting versions that forward to the C library's own (operator new, Qt's
// containers and the SDK all allocate through them).
#pragma once

#include <cstdint>

class AllocationCounter {
 public:
  static void start();
  static void stop();
  static uint64_t count();
};
