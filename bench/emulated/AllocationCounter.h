// AllocationCounter: counts heap allocations in the whole process (or on enrolled threads only)
// while counting is on. The program that links AllocationCounter.cpp replaces malloc, calloc,
// realloc and the aligned allocators with counting versions that forward to the C library's own
// (operator new, Qt's containers and the SDK all allocate through them).
#pragma once

#include <cstdint>

class AllocationCounter {
 public:
  static void start();
  static void stop();
  static uint64_t count();
  // From now on only the allocations of threads that enrolled count (a grab-loop thread, say,
  // while the rest of the process goes uncounted).
  static void countEnrolledThreadsOnly();
  static void enrolThisThread();
};
