// Copying, assigning and destroying elements.
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "element/entity_calls.h"

MvKMBrep::MvKMBrep(const MvKMBrep& src) : MvBase() {
  // A partial copy is not kept: the guard gives back the copies made.
  mvkm::UnownedTags copies(mvkm::entityCalls());
  if (!mvkm::copyTagsThroughKernel(mvkm::entityCalls(), src._vKMPartList.begin(), src._vKMPartList.length(),
                                   copies.tags))
    return;
  if (appendKmPart(copies.tags, 0)) copies.keep();
}

MvKMBrep& MvKMBrep::operator=(const MvKMBrep& src) {
  mvkm::UnownedTags copies(mvkm::entityCalls());
  // Reading src (possibly *this) completes before anything is appended, so
  // self-assignment copies each part once.
  if (!mvkm::copyTagsThroughKernel(mvkm::entityCalls(), src._vKMPartList.begin(), src._vKMPartList.length(),
                                   copies.tags))
    return *this;
  if (appendKmPart(copies.tags, 0)) copies.keep();
  return *this;
}

MvKMBrep::~MvKMBrep() {
  // A destructor cannot pass an exception on: a throwing release callback or
  // error report is stopped here, after the lock guard has released.
  try {
    mvkm::KernelLockGuard lock;
    removeAllParts();
  } catch (...) {
  }
  _vbHasOwnerFlagList = MvVec<unsigned int>();
  _pKmBrepOnFly = nullptr;
}
