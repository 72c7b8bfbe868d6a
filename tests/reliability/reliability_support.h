// What the reliability tests share: the sample application per test, checks that nothing is left behind.
#ifndef MV_TESTS_RELIABILITY_SUPPORT_H
#define MV_TESTS_RELIABILITY_SUPPORT_H

#include "app/demo_model.h"
#include "app/sample_app.h"
#include "support/app_test.h"
#include "support/elements.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace rel {

using testfiles::elementOf;
using testfiles::flipped;
using testfiles::libraryIdle;
using testfiles::partsOf;
using testfiles::readAll;
using testfiles::tagVec;
using testfiles::tempPath;

// One ownership flag per part.
inline bool partsConsistent(const MvKMBrep& e) { return e.kmPart().length() == e.kmPartOwnerFlags().length(); }

// Whether b's parts are kernel bodies equal, in order, to a's.
inline bool sameBodies(const std::vector<int>& a, const std::vector<int>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](int x, int y) { return ksample::sameBody(x, y); });
}

inline MvKMBrep::KmBrepTessParams params(int level = 0) {
  MvKMBrep::KmBrepTessParams p{};
  MvKMBrep::initializeTessParam(p, level);
  return p;
}

inline std::string firstReport() {
  const std::vector<MvErrorReport>& r = MvErrorState::reports();
  return r.empty() ? "(no report)" : r[0].className + "::" + r[0].operation + ": " + r[0].condition + " (" + std::to_string(r[0].code) + ")";
}

// The record in s reads back into bodies equal to `parts`.
inline void expectReadsBack(MvMemoryStream& s, const std::vector<int>& parts) {
  ASSERT_EQ(s.seek(0), 1u);
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  ASSERT_EQ(back->deserialize(s), 1u) << firstReport();
  EXPECT_TRUE(sameBodies(parts, partsOf(*back)));
}

// The element is consistent and round-trips into equal bodies.
inline void expectWorks(const MvKMBrep& e) {
  EXPECT_TRUE(partsConsistent(e));
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(e.serialize(*s), 1u) << firstReport();
  expectReadsBack(*s, partsOf(e));
}

// Writes the elements into a host file at `path`, reads back every object it holds and removes it; false when a
// step fails or gives no object, with what was read until then.
inline bool throughHostFile(const std::string& path, std::initializer_list<const MvKMBrep*> elements,
                            std::vector<MvAutoPtr<MvKMBrep>>& back) {
  MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
  bool ok = out != nullptr;
  for (const MvKMBrep* e : elements) ok = ok && out->writeObject(e);
  ok = ok && out->close();
  out = nullptr;
  MvAutoPtr<MvFileStream> in(ok ? MvFileStream::open(path.c_str()) : nullptr);
  while (ok && in && !in->atEnd()) {
    MvAutoPtr<MvBase> obj;
    ok = in->readObject(obj) && obj;
    if (ok) back.emplace_back(static_cast<MvKMBrep*>(obj.get()));
  }
  std::remove(path.c_str());
  return ok && in;
}

inline long long triangles(const MvAutoPtrVec<MvTriStripSet>& sets) {
  long long n = 0;
  for (int i = 0; i < sets.length(); ++i) n += sets[i]->triangleCount();
  return n;
}

// Prints a measured figure so that a run's log can be quoted.
inline void noteFigure(const std::string& what, long long value) {
  std::printf("[ figure   ] %s: %lld\n", what.c_str(), value);
  ::testing::Test::RecordProperty(what, std::to_string(value));
}

// Names the runs of a test with failures reported and with reports thrown.
inline std::string modeName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Throwing" : "Reporting";
}

// The sample application (library, kernel session, callbacks) per test.
using AppTest = testfiles::AppTest<ksamplehost::SampleApp, ksamplehost::Options, ksample::bodyCount>;

}  // namespace rel

#endif
