// Elements built from kernel tags and their parts read back, as several suites use them; whether the library is idle.
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

inline std::vector<int> partsOf(const MvKMBrep& e) { return std::vector<int>(e.kmPart().begin(), e.kmPart().end()); }

// The library holds nothing between operations: kernel lock free, no current host stream, no frustrum stream open.
inline bool libraryIdle() {
  return (!MvKMBrep::s_pKorvaniteMutex || MvKMBrep::s_pKorvaniteMutex->heldDepth() == 0) &&
         mvFrustrumHasHostStream() == 0 && mvFrustrumOpenStreamCount() == 0;
}

}  // namespace testfiles

#endif
