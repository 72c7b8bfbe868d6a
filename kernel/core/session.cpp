#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "body_table.h"
#include "errors.h"
#include "ksample/kernel.h"

namespace ksample {
namespace {

bool complete(const Frustrum& f) {
  return f.startFileFrustrum && f.stopFileFrustrum && f.abortFileFrustrum &&
         f.openWriteFrustrumFile && f.openReadFrustrumFile && f.writeToFrustrumFile &&
         f.readFromFrustrumFile && f.closeFrustrumFile && f.openSegment && f.outputSegment &&
         f.closeSegment;
}

}  // namespace

int version(int& major, int& minor) {
  major = kVersionMajor;
  minor = kVersionMinor;
  return kOk;
}

int startSession(const Frustrum& frustrum) {
  detail::clearError();
  if (!complete(frustrum)) return detail::fail(kErrInvalidArgument, "frustrum table is incomplete");
  // The frustrum mutex orders start and stop against each other and against
  // transmits; the table mutex is only taken for the state changes.
  std::lock_guard<std::recursive_mutex> io(detail::frustrumMutex());
  detail::BodyTable& t = detail::table();
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    if (t.started) return detail::fail(kErrAlreadyStarted, "a kernel session is already running");
  }
  int ifail = kFrUnspecified;
  frustrum.startFileFrustrum(&ifail);
  if (ifail != kFrOk) {
    return detail::fail(kErrFrustrum, "frustrum start failed with status " + std::to_string(ifail));
  }
  std::lock_guard<std::mutex> lock(t.mutex);
  t.frustrum = frustrum;
  t.started = true;
  return kOk;
}

int stopSession() {
  detail::clearError();
  std::lock_guard<std::recursive_mutex> io(detail::frustrumMutex());
  detail::BodyTable& t = detail::table();
  Frustrum frustrum{};
  std::map<int, BodyRecord> ended;
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    if (!t.started) return detail::fail(kErrNotStarted, "no kernel session is running");
    t.started = false;
    frustrum = t.frustrum;
    ended.swap(t.bodies);
  }
  int ifail = kFrUnspecified;
  frustrum.stopFileFrustrum(&ifail);
  if (ifail != kFrOk) {
    return detail::fail(kErrFrustrum, "frustrum stop failed with status " + std::to_string(ifail));
  }
  return kOk;
}

}  // namespace ksample
