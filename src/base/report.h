// The one place that builds the element's failure reports.
#ifndef MVKM_BASE_REPORT_H
#define MVKM_BASE_REPORT_H

#include "host/MvErrorState.h"

namespace mvkm {

// Reports a failed condition of an MvKMBrep operation (code 5 unless given).
inline void report(const char* operation, const char* condition, int code = MvErrorState::kCondition) {
  MvErrorState::throwStdError("MvKMBrep", operation, condition, code);
}

}  // namespace mvkm

#endif
