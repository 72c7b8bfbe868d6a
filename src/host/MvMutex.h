// A recursive mutex with a time-out: the thread that holds it may lock it
// again; it is free after the matching number of unlocks.
#ifndef MV_HOST_MUTEX_H
#define MV_HOST_MUTEX_H

#include "host/MvExport.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace mv_detail {
#if defined(__x86_64__) && defined(__linux__)
// The thread pointer, which the x86-64 ABI keeps at %fs:0: one load instead
// of a library call; 0 is no thread.
using ThreadKey = std::uintptr_t;
inline ThreadKey currentThread() {
  std::uintptr_t self;
  __asm__("mov %%fs:0, %0" : "=r"(self));
  return self;
}
#else
using ThreadKey = std::thread::id;
// Taken in the toolkit's own module: where each module links its own copy of
// the thread runtime, the copies number the threads differently.
MV61_API ThreadKey currentThread();
#endif
}  // namespace mv_detail

class MV61_API MvMutex {
 public:
  static constexpr unsigned kInfinite = 0xFFFFFFFFu;

  MvMutex() = default;
  virtual ~MvMutex();
  MvMutex(const MvMutex&) = delete;
  MvMutex& operator=(const MvMutex&) = delete;

  // Takes the mutex, waiting at most msecTimeOut milliseconds (without limit
  // for kInfinite). Nonzero when the calling thread holds it afterwards.
  virtual unsigned lock(unsigned msecTimeOut);
  // Gives up one level of the caller's hold. 0 when the caller does not hold it.
  virtual unsigned unlock();
  // How many times the calling thread holds the mutex (0 when it does not).
  int heldDepth() const;

  // A nested lock and unlock without a call: relock() takes one more level
  // of a hold the calling thread has; unlockNested() gives up a level that
  // is not its last. Both are false, and change nothing, otherwise: lock()
  // and unlock() then do the work.
  bool relock() {
    if (_owner.load(std::memory_order_relaxed) != mv_detail::currentThread()) return false;
    ++_depth;
    return true;
  }
  bool unlockNested() {
    if (_owner.load(std::memory_order_relaxed) != mv_detail::currentThread() || _depth < 2) return false;
    --_depth;
    return true;
  }

 private:
  using ThreadKey = mv_detail::ThreadKey;

  // A plain mutex: a time-out polls try_lock (see lock), so every path is
  // one that thread checkers and every platform's runtime follow.
  std::mutex _mutex;
  // The holder while the mutex is held. Only a thread that holds the mutex
  // writes its own key here, so a thread that reads its own key holds it;
  // nesting then needs no atomic read-modify-write at all.
  std::atomic<ThreadKey> _owner{ThreadKey()};
  // Changed only by the holder.
  int _depth = 0;
};

#endif
