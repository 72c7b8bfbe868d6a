// Says what makes a body record unacceptable.
#ifndef KSAMPLE_CORE_RECORD_PROBLEM_H
#define KSAMPLE_CORE_RECORD_PROBLEM_H

#include "ksample/geometry.h"

namespace ksample {
namespace detail {

// Null for a valid record, otherwise "unknown body type",
// "invalid dimensions", "invalid transform" or "invalid colour".
const char* recordProblem(const BodyRecord& body);

}  // namespace detail
}  // namespace ksample

#endif
