// The one place that builds the plug-in's failure reports. An operation that
// fails returns what these helpers yield:
//   if (!cond) return mvkm::fail("operation", "cond");  // reports, yields 0
//   if (!callee()) return mvkm::passOn();               // callee reported
#ifndef MVKM_BASE_REPORT_H
#define MVKM_BASE_REPORT_H

#include "host/MvErrorState.h"

namespace mvkm {

// Reports a failed condition of an operation of className (code 5 unless
// given) and yields 0, the operation's failure result.
inline unsigned failIn(const char* className, const char* operation, const char* condition,
                       int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError(className, operation, condition, code);
  return 0;
}

// The same for MvKMBrep, which makes nearly every report.
inline unsigned fail(const char* operation, const char* condition, int code = MvErrorState::kCondition) {
  return failIn("MvKMBrep", operation, condition, code);
}

// Passes on a failure that a callee or a callback has already reported, and
// yields 0.
inline unsigned passOn() {
  MvErrorState::rethrowError();
  return 0;
}

}  // namespace mvkm

#endif
