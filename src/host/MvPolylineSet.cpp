#include "host/MvShapes.h"

#include <climits>

namespace {

void reportPolyline(const char* condition, int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError("MvPolylineSet", "addPolyline", condition, code);
}

}  // namespace

unsigned MvPolylineSet::addPolyline(const float* points, int pointCount) {
  if (pointCount < 2 || !points) {
    reportPolyline("pointCount >= 2 && points != NULL");
    return 0;
  }
  if (pointCount > INT_MAX / 3) {
    reportPolyline("Allocation failed: point data within 2147483647 bytes", MvErrorState::kAllocation);
    return 0;
  }
  const int firstPoint = this->pointCount();
  const int oldLen = _points.length();
  // append copes with points lying in this set's own storage.
  if (!_points.append(points, 3 * pointCount)) {
    MvErrorState::rethrowError();
    return 0;
  }
  if (!_lineStart.append(firstPoint)) {
    _points.setLength(oldLen);
    MvErrorState::rethrowError();
    return 0;
  }
  return 1;
}

int MvPolylineSet::lineLength(int i) const {
  if (i < 0 || i >= polylineCount()) return 0;
  const int end = i + 1 < polylineCount() ? _lineStart[i + 1] : pointCount();
  return end - _lineStart[i];
}
