#include "host/MvErrorState.h"

namespace {

struct ThreadErrors {
  std::vector<MvErrorReport> reports;
  long long dropped = 0;
  int rethrows = 0;
  bool throwOnError = false;
};

ThreadErrors& threadErrors() {
  thread_local ThreadErrors errors;
  return errors;
}

}  // namespace

MvError::MvError(const MvErrorReport& report) : _report(report) {
  _what = report.className + "::" + report.operation + ": " + report.condition +
          " (code " + std::to_string(report.code) + ")";
}

const char* MvError::what() const noexcept { return _what.c_str(); }

void MvErrorState::throwStdError(const char* className, const char* operation,
                                 const char* condition, int code) {
  ThreadErrors& errors = threadErrors();
  MvErrorReport report;
  report.className = className ? className : "";
  report.operation = operation ? operation : "";
  report.condition = condition ? condition : "";
  report.code = code;
  if (errors.reports.size() >= kMaxReports) {
    errors.reports.erase(errors.reports.begin());
    ++errors.dropped;
  }
  errors.reports.push_back(report);
  if (errors.throwOnError) throw MvError(report);
}

void MvErrorState::rethrowError() { ++threadErrors().rethrows; }

const std::vector<MvErrorReport>& MvErrorState::reports() { return threadErrors().reports; }

long long MvErrorState::droppedReports() { return threadErrors().dropped; }

int MvErrorState::rethrowCount() { return threadErrors().rethrows; }

void MvErrorState::clear() {
  ThreadErrors& errors = threadErrors();
  errors.reports.clear();
  errors.dropped = 0;
  errors.rethrows = 0;
}

void MvErrorState::setThrowOnError(bool on) { threadErrors().throwOnError = on; }

bool MvErrorState::throwOnError() { return threadErrors().throwOnError; }
