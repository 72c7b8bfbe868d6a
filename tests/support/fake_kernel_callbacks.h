// Recording doubles for the element's kernel callbacks: they remember every call with its arguments, hand out
// fresh tags for copies, and can be told to fail or throw at a given call.
#ifndef MV_TESTS_FAKE_KERNEL_CALLBACKS_H
#define MV_TESTS_FAKE_KERNEL_CALLBACKS_H

#include "MvKMBrep61.h"
#include "support/elements.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace fake {

struct Calls {
  std::vector<std::vector<int>> released;  // one entry per release call
  std::vector<int> copiedFrom;             // source tag of each copy call
  int nextCopyTag = 1000;
  int failCopyAt = -1;   // 0-based index of the copy call that fails
  int throwCopyAt = -1;  // 0-based index of the copy call that throws
  bool throwOnRelease = false;
  std::vector<std::pair<int, bool>> releaseArgs;  // each release call's count and whether its tags were null
};

inline Calls& calls() {
  static Calls c;
  return c;
}

inline unsigned release(int count, const int* tags) {
  Calls& c = calls();
  c.releaseArgs.emplace_back(count, tags == nullptr);
  c.released.emplace_back(tags, tags + (tags ? count : 0));
  if (c.throwOnRelease) throw std::runtime_error("release failed");
  return 1;
}

inline unsigned copy(int tag, int& out) {
  Calls& c = calls();
  const int index = static_cast<int>(c.copiedFrom.size());
  c.copiedFrom.push_back(tag);
  if (index == c.throwCopyAt) throw std::runtime_error("copy failed");
  if (index == c.failCopyAt) return 0;
  out = c.nextCopyTag++;
  return 1;
}

// Clears every registration and the record of calls.
inline void reset() {
  calls() = Calls();
  MvKMBrep::setKmReadCallback(nullptr);
  MvKMBrep::setKmWriteCallback(nullptr);
  MvKMBrep::setKmSplitCallback(nullptr);
  MvKMBrep::setKmReleaseCallback(nullptr);
  MvKMBrep::setKmVersionCallback(nullptr);
  MvKMBrep::setKmTessCallback(nullptr);
  MvKMBrep::setKmEdgeTessCallback(nullptr);
  MvKMBrep::setKmBBoxCallback(nullptr);
  MvKMBrep::setKmBodyColorCallback(nullptr);
  MvKMBrep::setKmMemoryRelCallback(nullptr);
  MvKMBrep::setKmCopyCallback(nullptr);
  MvKMBrep::setKmGoCallback(nullptr);
  MvKMBrep::setWriteNominalGeom(0);
  MvErrorState::clear();
  MvErrorState::setThrowOnError(false);
  MvHeap::disarm();
}

inline MvVec<int> tags(std::initializer_list<int> list) { return testfiles::tagVec(list); }

// An element holding the given parts, each with the owner flag given.
inline MvAutoPtr<MvKMBrep> element(std::initializer_list<int> parts = {}, unsigned flag = 0) {
  MvAutoPtr<MvKMBrep> e = new MvKMBrep();
  EXPECT_EQ(e->appendKmPart(tags(parts), flag), 1u);
  return e;
}

template <class T>
std::vector<T> toStd(const MvVec<T>& v) { return std::vector<T>(v.begin(), v.end()); }

// A report's class, operation, condition and code.
using Report = std::tuple<std::string, std::string, std::string, int>;

// Every report of this thread.
inline std::vector<Report> reports() {
  std::vector<Report> out;
  for (const auto& r : MvErrorState::reports()) out.emplace_back(r.className, r.operation, r.condition, r.code);
  return out;
}

// What a call gave and left, as text: its result, this thread's reports (then cleared) and the rethrow count.
inline std::string outcome(unsigned result) {
  std::string s = "result " + std::to_string(result) + "; ";
  for (const MvErrorReport& r : MvErrorState::reports())
    s += r.className + "::" + r.operation + ": " + r.condition + " (" + std::to_string(r.code) + "); ";
  s += "rethrown " + std::to_string(MvErrorState::rethrowCount());
  MvErrorState::clear();
  return s;
}

// Library initialised and every registration but the recording release callback cleared for each test, which
// must leave the memory account where it started.
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MvKMBrepLib::init();
    reset();
    MvKMBrep::setKmReleaseCallback(release);
    memoryAtStart = MvPlatform::instance()->memoryInUse();
  }
  void TearDown() override {
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart) << "host memory left behind";
    reset();
    MvKMBrepLib::fini();
  }
  long long memoryAtStart = 0;
};

}  // namespace fake

#endif
