#include "host/MvMutex.h"

#include <chrono>

#if !(defined(__x86_64__) && defined(__linux__))
mv_detail::ThreadKey mv_detail::currentThread() { return std::this_thread::get_id(); }
#endif

namespace {

// A timed wait by polling. Timed locks through pthread_mutex_clocklock are
// not seen by ThreadSanitizer, which then takes their holder's unlock for a
// fault; the library's own callers wait without limit, so a time-out is rare
// and a millisecond's polling costs nothing that matters.
bool tryLockFor(std::mutex& mutex, unsigned msecTimeOut) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(msecTimeOut);
  while (!mutex.try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

MvMutex::~MvMutex() = default;

unsigned MvMutex::lock(unsigned msecTimeOut) {
  const ThreadKey me = mv_detail::currentThread();
  if (_owner.load(std::memory_order_relaxed) == me) {
    ++_depth;
    return 1;
  }
  if (msecTimeOut == kInfinite) {
    _mutex.lock();
  } else if (!tryLockFor(_mutex, msecTimeOut)) {
    return 0;
  }
  _owner.store(me, std::memory_order_relaxed);
  _depth = 1;
  return 1;
}

unsigned MvMutex::unlock() {
  if (_owner.load(std::memory_order_relaxed) != mv_detail::currentThread()) return 0;
  if (--_depth == 0) {
    _owner.store(ThreadKey(), std::memory_order_relaxed);
    _mutex.unlock();
  }
  return 1;
}

int MvMutex::heldDepth() const {
  return _owner.load(std::memory_order_relaxed) == mv_detail::currentThread() ? _depth : 0;
}
