// What the adapter's files share: the calling thread's error, the part
// table with its session, and the boundary that turns every exception into
// the kernel's error.
#ifndef KOCCT_CORE_INTERNAL_H
#define KOCCT_CORE_INTERNAL_H

#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <Standard_Failure.hxx>
#include <Standard_OutOfMemory.hxx>

#include "kocct/kernel.h"

namespace kocct {
namespace detail {

void clearError();
// Records text as the calling thread's last error and returns code.
int fail(int code, const std::string& text);
std::string noSuchPart(int tag);

// The process's one session. `mutex` guards everything here and is held
// across meshing, which attaches triangulations to shared geometry.
struct State {
  std::recursive_mutex mutex;
  bool started = false;
  ksample::Frustrum frustrum{};
  std::map<int, Part> parts;
  std::int64_t nextTag = 1;  // tags are never reused, not even across sessions
};
State& state();

// The part of tag, or null with kErrNoSuchPart recorded. Caller holds the mutex.
const Part* findPart(State& s, int tag);
// Enters the parts under new tags written to tags[0..n), all or none.
// Caller holds the mutex; kErrNotStarted, kErrNoTagsLeft.
int enterParts(State& s, std::vector<Part>& parts, int* tags);

// Checks a part as addPart accepts it; the reason in `why` when it does not.
bool validPart(const Part& part, std::string& why);
// The same for a part whose shape is known to be set and to have `faces` faces.
bool validPart(const Part& part, int faces, std::string& why);
int faceCountOf(const TopoDS_Shape& shape);

// Runs job() and returns its code; an exception becomes kErrNoMemory or
// kErrKernel with its message. OCCT's Standard_Failure is no std::exception,
// so it is caught on its own.
template <class Job>
int guarded(Job&& job) {
  try {
    return job();
  } catch (const std::bad_alloc&) {
    return fail(kErrNoMemory, "out of memory");
  } catch (const Standard_OutOfMemory&) {
    return fail(kErrNoMemory, "out of memory");
  } catch (const Standard_Failure& e) {
    const char* what = e.GetMessageString();
    return fail(kErrKernel, std::string("OCCT ") + e.DynamicType()->Name() +
                                (what && *what ? std::string(": ") + what : std::string()));
  } catch (const std::exception& e) {
    return fail(kErrKernel, e.what());
  } catch (...) {
    return fail(kErrKernel, "unknown exception");
  }
}

}  // namespace detail
}  // namespace kocct

#endif
