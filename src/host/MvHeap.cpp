#include "host/MvHeap.h"

#include <cstdlib>

namespace {

struct Seam {
  long long count = 0;
  long long failAt = -1;
  bool persistent = false;
  long long injected = 0;
};

Seam& seam() {
  thread_local Seam s;
  return s;
}

// Counts one allocation; true when the seam makes it fail.
bool injectFailure() {
  Seam& s = seam();
  const long long index = s.count++;
  if (s.failAt < 0) return false;
  const bool fail = s.persistent ? index >= s.failAt : index == s.failAt;
  if (fail) ++s.injected;
  return fail;
}

}  // namespace

void* MvHeap::allocate(std::size_t bytes) noexcept {
  if (injectFailure()) return nullptr;
  return std::malloc(bytes == 0 ? 1 : bytes);
}

void* MvHeap::reallocate(void* block, std::size_t bytes) noexcept {
  if (injectFailure()) return nullptr;
  return std::realloc(block, bytes == 0 ? 1 : bytes);
}

void MvHeap::release(void* block) noexcept { std::free(block); }

void MvHeap::failAt(long long n, bool persistent) noexcept {
  Seam& s = seam();
  s.count = 0;
  s.failAt = n;
  s.persistent = persistent;
  s.injected = 0;
}

void MvHeap::disarm() noexcept { seam().failAt = -1; }

long long MvHeap::allocationCount() noexcept { return seam().count; }

void MvHeap::resetCount() noexcept { seam().count = 0; }

long long MvHeap::injectedFailures() noexcept { return seam().injected; }
