#include "base/tag_copies.h"

#include "base/scope_exit.h"

#include <exception>

namespace mvkm {

bool copyTagsThroughKernel(const EntityCalls& calls, const int* tags, int count, MvVec<int>& copies) {
  unsigned (*const copy)(int, int&) = calls.copy;
  if (!copy) return false;
  // The copy job may change the list the tags come from (append to the
  // source element, say) and so free its storage: the tags are read from a
  // snapshot taken before the first call.
  MvVec<int> snapshot;
  if (!snapshot.append(tags, count)) return false;
  const int* const source = snapshot.begin();
  // The latest copy, while it exists in the kernel but is not yet recorded.
  int made = 0;
  bool unrecorded = false;
  try {
    for (int i = 0; i < count; ++i) {
      if (!copy(source[i], made)) return false;
      unrecorded = true;
      if (!copies.append(made)) {
        unrecorded = false;
        if (calls.release) calls.release(1, &made);
        return false;
      }
      unrecorded = false;
    }
  } catch (...) {
    // Also a copy whose append report threw goes back to the kernel.
    if (unrecorded && calls.release) calls.release(1, &made);
    releaseTags(calls, copies);
    copies.setLength(0);
    throw;
  }
  return true;
}

void releaseTags(const EntityCalls& calls, const MvVec<int>& tags) {
  if (tags.length() > 0 && calls.release) calls.release(tags.length(), tags.ptr());
}

UnownedTags::UnownedTags(const EntityCalls& calls) : _calls(calls), _inFlight(std::uncaught_exceptions()) {}

UnownedTags::~UnownedTags() noexcept(false) {
  if (!_kept) giveBackFromDestructor(_inFlight, [this] { releaseTags(_calls, tags); });
}

}  // namespace mvkm
