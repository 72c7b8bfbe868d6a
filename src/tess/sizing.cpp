// The sizing sequence shared by the face and edge operations: the element
// must have parts and a box with a positive diagonal, to which the caller's
// tessellation record is then sized.
#include "base/report.h"
#include "element/MvKMBrep.h"

#include <cmath>

unsigned MvKMBrep::_sizeTessParams(const char* operation, KmBrepTessParams& kmTessPara) const {
  if (!(_vKMPartList.length() > 0)) return mvkm::fail(operation, "kmBodyList.length() > 0");
  MvBox3f kmBrepBBox;
  if (!getBBox(kmBrepBBox)) return mvkm::fail(operation, "getBBox(kmBrepBBox)");
  const MvVec3<float> diag = kmBrepBBox.getMax() - kmBrepBBox.getMin();
  const float fBboxDiagLen = sqrtf(diag[0] * diag[0] + diag[1] * diag[1] + diag[2] * diag[2]);
  // Written so that a NaN length fails too.
  // An infinite diagonal (a box reaching infinity or past the float range)
  // would give the kernel infinite tolerances: it fails like a zero one.
  if (!(fBboxDiagLen > 0.0f) || !std::isfinite(fBboxDiagLen)) return mvkm::fail(operation, "fBboxDiagLen > 0.0f");
  return conditionTessParam(kmTessPara, fBboxDiagLen);
}
