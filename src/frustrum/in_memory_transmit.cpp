// The element's in-memory transmit and receive: the kernel writes the parts
// into, or reads them from, the current host stream through the frustrum's
// host-stream records.
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "element/report.h"

unsigned MvKMBrep::getBinaryStreamFromKm(const MvVec<int>& kmPartList) {
  mvkm::KernelLockGuard lock;
  if (kmPartList.length() <= 0) {
    mvkm::report("getBinaryStreamFromKm", "kmPartList.length() > 0");
    return 0;
  }
  if (!_pfKmWriteCB) {
    mvkm::report("getBinaryStreamFromKm", "_pfKmWriteCB != NULL");
    return 0;
  }
  if (!_pfKmWriteCB(kmPartList.length(), kmPartList.ptr(), _bWriteNominalGeom)) {
    MvErrorState::rethrowError();
    return 0;
  }
  return 1;
}

unsigned MvKMBrep::getKmFromBinaryStream(MvVec<int>& kmPartList) {
  mvkm::KernelLockGuard lock;
  if (!_pfKmReadCB) {
    mvkm::report("getKmFromBinaryStream", "_pfKmReadCB != NULL");
    return 0;
  }
  int count = 0;
  int* tags = nullptr;
  if (!_pfKmReadCB(count, tags)) {
    MvErrorState::rethrowError();
    return 0;
  }
  unsigned result = 1;
  if (_pfKmSplitCB) {
    // A failing split keeps the array: the split callback has it.
    if (!_pfKmSplitCB(count, tags, kmPartList)) {
      MvErrorState::rethrowError();
      return 0;
    }
  } else if (count > 0) {
    if (!tags) {
      mvkm::report("getKmFromBinaryStream", "tags != NULL");
      return 0;
    }
    // A failed append has been reported by the vector; the received array
    // is still given back below.
    if (!kmPartList.append(tags, count)) {
      MvErrorState::rethrowError();
      result = 0;
    }
  }
  if (!_pfKmMemoryRelCB) {
    mvkm::report("getKmFromBinaryStream", "_pfKmMemoryRelCB != NULL");
    return 0;
  }
  if (count > 0 && tags) _pfKmMemoryRelCB(tags);
  return result;
}
