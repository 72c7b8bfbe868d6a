// The element's record in the host object stream: version 1, the kernel's
// major and minor version, the segment length and the kernel's transmit
// segment, which the kernel writes and reads through the frustrum's
// host-stream records.
#include "base/current_host_stream.h"
#include "base/debug_output.h"
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "element/entity_calls.h"
#include "element/kernel_lock.h"
#include "host/MvPartition.h"

int MvKMBrep::_version = 1;
int MvKMBrep::_kmMajorV = -1;
int MvKMBrep::_kmMinorV = -1;
int MvKMBrep::_kmSegmentLength = -1;

namespace {

constexpr int kMinimumHostMajor = 8;

}  // namespace

void MvKMBrep::storedKmVersion(int& major, int& minor) {
  major = _kmMajorV;
  minor = _kmMinorV;
}

int MvKMBrep::storedSegmentLength() { return _kmSegmentLength; }

unsigned MvKMBrep::serialize(MvObjectStream& iostrm) const {
  if (!_pfKmVersionCB || !_pfKmWriteCB) {
    mvkm::report("serialize", "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)");
    return 0;
  }
  mvkm::KernelLockGuard lock;

  int majorVer = 0;
  int minorVer = 0;
  MvPartition::getVersion(majorVer, minorVer);
  if (majorVer < kMinimumHostMajor) {
    mvkm::report("serialize", "majorVer >= 8");
    return 0;
  }
  if (!iostrm.write(_version)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (_version != 1) {
    mvkm::debugOutput("Unsupported KMBrep version\n");
    return 0;
  }
  if (!_pfKmVersionCB(_kmMajorV, _kmMinorV)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (_kmMajorV < 0 || _kmMinorV < 0) {
    mvkm::report("serialize", "_kmMajorV >= 0 && _kmMinorV >= 0");
    return 0;
  }
  if (!iostrm.write(_kmMajorV) || !iostrm.write(_kmMinorV)) {
    MvErrorState::rethrowError();
    return 0;
  }

  // The stream stays current until this function returns, by any way.
  mvkm::CurrentHostStream current(iostrm);
  int iStartPos = 0;
  if (!iostrm.getPosition(iStartPos)) {
    mvkm::report("serialize", "iostrm.getPosition(iStartPos)");
    return 0;
  }
  if (_vKMPartList.length() == 0) {
    mvkm::debugOutput("No KM data is available for serialize()\n");
    // A length of 0 stands for "no parts", so that the record can be read
    // back: without it the reader would take the next bytes as the length.
    if (!iostrm.write(0)) {
      MvErrorState::rethrowError();
      return 0;
    }
    _kmSegmentLength = 0;
    return 1;
  }
  if (!iostrm.write(0)) {
    MvErrorState::rethrowError();
    return 0;
  }
  int iStartSegPos = 0;
  if (!iostrm.getPosition(iStartSegPos)) {
    mvkm::report("serialize", "iostrm.getPosition(iStartSegPos)");
    return 0;
  }
  if (!getBinaryStreamFromKm(_vKMPartList)) {
    MvErrorState::rethrowError();
    return 0;
  }
  int iEndSegPos = 0;
  if (!iostrm.getPosition(iEndSegPos)) {
    mvkm::report("serialize", "iostrm.getPosition(iEndSegPos)");
    return 0;
  }
  const int length = iEndSegPos - iStartSegPos;
  if (!iostrm.seek(iStartPos)) {
    mvkm::report("serialize", "iostrm.seek(iStartPos)");
    return 0;
  }
  if (!iostrm.write(length)) {
    MvErrorState::rethrowError();
    return 0;
  }
  _kmSegmentLength = length;
  if (!iostrm.seek(iEndSegPos)) {
    mvkm::report("serialize", "iostrm.seek(iEndSegPos)");
    return 0;
  }
  return 1;
}

unsigned MvKMBrep::deserialize(MvObjectStream& iostrm) {
  if (!_pfKmVersionCB || !_pfKmReadCB) {
    mvkm::report("deserialize", "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)");
    return 0;
  }
  mvkm::KernelLockGuard lock;
  _pKmBrepOnFly = nullptr;

  int version = 0;
  if (!iostrm.read(version)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (version > 1) {
    mvkm::report("deserialize", "Invalid KMBrep version number", MvErrorState::kVersionHigh);
    return 0;
  }
  if (version < 1) {
    mvkm::report("deserialize", "Invalid KMBrep version number", MvErrorState::kVersionLow);
    return 0;
  }
  int currKmMajorV = 0;
  int currKmMinorV = 0;
  if (!_pfKmVersionCB(currKmMajorV, currKmMinorV)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (currKmMajorV < 0 || currKmMinorV < 0) {
    mvkm::report("deserialize", "currKmMajorV >= 0 && currKmMinorV >= 0");
    return 0;
  }
  int length = 0;
  if (!iostrm.read(_kmMajorV) || !iostrm.read(_kmMinorV) || !iostrm.read(length)) {
    MvErrorState::rethrowError();
    return 0;
  }
  _kmSegmentLength = length;
  // A length of 0 is an element without parts.
  if (length == 0) return 1;
  if (length < 0) {
    mvkm::report("deserialize", "length > 0");
    return 0;
  }

  mvkm::CurrentHostStream current(iostrm);
  int currPos = 0;
  if (!iostrm.getPosition(currPos)) {
    mvkm::report("deserialize", "iostrm.getPosition(currPos)");
    return 0;
  }
  int streamSize = 0;
  if (!iostrm.getSize(streamSize) || static_cast<long long>(currPos) + length > streamSize) {
    mvkm::report("deserialize", "currPos + length <= stream size");
    return 0;
  }
  mvkm::gKmStream.pos = currPos + length;

  // Received parts that the element has not taken yet go back to the kernel.
  mvkm::UnownedTags received(mvkm::entityCalls());
  if (!getKmFromBinaryStream(received.tags)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (!appendKmPart(received.tags, 0)) {
    mvkm::report("deserialize", "appendKmPart(kmPartList)");
    return 0;
  }
  received.keep();
  if (!iostrm.seek(mvkm::gKmStream.pos)) {
    mvkm::report("deserialize", "iostrm.seek(gKmStream.pos)");
    return 0;
  }
  return 1;
}
