// The one place that builds the object streams' failure reports.
#ifndef MV_HOST_DETAIL_STREAM_REPORT_H
#define MV_HOST_DETAIL_STREAM_REPORT_H

#include "host/MvErrorState.h"

namespace mv_detail {

// Reports a failed condition of an object stream operation; yields 0 so that
// callers can `return streamFailure(...)`.
inline unsigned streamFailure(const char* operation, const char* condition,
                              int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError("MvObjectStream", operation, condition, code);
  return 0;
}

// The largest position and size of a stream: positions are signed 32-bit.
constexpr long long kMaxStreamBytes = 2147483647LL;

}  // namespace mv_detail

#endif
