// The body list that the tessellation operations work through.
#ifndef MVKM_TESS_BODY_LIST_H
#define MVKM_TESS_BODY_LIST_H

#include "host/MvVec.h"

namespace mvkm {

// Copies the element's parts into `bodies`, a list of its own that the
// callbacks cannot change under the loop. False when storage ran out (the
// vector has reported why): a result over some of the bodies would be wrong.
inline bool copyBodyList(const MvVec<int>& parts, MvVec<int>& bodies) {
  bodies = parts;
  return bodies.length() == parts.length();
}

}  // namespace mvkm

#endif
