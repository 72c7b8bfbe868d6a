// The element's bounding box: the union of the boxes that the box callback
// gives for its parts.
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "tess/body_list.h"

unsigned MvKMBrep::getBBox(MvBox3f& box) const {
  // One read of the registration, so a concurrent change cannot slip in
  // between the test and the calls.
  const KmBBoxCB bboxCB = _pfKmBBoxCB;
  if (!bboxCB) return mvkm::fail("getBBox", "_pfKmBBoxCB != NULL");
  mvkm::KernelLockGuard lock;

  // Set once per call: a callback that succeeds without writing repeats the
  // previous part's corners (the origin for the first part).
  MvVec3<float> minPt{{0.0f, 0.0f, 0.0f}};
  MvVec3<float> maxPt{{0.0f, 0.0f, 0.0f}};
  MvAVec<MvVec3<float>> points;
  box.makeEmpty();

  MvVec<int> kmBodyList;
  if (!mvkm::copyBodyList(_vKMPartList, kmBodyList)) return mvkm::passOn();

  for (int i = 0; i < kmBodyList.length(); ++i) {
    if (!bboxCB(kmBodyList[i], minPt, maxPt)) return mvkm::fail("getBBox", "_pfKmBBoxCB(kmBodyList[i], minPt, maxPt)");
    // A lost corner would shrink the box; the vector has reported why.
    if (!points.append(minPt) || !points.append(maxPt)) return mvkm::passOn();
  }
  box.set(points);
  return box.isValid();
}
