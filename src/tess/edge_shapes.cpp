// Edge shapes of an element: the polyline sets that the edge tessellation
// callback gives for each body, appended to the caller's list.
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "element/kernel_lock.h"
#include "tess/body_list.h"

unsigned MvKMBrep::getMvEdgeShape(KmBrepTessParams& kmTessPara, MvAutoPtrVec<MvPolylineSet>& vpPLS) const {
  static const char* const kOp = "getMvEdgeShape";
  mvkm::KernelLockGuard lock;

  MvVec<int> kmBodyList;
  if (!mvkm::copyBodyList(_vKMPartList, kmBodyList)) return mvkm::passOn();
  if (!_sizeTessParams(kOp, kmTessPara)) return 0;

  MvAutoPtrVec<MvPolylineSet> vpBodyPLS;
  for (int i = 0; i < kmBodyList.length(); ++i) {
    // Read per body, after the sizing: a missing callback fails with the
    // record already conditioned.
    const KmEdgeTessCB edgeTessCB = _pfKmEdgeTessCB;
    if (!(edgeTessCB && edgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)))
      return mvkm::fail(kOp, "_pfKmEdgeTessCB && _pfKmEdgeTessCB(kmBodyList[i], kmTessPara, vpBodyPLS)");
    if (!vpPLS.append(vpBodyPLS)) return mvkm::fail(kOp, "vpPLS.append(vpBodyPLS)");
    vpBodyPLS.setLength(0);
  }
  return 1;
}
