// The general heap shared by the toolkit, its plug-ins and the host
// application: vector storage, stream records and MvBase objects are all
// obtained and released here, so a block may be released by another module
// than the one that obtained it.
//
// The heap also carries the allocation-failure seam used by the tests: the
// calling thread can be told to fail its Nth counted allocation.
#ifndef MV_HOST_HEAP_H
#define MV_HOST_HEAP_H

#include "host/MvExport.h"

#include <cstddef>

class MV61_API MvHeap {
 public:
  // A block of `bytes` bytes, or null when it cannot be obtained (or when the
  // failure seam says this allocation fails). A zero size gives a valid block.
  static void* allocate(std::size_t bytes) noexcept;
  // The block resized to `bytes`, its leading bytes kept, possibly moved; a
  // null block gives a new one. Null when the size cannot be obtained (or the
  // seam fails it, counted as one allocation); the block is untouched then.
  static void* reallocate(void* block, std::size_t bytes) noexcept;
  // Gives a block back; null is ignored.
  static void release(void* block) noexcept;

  // Failure seam, per thread. After failAt(n) the allocation with index n
  // (0-based, counted from this call) fails; with `persistent` every later
  // allocation fails too. disarm() stops injecting and keeps counting.
  static void failAt(long long n, bool persistent = false) noexcept;
  static void disarm() noexcept;
  // Allocations attempted on this thread since the last failAt() or
  // resetCount(), failed ones included.
  static long long allocationCount() noexcept;
  static void resetCount() noexcept;
  // Number of allocations the seam has made fail on this thread.
  static long long injectedFailures() noexcept;
};

#endif
