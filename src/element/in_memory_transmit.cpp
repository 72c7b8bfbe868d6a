// The element's in-memory transmit and receive: the kernel writes the parts
// into, or reads them from, the current host stream through the frustrum's
// host-stream records.
#include "base/report.h"
#include "base/scope_exit.h"
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"

#include <exception>

unsigned MvKMBrep::getBinaryStreamFromKm(const MvVec<int>& kmPartList) {
  mvkm::KernelLockGuard lock;
  if (kmPartList.length() <= 0) return mvkm::fail("getBinaryStreamFromKm", "kmPartList.length() > 0");
  if (!_pfKmWriteCB) return mvkm::fail("getBinaryStreamFromKm", "_pfKmWriteCB != NULL");
  if (!_pfKmWriteCB(kmPartList.length(), kmPartList.ptr(), _bWriteNominalGeom)) return mvkm::passOn();
  return 1;
}

namespace {

// The tag array a receive handed out and the entities it names, until they
// are the caller's parts. On a failure, also one that an exception carries,
// the entities not yet recorded go back to the kernel and the array goes
// back through the memory-release callback, so nothing is lost or left over.
// While the split callback has them they are its own: a split that fails
// keeps both.
class ReceivedTags {
 public:
  explicit ReceivedTags(MvKMBrep::KmMemoryRelCB memoryRel)
      : _memoryRel(memoryRel), _inFlight(std::uncaught_exceptions()) {}
  // A callback that throws here while another exception is already passing
  // is stopped, so that the first one wins.
  ~ReceivedTags() noexcept(false) {
    mvkm::giveBackFromDestructor(_inFlight, [this] { giveBack(); });
  }
  ReceivedTags(const ReceivedTags&) = delete;
  ReceivedTags& operator=(const ReceivedTags&) = delete;

  int count = 0;
  int* tags = nullptr;

  // A failed receive handed nothing out.
  void forget() { _ours = false; }
  void handToSplit() { _ours = false; }
  // The entities are parts of the caller's list now; the array is ours.
  void recorded() {
    _ours = true;
    _entitiesRecorded = true;
  }
  // Gives back what is still ours: unrecorded entities, then the array.
  void giveBack() {
    int* const array = tags;
    const int n = count;
    const bool ours = _ours;
    tags = nullptr;
    count = 0;
    if (!ours || n <= 0 || !array) return;
    if (!_entitiesRecorded && MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(n, array);
    if (_memoryRel) _memoryRel(array);
  }

 private:
  MvKMBrep::KmMemoryRelCB _memoryRel;
  int _inFlight;
  bool _ours = true;
  bool _entitiesRecorded = false;
};

}  // namespace

unsigned MvKMBrep::getKmFromBinaryStream(MvVec<int>& kmPartList) {
  mvkm::KernelLockGuard lock;
  if (!_pfKmReadCB) return mvkm::fail("getKmFromBinaryStream", "_pfKmReadCB != NULL");
  ReceivedTags received(_pfKmMemoryRelCB);
  if (!_pfKmReadCB(received.count, received.tags)) {
    received.forget();
    return mvkm::passOn();
  }
  if (_pfKmSplitCB) {
    received.handToSplit();
    if (!_pfKmSplitCB(received.count, received.tags, kmPartList)) return mvkm::passOn();
    received.recorded();
  } else if (received.count > 0) {
    if (!received.tags) return mvkm::fail("getKmFromBinaryStream", "tags != NULL");
    if (!kmPartList.append(received.tags, received.count)) return mvkm::passOn();
    received.recorded();
  }
  if (!_pfKmMemoryRelCB) return mvkm::fail("getKmFromBinaryStream", "_pfKmMemoryRelCB != NULL");
  received.giveBack();
  return 1;
}
