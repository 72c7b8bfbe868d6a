// Shared pieces of the reliability tests: the sample application brought up
// per test, the checks that the library left nothing behind (lock, current
// host stream, open streams, kernel bodies, memory account), and the sweep
// that makes each allocation of an operation fail in turn.
#ifndef MV_TESTS_RELIABILITY_SUPPORT_H
#define MV_TESTS_RELIABILITY_SUPPORT_H

#include "app/demo_model.h"
#include "app/sample_app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace rel {

// A path in the tests' scratch directory, unique to this process, since
// test cases may run in parallel processes.
inline std::string tempPath(const std::string& name) {
  const char* dir = std::getenv("MV_TEST_TMP");
  static const std::string run = std::to_string(std::random_device{}());
  return std::string(dir && *dir ? dir : "/tmp") + "/" + name + "_" + run;
}

inline int lockDepth() { return MvKMBrep::s_pKorvaniteMutex ? MvKMBrep::s_pKorvaniteMutex->heldDepth() : 0; }

// The library holds nothing between operations: the kernel lock is free, no
// host stream is current and no frustrum stream is open.
inline ::testing::AssertionResult libraryIdle() {
  if (lockDepth() != 0) return ::testing::AssertionFailure() << "kernel lock held, depth " << lockDepth();
  if (mvFrustrumHasHostStream() != 0) return ::testing::AssertionFailure() << "gKmStream still holds a stream";
  if (mvFrustrumOpenStreamCount() != 0)
    return ::testing::AssertionFailure() << mvFrustrumOpenStreamCount() << " frustrum streams left open";
  return ::testing::AssertionSuccess();
}

// One ownership flag per part.
inline ::testing::AssertionResult partsConsistent(const MvKMBrep& e) {
  if (e.kmPart().length() == e.kmPartOwnerFlags().length()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << e.kmPart().length() << " tags but " << e.kmPartOwnerFlags().length()
                                       << " flags";
}

inline std::vector<int> partsOf(const MvKMBrep& e) {
  return std::vector<int>(e.kmPart().begin(), e.kmPart().end());
}

// Whether b's parts are kernel bodies equal, in order, to a's.
inline bool sameBodies(const std::vector<int>& a, const std::vector<int>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!ksample::sameBody(a[i], b[i])) return false;
  return true;
}

inline MvVec<int> tagVec(const std::vector<int>& tags) {
  MvVec<int> v;
  v.append(tags.data(), static_cast<int>(tags.size()));
  return v;
}

// An element owning the given bodies; null when the element or its list
// cannot be allocated.
inline MvAutoPtr<MvKMBrep> elementOf(const std::vector<int>& tags) {
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  if (e && !e->appendKmPart(tagVec(tags), 0)) e = nullptr;
  return e;
}

inline bool reportedCode(int code) {
  for (const MvErrorReport& r : MvErrorState::reports())
    if (r.code == code) return true;
  return false;
}

inline std::string firstReport() {
  const std::vector<MvErrorReport>& r = MvErrorState::reports();
  if (r.empty()) return "(no report)";
  return r[0].className + "::" + r[0].operation + ": " + r[0].condition + " (" + std::to_string(r[0].code) + ")";
}

// Prints a measured figure (allocation sites swept, round trips, rows) so
// that a run's log can be quoted.
inline void noteFigure(const std::string& what, long long value) {
  std::printf("[ figure   ] %s: %lld\n", what.c_str(), value);
  ::testing::Test::RecordProperty(what, std::to_string(value));
}

// Stops injecting; true when the armed failure happened.
inline bool disarmSeam() {
  const bool injected = MvHeap::injectedFailures() > 0;
  MvHeap::disarm();
  return injected;
}

// Calls trial(n) for n = 0, 1, 2, ...: each trial arms MvHeap::failAt(n)
// right before its operation and returns disarmSeam(). The sweep ends with
// the first trial whose operation finished before its nth allocation, so
// every allocation of the operation has failed once. Returns the number of
// allocation sites swept.
inline long long sweepAllocations(const std::function<bool(long long n)>& trial) {
  constexpr long long kLimit = 20000;
  for (long long n = 0; n < kLimit; ++n) {
    if (!trial(n)) return n;
    if (::testing::Test::HasFatalFailure()) return n;
  }
  ADD_FAILURE() << "the operation did not end within " << kLimit << " allocations";
  return kLimit;
}

// The sample application (library, kernel session, callbacks) for one test,
// and the state every test must leave as it found it.
class AppTest : public ::testing::Test {
 protected:
  virtual ksamplehost::Options options() const { return ksamplehost::Options(); }
  void SetUp() override {
    app = std::make_unique<ksamplehost::SampleApp>(options());
    ASSERT_TRUE(app->ok()) << app->error();
    MvErrorState::clear();
    memoryAtStart = MvPlatform::instance()->memoryInUse();
  }
  void TearDown() override {
    MvHeap::disarm();
    MvErrorState::setThrowOnError(false);
    EXPECT_TRUE(libraryIdle());
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
    app.reset();
  }
  std::unique_ptr<ksamplehost::SampleApp> app;
  long long memoryAtStart = 0;
};

}  // namespace rel

#endif
