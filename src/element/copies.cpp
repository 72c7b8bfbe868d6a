// Copying, assigning and destroying elements.
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "element/entity_calls.h"
#include "element/owned_parts.h"

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
  // When removeAllParts did not get to its end (the missing lock's report
  // threw in throw-on-error mode, say), the owned parts still go back.
  try {
    mvkm::releaseOwnedParts(_vKMPartList, _vbHasOwnerFlagList, pfKmReleaseCB);
  } catch (...) {
  }
  _pKmBrepOnFly = nullptr;
}
