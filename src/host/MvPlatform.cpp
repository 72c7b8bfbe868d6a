#include "host/MvPlatform.h"

#include <mutex>

std::atomic<MvPlatform*> MvSingleton<MvPlatform>::_pInstance{nullptr};

namespace {
std::mutex& creationMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

MvPlatform* MvPlatform::instance() {
  MvPlatform* p = MvSingleton<MvPlatform>::_pInstance.load(std::memory_order_acquire);
  if (!p) _createInstance(p);
  return p;
}

void MvPlatform::_createInstance(MvPlatform*& out) {
  std::lock_guard<std::mutex> hold(creationMutex());
  MvPlatform* p = MvSingleton<MvPlatform>::_pInstance.load(std::memory_order_acquire);
  if (!p) {
    // Lives for the whole process: vectors may account blocks up to exit.
    p = new MvPlatform();
    p->_ref();
    MvSingleton<MvPlatform>::_pInstance.store(p, std::memory_order_release);
  }
  out = p;
}

void MvPlatform::addToMemory(std::size_t bytes) noexcept {
  _memory.fetch_add(static_cast<long long>(bytes), std::memory_order_relaxed);
}

void MvPlatform::removeFromMemory(std::size_t bytes) noexcept {
  _memory.fetch_sub(static_cast<long long>(bytes), std::memory_order_relaxed);
}

long long MvPlatform::memoryInUse() const noexcept {
  return _memory.load(std::memory_order_relaxed);
}
