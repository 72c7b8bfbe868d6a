// A recursive mutex with a time-out: the thread that holds it may lock it
// again; it is free after the matching number of unlocks.
#ifndef MV_HOST_MUTEX_H
#define MV_HOST_MUTEX_H

#include "host/MvExport.h"

#include <condition_variable>
#include <mutex>
#include <thread>

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

 private:
  mutable std::mutex _guard;
  std::condition_variable _freed;
  std::thread::id _owner;
  int _depth = 0;
};

#endif
