// The kernel's entity table: the session, its frustrum and the bodies by tag.
// One mutex guards it and is held only for short, self-contained steps:
// nothing calls out of the kernel while holding it.
#ifndef KSAMPLE_CORE_BODY_TABLE_H
#define KSAMPLE_CORE_BODY_TABLE_H

#include <cstdint>
#include <map>
#include <mutex>

#include "ksample/frustrum.h"
#include "ksample/geometry.h"

namespace ksample {
namespace detail {

struct BodyTable {
  std::mutex mutex;
  bool started = false;
  Frustrum frustrum{};
  std::map<int, BodyRecord> bodies;
  // Next tag to hand out; tags are never reused within the process.
  std::int64_t nextTag = 1;
};

BodyTable& table();

// Serialises the kernel's calls into the frustrum (which keeps process-wide
// state of its own). Recursive so that a graphical-output handler may call
// back into the kernel on the same thread.
std::recursive_mutex& frustrumMutex();

// With the table locked: whether count more tags can be handed out.
bool tagsLeft(const BodyTable& t, std::int64_t count);

// Adds a valid record under a new tag, stored in tag (0 on failure); returns
// 0 or kErrNotStarted, kErrNoTagsLeft, kErrNoMemory with lastError set.
int addBody(BodyRecord record, int& tag);

// Copies the frustrum table out of a running session; false (kErrNotStarted)
// when no session runs.
bool sessionFrustrum(Frustrum& frustrum);

// Copies a body's record; false with kErrNoSuchBody set when there is none.
bool snapshot(int tag, BodyRecord& record);

}  // namespace detail
}  // namespace ksample

#endif
