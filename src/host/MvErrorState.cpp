#include "host/MvErrorState.h"

#include <memory>

#if defined(__MINGW32__)
#include <windows.h>
#endif

namespace {

struct ThreadErrors {
  std::vector<MvErrorReport> reports;
  long long dropped = 0;
  int rethrows = 0;
  bool throwOnError = false;
};

// The record as an ordinary thread_local.
ThreadErrors& threadLocalErrors() {
  thread_local ThreadErrors errors;
  return errors;
}

#if defined(__MINGW32__)
// mingw-w64's GCC frees a thread's thread_local storage before it runs the
// destructors of the thread's thread_local objects, so a thread_local record
// would be destroyed after its memory is gone. There the record lives on the
// heap behind a fiber-local slot whose callback destroys it when the thread
// ends. The slot stays for the life of the process, as the toolkit does; a
// thread that cannot have the slot keeps the ordinary thread_local.
void WINAPI destroyThreadErrors(void* record) { delete static_cast<ThreadErrors*>(record); }

ThreadErrors& threadErrors() {
  static const DWORD slot = FlsAlloc(destroyThreadErrors);
  thread_local bool withoutSlot = false;
  if (slot == FLS_OUT_OF_INDEXES || withoutSlot) return threadLocalErrors();
  if (void* held = FlsGetValue(slot)) return *static_cast<ThreadErrors*>(held);
  std::unique_ptr<ThreadErrors> made(new ThreadErrors());
  if (FlsSetValue(slot, made.get())) return *made.release();
  withoutSlot = true;
  return threadLocalErrors();
}
#else
ThreadErrors& threadErrors() { return threadLocalErrors(); }
#endif

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
