#include "body_table.h"

#include <climits>
#include <new>
#include <utility>

#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace detail {

BodyTable& table() {
  static BodyTable instance;
  return instance;
}

std::recursive_mutex& frustrumMutex() {
  static std::recursive_mutex instance;
  return instance;
}

bool tagsLeft(const BodyTable& t, std::int64_t count) { return count <= INT_MAX - t.nextTag + 1; }

int addBody(BodyRecord record, int& tag) {
  tag = 0;
  BodyTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (!t.started) return fail(kErrNotStarted, "no kernel session is running");
  if (!tagsLeft(t, 1)) return fail(kErrNoTagsLeft, "no tags left");
  const int next = static_cast<int>(t.nextTag);
  try {
    t.bodies.emplace(next, std::move(record));
  } catch (const std::bad_alloc&) {
    return fail(kErrNoMemory, "out of memory");
  }
  ++t.nextTag;
  tag = next;
  return kOk;
}

bool sessionFrustrum(Frustrum& frustrum) {
  BodyTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (!t.started) {
    fail(kErrNotStarted, "no kernel session is running");
    return false;
  }
  frustrum = t.frustrum;
  return true;
}

bool snapshot(int tag, BodyRecord& record) {
  BodyTable& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.bodies.find(tag);
  if (it == t.bodies.end()) {
    fail(kErrNoSuchBody, noSuchBody(tag));
    return false;
  }
  record = it->second;
  return true;
}

}  // namespace detail
}  // namespace ksample
