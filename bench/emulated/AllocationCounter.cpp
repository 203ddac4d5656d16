// The counting allocator: glibc's __libc_* entry points underneath, one relaxed counter on top.
#include "AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<bool> g_counting{false};
std::atomic<uint64_t> g_count{0};
std::atomic<bool> g_enrolledOnly{false};
// Static TLS of the executable: reading it never allocates.
thread_local bool t_enrolled = false;

inline void note() {
  if (g_counting.load(std::memory_order_relaxed) &&
      (t_enrolled || !g_enrolledOnly.load(std::memory_order_relaxed))) {
    g_count.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace

void AllocationCounter::start() {
  g_count.store(0, std::memory_order_relaxed);
  g_counting.store(true, std::memory_order_seq_cst);
}

void AllocationCounter::stop() { g_counting.store(false, std::memory_order_seq_cst); }

uint64_t AllocationCounter::count() { return g_count.load(std::memory_order_relaxed); }

void AllocationCounter::countEnrolledThreadsOnly() { g_enrolledOnly.store(true, std::memory_order_seq_cst); }

void AllocationCounter::enrolThisThread() { t_enrolled = true; }

extern "C" {

void* malloc(size_t size) {
  note();
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  note();
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
  note();
  return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
  note();
  return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
  note();
  return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
  note();
  void* pointer = __libc_memalign(alignment, size);
  if (pointer == nullptr) {
    return ENOMEM;
  }
  *result = pointer;
  return 0;
}

}  // extern "C"
