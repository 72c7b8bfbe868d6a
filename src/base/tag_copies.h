// Kernel copies of tag lists, shared by the element and the holder.
#ifndef MVKM_BASE_TAG_COPIES_H
#define MVKM_BASE_TAG_COPIES_H

#include "host/MvVec.h"

namespace mvkm {

// The kernel's copy and release jobs: references to the registrations
// themselves, so that every use reads the one registered at that moment.
struct EntityCalls {
  unsigned (*const& copy)(int tag, int& copy);
  unsigned (*const& release)(int count, const int* tags);
};

// Copies count tags through the copy job, in order, and appends each copy's
// tag to `copies`. Stops at the first failure; a missing copy job counts as
// a failure (as is a snapshot of the tags that cannot be taken: reported).
// Returns true when every tag was copied. The tags are read from a snapshot,
// so the copy job may change the list they come from, and it may be a list
// the caller appends the copies to afterwards. If
// the copy job throws, the copies made are released and the exception
// passes on.
bool copyTagsThroughKernel(const EntityCalls& calls, const int* tags, int count, MvVec<int>& copies);

// Gives the entities back through the release job; nothing happens when the
// list is empty or no release job is registered.
void releaseTags(const EntityCalls& calls, const MvVec<int>& tags);

// Kernel entities that no list holds yet (fresh copies, received parts):
// given back through releaseTags when the guard goes, unless keep() was
// called, so that neither a failure nor an exception leaves them behind.
// While an exception passes, one that the release job throws is stopped, so
// that the first one wins.
class UnownedTags {
 public:
  explicit UnownedTags(const EntityCalls& calls);
  ~UnownedTags() noexcept(false);
  UnownedTags(const UnownedTags&) = delete;
  UnownedTags& operator=(const UnownedTags&) = delete;

  // The entities are owned elsewhere now.
  void keep() { _kept = true; }

  MvVec<int> tags;

 private:
  EntityCalls _calls;
  int _inFlight;
  bool _kept = false;
};

}  // namespace mvkm

#endif
