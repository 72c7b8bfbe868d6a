#include "element/tag_copies.h"

#include "element/MvKMBrep.h"

namespace mvkm {

bool copyTagsThroughKernel(const int* tags, int count, MvVec<int>& copies) {
  MvKMBrep::KmCopyCB copy = MvKMBrep::pfKmCopyCB;
  if (!copy) return false;
  try {
    for (int i = 0; i < count; ++i) {
      int tag = 0;
      if (!copy(tags[i], tag)) return false;
      if (!copies.append(tag)) {
        // The copy exists in the kernel but cannot be recorded: give it back.
        if (MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(1, &tag);
        return false;
      }
    }
  } catch (...) {
    releaseTags(copies);
    copies.setLength(0);
    throw;
  }
  return true;
}

void releaseTags(const MvVec<int>& tags) {
  if (tags.length() > 0 && MvKMBrep::pfKmReleaseCB) MvKMBrep::pfKmReleaseCB(tags.length(), tags.ptr());
}

}  // namespace mvkm
