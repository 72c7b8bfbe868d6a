#include "host/MvMutex.h"

#include <chrono>

MvMutex::~MvMutex() = default;

unsigned MvMutex::lock(unsigned msecTimeOut) {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock<std::mutex> hold(_guard);
  if (_depth > 0 && _owner == me) {
    ++_depth;
    return 1;
  }
  auto isFree = [this] { return _depth == 0; };
  if (msecTimeOut == kInfinite) {
    _freed.wait(hold, isFree);
  } else if (!_freed.wait_for(hold, std::chrono::milliseconds(msecTimeOut), isFree)) {
    return 0;
  }
  _owner = me;
  _depth = 1;
  return 1;
}

unsigned MvMutex::unlock() {
  std::unique_lock<std::mutex> hold(_guard);
  if (_depth == 0 || _owner != std::this_thread::get_id()) return 0;
  if (--_depth == 0) {
    _owner = std::thread::id();
    hold.unlock();
    _freed.notify_one();
  }
  return 1;
}

int MvMutex::heldDepth() const {
  std::lock_guard<std::mutex> hold(_guard);
  return _owner == std::this_thread::get_id() ? _depth : 0;
}
