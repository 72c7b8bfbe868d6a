// Elements built from kernel tags, as several suites make them.
#ifndef MV_TESTS_SUPPORT_ELEMENTS_H
#define MV_TESTS_SUPPORT_ELEMENTS_H

#include "MvKMBrep61.h"

#include <vector>

namespace testfiles {

inline MvVec<int> tagVec(const std::vector<int>& tags) {
  MvVec<int> v;
  v.append(tags.data(), static_cast<int>(tags.size()));
  return v;
}

// An element owning the given bodies; null when it cannot be allocated.
inline MvAutoPtr<MvKMBrep> elementOf(const std::vector<int>& tags) {
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  if (e && !e->appendKmPart(tagVec(tags), 0)) e = nullptr;
  return e;
}

}  // namespace testfiles

#endif
