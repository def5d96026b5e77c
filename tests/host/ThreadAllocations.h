// The allocations one thread makes, as a sanitizer's allocator sees them
// (glibc's own too, such as a thread's block of a module's thread-local
// data): the tests run under AddressSanitizer or ThreadSanitizer, whose
// allocators call hooks installed here.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TARNIVEX_COUNTS_ALLOCATIONS 1
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                          void (*)(const volatile void*));
#endif

// Counts from construction to destruction, on the constructing thread only.
class ThreadAllocations {
 public:
  // False where nothing can be counted.
  static constexpr bool counted() {
#ifdef TARNIVEX_COUNTS_ALLOCATIONS
    return true;
#else
    return false;
#endif
  }
  ThreadAllocations() {
    sCount = 0;
    sThread = pthread_self();
#ifdef TARNIVEX_COUNTS_ALLOCATIONS
    __sanitizer_install_malloc_and_free_hooks(Allocated, Freed);
#endif
  }
  ~ThreadAllocations() {
#ifdef TARNIVEX_COUNTS_ALLOCATIONS
    __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
#endif
    sThread = pthread_t{};
  }
  ThreadAllocations(const ThreadAllocations&) = delete;
  ThreadAllocations& operator=(const ThreadAllocations&) = delete;
  int count() const { return sCount; }

 private:
  static void Allocated(const volatile void*, size_t) {
    if (pthread_equal(sThread.load(), pthread_self())) ++sCount;
  }
  static void Freed(const volatile void*) {}
  static inline std::atomic<pthread_t> sThread{};
  static inline std::atomic<int> sCount{0};
};
