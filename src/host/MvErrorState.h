// Error reports of the host toolkit. Every failed precondition in the toolkit
// and in its plug-ins is recorded here as (class, operation, condition, code);
// a failure that a callee already recorded is passed on with rethrowError().
// Reports are kept per thread.
#ifndef MV_HOST_ERRORSTATE_H
#define MV_HOST_ERRORSTATE_H

#include "host/MvExport.h"

#include <exception>
#include <string>
#include <vector>

struct MvErrorReport {
  std::string className;
  std::string operation;
  std::string condition;
  int code = 0;
};

// Thrown by throwStdError while throw-on-error is on for the calling thread.
class MV61_API MvError : public std::exception {
 public:
  explicit MvError(const MvErrorReport& report);
  const char* what() const noexcept override;
  const MvErrorReport& report() const noexcept { return _report; }

 private:
  MvErrorReport _report;
  std::string _what;
};

class MV61_API MvErrorState {
 public:
  // Error codes used by the toolkit and its plug-ins.
  enum Code { kIndex = 1, kCondition = 5, kAllocation = 20, kVersionLow = 21, kVersionHigh = 22 };

  // Records a report for the calling thread; throws MvError afterwards when
  // throw-on-error is on for this thread.
  static void throwStdError(const char* className, const char* operation,
                            const char* condition, int code);
  // Records that a failure reported by a callee was passed on.
  static void rethrowError();

  // This thread's reports, oldest first. At most kMaxReports are kept; older
  // ones are dropped first and counted in droppedReports().
  static const std::vector<MvErrorReport>& reports();
  static long long droppedReports();
  static int rethrowCount();
  // Forgets this thread's reports and rethrow count.
  static void clear();

  static void setThrowOnError(bool on);
  static bool throwOnError();

  static constexpr std::size_t kMaxReports = 4096;
};

#endif
