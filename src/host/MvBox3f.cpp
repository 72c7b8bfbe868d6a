#include "host/MvBox3f.h"

#include <limits>

void MvBox3f::makeEmpty() {
  const float big = std::numeric_limits<float>::max();
  _min = MvVec3<float>{{big, big, big}};
  _max = MvVec3<float>{{-big, -big, -big}};
}

void MvBox3f::set(const MvAVec<MvVec3<float>>& points) {
  makeEmpty();
  for (int i = 0; i < points.length(); ++i) extendBy(points[i]);
}

void MvBox3f::extendBy(const MvVec3<float>& p) {
  for (int k = 0; k < 3; ++k) {
    if (p[k] < _min[k]) _min[k] = p[k];
    if (p[k] > _max[k]) _max[k] = p[k];
  }
}

unsigned MvBox3f::isValid() const {
  return _min[0] <= _max[0] && _min[1] <= _max[1] && _min[2] <= _max[2] ? 1u : 0u;
}
