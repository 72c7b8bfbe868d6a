// The element's part list: tags with one ownership flag each, added,
// copied, removed and released through the kernel callbacks.
#include "base/holder_link.h"
#include "base/report.h"
#include "element/MvKMBrep.h"
#include "element/entity_calls.h"
#include "element/kernel_lock.h"
#include "element/owned_parts.h"

#include <utility>

namespace {

const char* const kInvariant = "_vKMPartList.length() == _vbHasOwnerFlagList.length()";

// Takes the tag list back to its length at construction unless keep() is
// called, also when a report throws on the way: tags without flags would
// break every later operation. Shortening a vector allocates nothing.
class TagRollback {
 public:
  explicit TagRollback(MvVec<int>& tags) : _tags(tags), _length(tags.length()) {}
  ~TagRollback() {
    if (!_kept) _tags.setLength(_length);
  }
  TagRollback(const TagRollback&) = delete;
  TagRollback& operator=(const TagRollback&) = delete;
  void keep() { _kept = true; }

 private:
  MvVec<int>& _tags;
  int _length;
  bool _kept = false;
};

// Appends n copies of flag. The storage grows as an append's does (to at
// least double), so that one-part appends cost amortised constant time;
// false (reported by the vector) when it cannot grow.
bool appendFlags(MvVec<unsigned int>& flags, unsigned int flag, int n) {
  if (n <= 0) return true;
  // One flag: an append, which leaves the new room unfilled.
  if (n == 1) return flags.append(flag) != 0;
  const int before = flags.length();
  flags[before + n - 1] = flag;  // a growing access grows by the append rule
  if (flags.length() != before + n) return false;
  for (int i = before; i < before + n - 1; ++i) flags[i] = flag;
  return true;
}

// Appends the parts with one flag each, growing the lists as needed; the
// tags are taken back when the flags cannot follow. 0 (reported) when a
// list cannot grow.
// Kept out of line, so that the one-part path saves no registers.
[[gnu::noinline]] unsigned appendParts(MvVec<int>& tags, MvVec<unsigned int>& flags, const MvVec<int>& parts,
                                       unsigned flag) {
  TagRollback rollback(tags);
  const int before = tags.length();
  // Appending the element's own list is safe: the vector takes the source's
  // length before it grows and re-reads it from the new storage.
  if (!tags.append(parts)) return mvkm::fail("appendKmPart", "_vKMPartList.append(kmPartList)");
  if (!appendFlags(flags, flag, tags.length() - before))
    return mvkm::fail("appendKmPart", "_vbHasOwnerFlagList.append(bHasOwner)");
  rollback.keep();
  return 1;
}

}  // namespace

namespace mvkm {

void releaseOwnedParts(MvVec<int>& tags, MvVec<unsigned int>& flags, MvKMBrep::KmReleaseCB release) {
  // The owned tags move to the front of the list's own storage, in list
  // order; the lists are detached from the element before the call, so a
  // callback that looks at the element finds it empty.
  int owned = 0;
  const int n = tags.length() < flags.length() ? tags.length() : flags.length();
  for (int i = 0; i < n; ++i)
    if (flags[i] == 0) tags[owned++] = tags[i];
  MvVec<int> detached(std::move(tags));
  const MvVec<unsigned int> detachedFlags(std::move(flags));
  detached.setLength(owned);
  if (owned > 0 && release) release(owned, detached.ptr());
}

}  // namespace mvkm

MvKMBrep::MvKMBrep() = default;

unsigned MvKMBrep::isEmpty() const { return _vKMPartList.length() == 0 ? 1u : 0u; }

unsigned MvKMBrep::appendKmPart(const MvVec<int>& kmPartList, unsigned bHasOwner) {
  // One part where both lists are in step and have room: two stores that
  // cannot fail and keep them in step, so no rollback and no check is
  // needed (the frequent case of parts added one at a time).
  const int n = _vKMPartList.length();
  if (kmPartList.length() == 1 && n == _vbHasOwnerFlagList.length() && n < _vKMPartList.allocatedLength() &&
      n < _vbHasOwnerFlagList.allocatedLength()) {
    _vKMPartList.append(kmPartList[0]);
    _vbHasOwnerFlagList.append(bHasOwner);
    return 1;
  }
  if (!appendParts(_vKMPartList, _vbHasOwnerFlagList, kmPartList, bHasOwner)) return 0;
  if (_vKMPartList.length() != _vbHasOwnerFlagList.length()) return mvkm::fail("appendKmPart", kInvariant);
  return 1;
}

unsigned MvKMBrep::copyAppendKmPart(const MvVec<int>& kmPartList) {
  mvkm::KernelLockGuard lock;
  if (!pfKmCopyCB) return mvkm::fail("copyAppendKmPart", "pfKmCopyCB != NULL");
  // Copies are gathered first and appended afterwards, so the source may be
  // the element's own list: each original part is copied once.
  mvkm::UnownedTags copies(mvkm::entityCalls());
  const bool complete =
      mvkm::copyTagsThroughKernel(mvkm::entityCalls(), kmPartList.begin(), kmPartList.length(), copies.tags);
  {
    TagRollback rollback(_vKMPartList);
    if (!_vKMPartList.append(copies.tags) || !appendFlags(_vbHasOwnerFlagList, 0, copies.tags.length()))
      return mvkm::passOn();
    rollback.keep();
  }
  copies.keep();
  // The copies made before a failed copy stay as parts; the copy callback's
  // failure is passed on.
  if (!complete) return mvkm::passOn();
  if (_vKMPartList.length() != _vbHasOwnerFlagList.length()) return mvkm::fail("copyAppendKmPart", kInvariant);
  return 1;
}

unsigned MvKMBrep::removePart(int i) {
  mvkm::KernelLockGuard lock;
  if (i < 0 || i >= _vKMPartList.length()) return mvkm::fail("removePart", "i>=0 && i<_vKMPartList.length()");
  if (!pfKmReleaseCB) return mvkm::fail("removePart", "pfKmReleaseCB != NULL");
  if (i < _vbHasOwnerFlagList.length() && _vbHasOwnerFlagList[i] == 0) {
    const int tag = _vKMPartList[i];
    pfKmReleaseCB(1, &tag);
  }
  if (!_vKMPartList.remove(i, 1)) return mvkm::fail("removePart", "_vKMPartList.remove(i)");
  if (!_vbHasOwnerFlagList.remove(i, 1)) return mvkm::fail("removePart", "_vbHasOwnerFlagList.remove(i)");
  if (_vKMPartList.length() != _vbHasOwnerFlagList.length()) return mvkm::fail("removePart", kInvariant);
  return 1;
}

unsigned MvKMBrep::removeAllParts() {
  mvkm::KernelLockGuard lock;
  if (_vKMPartList.length() != _vbHasOwnerFlagList.length()) return mvkm::fail("removeAllParts", kInvariant);
  if (!pfKmReleaseCB) return mvkm::fail("removeAllParts", "pfKmReleaseCB != NULL");
  mvkm::releaseOwnedParts(_vKMPartList, _vbHasOwnerFlagList, pfKmReleaseCB);
  return 1;
}

unsigned MvKMBrep::setKmBrepOnFly(const MvKMBrepOnFly* p) {
  _pKmBrepOnFly = mvkm::holderObject(p);
  return 1;
}

MvAutoPtr<MvBase> MvKMBrep::kmBrepOnFly() const { return _pKmBrepOnFly; }
