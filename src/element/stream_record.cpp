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
  if (!_pfKmVersionCB || !_pfKmWriteCB)
    return mvkm::fail("serialize", "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)");
  mvkm::KernelLockGuard lock;

  int majorVer = 0;
  int minorVer = 0;
  MvPartition::getVersion(majorVer, minorVer);
  if (majorVer < kMinimumHostMajor) return mvkm::fail("serialize", "majorVer >= 8");
  if (!iostrm.write(_version)) return mvkm::passOn();
  if (_version != 1) {
    mvkm::debugOutput("Unsupported KMBrep version\n");
    return 0;
  }
  if (!_pfKmVersionCB(_kmMajorV, _kmMinorV)) return mvkm::passOn();
  if (_kmMajorV < 0 || _kmMinorV < 0) return mvkm::fail("serialize", "_kmMajorV >= 0 && _kmMinorV >= 0");
  if (!iostrm.write(_kmMajorV) || !iostrm.write(_kmMinorV)) return mvkm::passOn();

  // The stream stays current until this function returns, by any way.
  mvkm::CurrentHostStream current(iostrm);
  int iStartPos = 0;
  if (!iostrm.getPosition(iStartPos)) return mvkm::fail("serialize", "iostrm.getPosition(iStartPos)");
  if (_vKMPartList.length() == 0) {
    mvkm::debugOutput("No KM data is available for serialize()\n");
    // A length of 0 and no segment stands for "no parts", so that the record
    // can be read back: without it the reader would take the next bytes as
    // the length. An element with parts never writes 0 (refused below).
    if (!iostrm.write(0)) return mvkm::passOn();
    _kmSegmentLength = 0;
    return 1;
  }
  if (!iostrm.write(0)) return mvkm::passOn();
  int iStartSegPos = 0;
  if (!iostrm.getPosition(iStartSegPos)) return mvkm::fail("serialize", "iostrm.getPosition(iStartSegPos)");
  if (!getBinaryStreamFromKm(_vKMPartList)) return mvkm::passOn();
  int iEndSegPos = 0;
  if (!iostrm.getPosition(iEndSegPos)) return mvkm::fail("serialize", "iostrm.getPosition(iEndSegPos)");
  const int length = iEndSegPos - iStartSegPos;
  // Length 0 stands for an element without parts: a kernel that wrote
  // nothing for parts would make them vanish on reading.
  if (length <= 0) return mvkm::fail("serialize", "length > 0");
  if (!iostrm.seek(iStartPos)) return mvkm::fail("serialize", "iostrm.seek(iStartPos)");
  if (!iostrm.write(length)) return mvkm::passOn();
  _kmSegmentLength = length;
  if (!iostrm.seek(iEndSegPos)) return mvkm::fail("serialize", "iostrm.seek(iEndSegPos)");
  // The kernel checks its own data; a host file's checksum covers the rest.
  iostrm.excludeFromChecksum(iStartSegPos, length);
  return 1;
}

unsigned MvKMBrep::deserialize(MvObjectStream& iostrm) {
  if (!_pfKmVersionCB || !_pfKmReadCB)
    return mvkm::fail("deserialize", "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)");
  mvkm::KernelLockGuard lock;
  _pKmBrepOnFly = nullptr;

  int version = 0;
  if (!iostrm.read(version)) return mvkm::passOn();
  if (version > 1) return mvkm::fail("deserialize", "Invalid KMBrep version number", MvErrorState::kVersionHigh);
  if (version < 1) return mvkm::fail("deserialize", "Invalid KMBrep version number", MvErrorState::kVersionLow);
  int currKmMajorV = 0;
  int currKmMinorV = 0;
  if (!_pfKmVersionCB(currKmMajorV, currKmMinorV)) return mvkm::passOn();
  if (currKmMajorV < 0 || currKmMinorV < 0) return mvkm::fail("deserialize", "currKmMajorV >= 0 && currKmMinorV >= 0");
  int length = 0;
  if (!iostrm.read(_kmMajorV) || !iostrm.read(_kmMinorV) || !iostrm.read(length)) return mvkm::passOn();
  _kmSegmentLength = length;
  // No writer stores a negative kernel version: such a record is damaged.
  if (_kmMajorV < 0 || _kmMinorV < 0) return mvkm::fail("deserialize", "_kmMajorV >= 0 && _kmMinorV >= 0");
  // A length of 0 is an element without parts, whose record ends here. When
  // the object stream knows that more of the record follows, the length was
  // damaged: the parts after it would vanish unseen.
  if (length == 0 && iostrm.recordBytesLeft() <= 0) return 1;
  if (length <= 0) return mvkm::fail("deserialize", "length > 0");

  mvkm::CurrentHostStream current(iostrm);
  int currPos = 0;
  if (!iostrm.getPosition(currPos)) return mvkm::fail("deserialize", "iostrm.getPosition(currPos)");
  int streamSize = 0;
  if (!iostrm.getSize(streamSize) || static_cast<long long>(currPos) + length > streamSize)
    return mvkm::fail("deserialize", "currPos + length <= stream size");
  mvkm::gKmStream.pos = currPos + length;
  iostrm.excludeFromChecksum(currPos, length);

  // Received parts that the element has not taken yet go back to the kernel.
  mvkm::UnownedTags received(mvkm::entityCalls());
  if (!getKmFromBinaryStream(received.tags)) return mvkm::passOn();
  if (!appendKmPart(received.tags, 0)) return mvkm::fail("deserialize", "appendKmPart(kmPartList)");
  received.keep();
  if (!iostrm.seek(mvkm::gKmStream.pos)) return mvkm::fail("deserialize", "iostrm.seek(gKmStream.pos)");
  return 1;
}
