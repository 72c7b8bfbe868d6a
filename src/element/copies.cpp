// Copying, assigning and destroying elements.
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "element/tag_copies.h"

MvKMBrep::MvKMBrep(const MvKMBrep& src) : MvBase() {
  MvVec<int> copies;
  if (!mvkm::copyTagsThroughKernel(src._vKMPartList.begin(), src._vKMPartList.length(), copies)) {
    // A partial copy is not kept: give back the copies already made.
    mvkm::releaseTags(copies);
    return;
  }
  if (!appendKmPart(copies, 0)) mvkm::releaseTags(copies);
}

MvKMBrep& MvKMBrep::operator=(const MvKMBrep& src) {
  MvVec<int> copies;
  // Reading src (possibly *this) completes before anything is appended, so
  // self-assignment copies each part once.
  if (!mvkm::copyTagsThroughKernel(src._vKMPartList.begin(), src._vKMPartList.length(), copies)) {
    mvkm::releaseTags(copies);
    return *this;
  }
  if (!appendKmPart(copies, 0)) mvkm::releaseTags(copies);
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
