// An axis-aligned box of single-precision corners.
#ifndef MV_HOST_BOX3F_H
#define MV_HOST_BOX3F_H

#include "host/MvExport.h"
#include "host/MvVec.h"

class MV61_API MvBox3f {
 public:
  MvBox3f() { makeEmpty(); }
  MvBox3f(const MvVec3<float>& minPt, const MvVec3<float>& maxPt) : _min(minPt), _max(maxPt) {}

  // An empty box: not valid, encloses nothing.
  void makeEmpty();
  // The smallest box enclosing all points; empty when there are none.
  void set(const MvAVec<MvVec3<float>>& points);
  void extendBy(const MvVec3<float>& p);
  // Nonzero when the box encloses at least one point.
  unsigned isValid() const;
  const MvVec3<float>& getMin() const { return _min; }
  const MvVec3<float>& getMax() const { return _max; }

 private:
  MvVec3<float> _min;
  MvVec3<float> _max;
};

#endif
