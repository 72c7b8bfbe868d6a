#include "host/MvPartition.h"

#include <atomic>

namespace {
std::atomic<long long> gVersion{(static_cast<long long>(MvPartition::kCurrentMajor) << 32) |
                                MvPartition::kCurrentMinor};
}

unsigned MvPartition::getVersion(int& major, int& minor) {
  const long long v = gVersion.load(std::memory_order_relaxed);
  major = static_cast<int>(v >> 32);
  minor = static_cast<int>(v & 0xFFFFFFFF);
  return 1;
}

void MvPartition::setVersion(int major, int minor) {
  gVersion.store((static_cast<long long>(major) << 32) | static_cast<unsigned>(minor),
                 std::memory_order_relaxed);
}
