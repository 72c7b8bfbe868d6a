// Kernel copies of tag lists, shared by the element and the holder.
#ifndef MVKM_ELEMENT_TAG_COPIES_H
#define MVKM_ELEMENT_TAG_COPIES_H

#include "host/MvVec.h"

namespace mvkm {

// Copies count tags through the registered copy callback, in order, and
// appends each copy's tag to `copies`. Stops at the first failure; a missing
// callback counts as a failure. Returns true when every tag was copied. The
// source is read only, so it may be a list the caller appends the copies to
// afterwards. If the callback throws, the copies made are released and the
// exception passes on.
bool copyTagsThroughKernel(const int* tags, int count, MvVec<int>& copies);

// Gives the entities back through the registered release callback; nothing
// happens when the list is empty or no release callback is registered.
void releaseTags(const MvVec<int>& tags);

}  // namespace mvkm

#endif
