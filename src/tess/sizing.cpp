// The sizing sequence shared by the face and edge operations: the element
// must have parts and a box with a positive diagonal, to which the caller's
// tessellation record is then sized.
#include "base/report.h"
#include "element/MvKMBrep.h"

#include <cmath>

unsigned MvKMBrep::_sizeTessParams(const char* operation, KmBrepTessParams& kmTessPara) const {
  if (!(_vKMPartList.length() > 0)) {
    mvkm::report(operation, "kmBodyList.length() > 0");
    return 0;
  }
  MvBox3f kmBrepBBox;
  if (!getBBox(kmBrepBBox)) {
    mvkm::report(operation, "getBBox(kmBrepBBox)");
    return 0;
  }
  const MvVec3<float> diag = kmBrepBBox.getMax() - kmBrepBBox.getMin();
  const float fBboxDiagLen = sqrtf(diag[0] * diag[0] + diag[1] * diag[1] + diag[2] * diag[2]);
  // Written so that a NaN length fails too.
  if (!(fBboxDiagLen > 0.0f)) {
    mvkm::report(operation, "fBboxDiagLen > 0.0f");
    return 0;
  }
  return conditionTessParam(kmTessPara, fBboxDiagLen);
}
