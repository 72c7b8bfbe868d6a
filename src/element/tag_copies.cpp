#include "element/tag_copies.h"

#include "element/MvKMBrep.h"
#include "element/scope_exit.h"

#include <exception>

namespace mvkm {

bool copyTagsThroughKernel(const int* tags, int count, MvVec<int>& copies) {
  MvKMBrep::KmCopyCB copy = MvKMBrep::pfKmCopyCB;
  if (!copy) return false;
  // The latest copy, while it exists in the kernel but is not yet recorded.
  int made = 0;
  bool unrecorded = false;
  try {
    for (int i = 0; i < count; ++i) {
      if (!copy(tags[i], made)) return false;
      unrecorded = true;
      if (!copies.append(made)) {
        unrecorded = false;
        if (MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(1, &made);
        return false;
      }
      unrecorded = false;
    }
  } catch (...) {
    // Also a copy whose append report threw goes back to the kernel.
    if (unrecorded && MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(1, &made);
    releaseTags(copies);
    copies.setLength(0);
    throw;
  }
  return true;
}

void releaseTags(const MvVec<int>& tags) {
  if (tags.length() > 0 && MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(tags.length(), tags.ptr());
}

UnownedTags::UnownedTags() : _inFlight(std::uncaught_exceptions()) {}

UnownedTags::~UnownedTags() noexcept(false) {
  if (!_kept) giveBackFromDestructor(_inFlight, [this] { releaseTags(tags); });
}

}  // namespace mvkm
