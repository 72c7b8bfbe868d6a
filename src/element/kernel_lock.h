// The guard that holds the kernel lock for a scope: it locks on construction
// and unlocks exactly once when the scope ends, exceptions included. The
// lock's result is not tested: without a lock the failure is reported and
// the work goes on unlocked.
#ifndef MVKM_ELEMENT_KERNEL_LOCK_H
#define MVKM_ELEMENT_KERNEL_LOCK_H

#include "base/scope_exit.h"
#include "element/MvKMBrep.h"

#include <exception>

namespace mvkm {

class KernelLockGuard {
 public:
  KernelLockGuard() : _inFlight(std::uncaught_exceptions()) { MvKMBrep::staticLock(MvMutex::kInfinite); }
  ~KernelLockGuard() noexcept(false) {
    giveBackFromDestructor(_inFlight, [] { MvKMBrep::staticUnlock(); });
  }
  KernelLockGuard(const KernelLockGuard&) = delete;
  KernelLockGuard& operator=(const KernelLockGuard&) = delete;

 private:
  int _inFlight;
};

}  // namespace mvkm

#endif
