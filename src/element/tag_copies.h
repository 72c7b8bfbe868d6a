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

// Kernel entities that no list holds yet (fresh copies, received parts):
// given back through releaseTags when the guard goes, unless keep() was
// called, so that neither a failure nor an exception leaves them behind.
// While an exception passes, one that the release callback throws is
// stopped, so that the first one wins.
class UnownedTags {
 public:
  UnownedTags();
  ~UnownedTags() noexcept(false);
  UnownedTags(const UnownedTags&) = delete;
  UnownedTags& operator=(const UnownedTags&) = delete;

  // The entities are owned elsewhere now.
  void keep() { _kept = true; }

  MvVec<int> tags;

 private:
  int _inFlight;
  bool _kept = false;
};

}  // namespace mvkm

#endif
