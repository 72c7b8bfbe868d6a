// Vectors (growth, length changes, removal, trimming, the memory account, held references, refused growth), auto
// pointers, stride iterators, GUIDs, the type registry, per-thread reports and the timed mutex.
#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvErrorState.h"
#include "host/MvLib.h"
#include "host/MvMutex.h"
#include "host/MvShapeDataIter.h"
#include "host/MvVec.h"
#include "host_test_util.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace host_test;

namespace {

using ContainersTest = HostTest;
using ObjectsTest = HostTest;
using ErrorMutexTest = HostTest;

const int kFive[5] = {10, 11, 12, 13, 14};

// Contents and allocated length.
using State = std::pair<std::vector<int>, int>;
State state(const MvVec<int>& v) { return {std::vector<int>(v.begin(), v.end()), v.allocatedLength()}; }
std::vector<int> five(int n) { return std::vector<int>(kFive, kFive + n); }

MvVec<int> vec(int allocLen, int len) {
  MvVec<int> v(allocLen);
  v.append(kFive, len);
  return v;
}

std::vector<std::string> gLog;

// Logs its reference traffic; may hold a reference to another object.
struct Logged : MvBase {
  explicit Logged(std::string n, Logged* i = nullptr) : name(std::move(n)), inner(i) {}
  ~Logged() override { gLog.push_back("delete " + name); }
  void _ref() const override { gLog.push_back("ref " + name), MvBase::_ref(); }
  void _unref() const override { gLog.push_back("unref " + name), MvBase::_unref(); }
  std::string name;
  MvAutoPtr<Logged> inner;
};

constexpr _MvIID kSampleIID = mvMakeIID(0x873A70E0, 0x2AC9, 0x11D1, 0x9B, 0x6B, 0x00, 0x80, 0xC7, 0xBB, 0x59, 0x97);
constexpr _MvIID kChildIID = mvMakeIID(0x1B2C3D4E, 0x0001, 0x0002, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80);

}  // namespace

TEST_F(ContainersTest, GrowthAndLengthChanges) {
  MvVec<int> v;
  std::vector<int> allocs;
  for (int i = 0; i < 9; ++i) allocs.push_back((v.append(i), v.allocatedLength()));
  EXPECT_EQ(allocs, (std::vector<int>{1, 2, 4, 4, 8, 8, 8, 8, 16}));
  // Appending to full storage: {elements in it, elements appended, allocated length after}.
  const int appends[][3] = {{0, 5, 5}, {5, 1, 10}, {5, 20, 25}};
  const int src[25] = {};
  for (const auto& c : appends) {
    MvVec<int> w(c[0]);
    w.append(src, c[0]);
    EXPECT_EQ(w.append(src, c[1]), 1u);
    EXPECT_EQ(state(w), State(std::vector<int>(c[0] + c[1]), c[2]));
  }

  // New elements are zero, also when lengthening within the storage.
  MvVec<int> w = vec(4, 2);
  const std::pair<int, std::vector<int>> lengths[] = {{7, {10, 11, 0, 0, 0, 0, 0}}, {1, {10}}, {3, {10, 0, 0}},
                                                       {-3, {}}};
  for (const auto& [length, left] : lengths) {
    EXPECT_EQ(w.setLength(length), 1u);
    EXPECT_EQ(state(w), State(left, 7));
  }
  // Growing access: {length, allocated length, index, allocated length after}.
  const int accesses[][4] = {{2, 10, 7, 10}, {0, 4, 10, 11}, {0, 0, -1, 1}};
  for (const auto& c : accesses) {
    MvVec<int> a = vec(c[1], c[0]);
    const int at = std::max(c[2], 0);
    const int* element = &a[c[2]];
    EXPECT_EQ(element, a.ptr() + at);
    std::vector<int> expected = five(c[0]);
    expected.resize(at + 1);
    EXPECT_EQ(state(a), State(expected, c[3]));
  }
}

TEST_F(ContainersTest, Remove) {
  // {length, start, count, what is left, report}: an empty vector stays empty without a report.
  const struct {
    int len, start, count;
    std::vector<int> left;
    const char* failure;
  } cases[] = {{5, 1, 2, {10, 13, 14}, nullptr}, {5, 2, 100, {10, 11}, nullptr}, {5, 0, 0, five(5), nullptr},
               {5, 1, -1, {10}, nullptr}, {0, 3, 1, {}, nullptr},
               {5, -1, 1, five(5), "MvVecBASE<T,S>::remove() -- start<0."},
               {5, 5, 1, five(5), "MvVecBASE<T,S>::remove() -- start>=this->len ."}};
  for (const auto& c : cases) {
    MvErrorState::clear();
    MvVec<int> v = vec(5, c.len);
    EXPECT_EQ(v.remove(c.start, c.count), c.failure ? 0u : 1u);
    EXPECT_EQ(state(v), State(c.left, 5));
    EXPECT_EQ(MvErrorState::reports().size(), c.failure ? 1u : 0u);
    if (c.failure) expectLastReport("MvVecBase", "remove", c.failure, 1);
  }
}

TEST_F(ContainersTest, TrimAndMemoryAccount) {
  const long long base = memoryInUse();
  {
    MvAVec<MvVec3<float>> points(3);
    EXPECT_EQ(memoryInUse(), base + 36);
    points.setLength(2);
  }
  EXPECT_EQ(memoryInUse(), base);
  for (int len : {0, 3}) {
    MvVec<int> v = vec(8, len);
    EXPECT_EQ(memoryInUse(), base + 32);
    EXPECT_EQ(v.trim(), 1u);
    EXPECT_EQ(state(v), State(five(len), len));
    EXPECT_EQ(memoryInUse(), base + 4 * len);
  }
  MvVec<int> full = vec(3, 3);
  EXPECT_EQ(full.append(full), 1u);  // self-append copies the old contents once
  EXPECT_EQ(state(full), State({10, 11, 12, 10, 11, 12}, 6));
}

TEST_F(ContainersTest, AutoPtrVecReferenceCounts) {
  MvAutoPtr<MvBase> a = new MvBase, b = new MvBase;
  {
    MvAutoPtrVec<MvBase> v;
    v.append(a);
    v.append(b);
    for (int i = 0; i < 20; ++i) v.append(MvAutoPtr<MvBase>());  // several regrowths
    EXPECT_EQ(a->refCount(), 2);
    EXPECT_EQ(b->refCount(), 2);
    v.setLength(1);
    EXPECT_EQ(a->refCount(), 2);
    EXPECT_EQ(b->refCount(), 1);
    v.append(v);
    EXPECT_EQ(v.length(), 2);
    EXPECT_EQ(a->refCount(), 3);
  }
  EXPECT_EQ(a->refCount(), 1);
}

TEST_F(ContainersTest, RefusedOrFailedGrowthLeavesVectorUnchanged) {
  MvVec<int> v = vec(6, 5);
  const long long before = memoryInUse();
  // Sizes beyond 2^31 bytes are refused; the last four meet a failing allocation.
  unsigned (*const ops[])(MvVec<int>&) = {[](MvVec<int>& w) { return w.setLength(600000000); },
                                          [](MvVec<int>& w) { return w.append(kFive, INT_MAX); },
                                          [](MvVec<int>& w) { return w.append(kFive, 1 << 30); },
                                          [](MvVec<int>& w) { return unsigned(w[INT_MAX - 1] = 0); },
                                          [](MvVec<int>& w) { return w.append(kFive, 2); },
                                          [](MvVec<int>& w) { return w.setLength(9); },
                                          [](MvVec<int>& w) { return w.trim(); },
                                          [](MvVec<int>& w) { return unsigned(MvVec<int>(w).length()); }};
  int n = 0;
  for (auto op : ops) {
    if (++n > 4) MvHeap::failAt(0);
    expectRefused(op(v), "MvVecBase", "reallocMem", kAllocFailed, 20);
    EXPECT_EQ(MvErrorState::rethrowCount(), n);
    EXPECT_EQ(state(v), State(five(5), 6));
    EXPECT_EQ(memoryInUse(), before);
  }
}

// A refused growing access yields the thread's scratch element: what is written there is dropped at the next
// such access, and a thread that ends holding a written scratch element ends cleanly.
TEST_F(ContainersTest, RefusedGrowingAccessWritesAreDropped) {
  std::thread([] {
    MvVec<MvVec<int>> outer;
    const long long before = memoryInUse();
    outer[INT_MAX - 1].append(kFive, 5);
    EXPECT_GT(memoryInUse(), before);
    EXPECT_EQ(outer[INT_MAX - 1].length(), 0);
    EXPECT_EQ(memoryInUse(), before);
    EXPECT_EQ(outer.length(), 0);
    expectLastReport("MvVecBase", "reallocMem", kAllocFailed, 20);
    outer[INT_MAX - 1].append(kFive, 3);
  }).join();
}

// A range from the vector's storage past its elements is refused; one inside them is appended, also on growth.
TEST_F(ContainersTest, AppendFromTheVectorItself) {
  MvVec<int> v = vec(8, 4);
  const char* const kPastEnd = "src + n <= end() for a source inside the vector";
  expectRefused(v.append(v.ptr() + 1, 4), "MvVecBase", "append", kPastEnd, 1);
  expectRefused(v.append(v.begin() + 5, 1), "MvVecBase", "append", kPastEnd, 1);
  EXPECT_EQ(state(v), State(five(4), 8));
  EXPECT_EQ(v.append(v.ptr() + 1, 3), 1u);
  EXPECT_EQ(v.append(v.ptr() + 4, 3), 1u);  // the storage doubles first
  EXPECT_EQ(state(v), State({10, 11, 12, 13, 11, 12, 13, 11, 12, 13}, 16));
}

// Vectors of vectors: a failed inner copy fails the whole copy or append, reported or thrown, leaving no memory.
TEST_F(ContainersTest, FailedInnerCopyFailsTheOuterOne) {
  MvAVec<MvIVec<int>> outer;
  for (int i = 0; i < 3; ++i) {
    MvIVec<int> inner;
    inner.append(kFive, 2);
    outer.append(inner);
  }
  // Each makes its own block first, then one per inner vector: the second inner one fails.
  int (*const ops[])(const MvAVec<MvIVec<int>>&) = {
      [](const MvAVec<MvIVec<int>>& o) { return MvAVec<MvIVec<int>>(o).length(); },
      [](const MvAVec<MvIVec<int>>& o) {
        MvAVec<MvIVec<int>> target;
        return target.append(o) ? target.length() : -target.length();
      }};
  for (bool throwing : {false, true}) {
    for (auto op : ops) {
      const long long before = memoryInUse();
      MvErrorState::clear();
      MvErrorState::setThrowOnError(throwing);
      MvHeap::failAt(2);
      int result = -1;
      try {
        result = op(outer);
      } catch (const MvError&) {
        result = -2;
      }
      MvHeap::disarm();
      MvErrorState::setThrowOnError(false);
      EXPECT_EQ(result, throwing ? -2 : 0);
      expectLastReport("MvVecBase", "reallocMem", kAllocFailed, 20);
      EXPECT_EQ(memoryInUse(), before);
    }
  }
}

TEST_F(ObjectsTest, AssignmentTakesTheNewReferenceFirst) {
  gLog.clear();
  // The old object holds the only reference to the new one: assignment must not destroy it on the way.
  Logged* inner = new Logged("inner");
  MvAutoPtr<Logged> outer = new Logged("outer", inner);
  outer = inner;
  EXPECT_EQ(inner->refCount(), 1);
  outer = inner;  // same pointer: no traffic
  EXPECT_EQ(gLog, (std::vector<std::string>{"ref inner", "ref outer", "ref inner", "unref outer", "delete outer",
                                             "unref inner"}));
}

TEST_F(ObjectsTest, StrideIterators) {
  float data[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  MvStrideIter<float, 3> it(data, 3, 3, nullptr);
  EXPECT_EQ(it.get(), nullptr);
  for (const float* expected : {data, data + 3, data + 6, static_cast<float*>(nullptr), static_cast<float*>(nullptr)})
    EXPECT_EQ(it.next(1), expected);
  it.reset();
  EXPECT_EQ(it.next(2), data + 3);
  // Far steps stop outside the elements instead of wrapping round.
  for (int step : {INT_MAX, INT_MAX, -INT_MAX}) EXPECT_EQ(it.next(step), nullptr);
  EXPECT_EQ((MvStrideIter<float, 3>(nullptr, 3, 3, nullptr).next(1)), nullptr);  // no data

  // The iterator holds a reference to the owner of its data.
  MvAutoPtr<MvBase> first = new MvBase, second = new MvBase;
  {
    MvStrideIter<float, 3> owned(data, 1, 3, first);
    EXPECT_EQ(first->refCount(), 2);
    owned.next(1);
    EXPECT_EQ(owned.set(data + 3, 1, 3, second), 1u);
    EXPECT_EQ(first->refCount(), 1);
    EXPECT_EQ(second->refCount(), 2);
    EXPECT_EQ(owned.next(1), data + 3);  // set() starts before the first element
  }
  EXPECT_EQ(second->refCount(), 1);
}

TEST_F(ObjectsTest, GuidsAndTypeRegistry) {
  const MvGUID g(kSampleIID);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(g.bytes()), 16),
            std::string("\xE0\x70\x3A\x87\xC9\x2A\xD1\x11\x9B\x6B\x00\x80\xC7\xBB\x59\x97", 16));
  EXPECT_EQ(g.toString(), "{873A70E0-2AC9-11D1-9B6B-0080C7BB5997}");
  EXPECT_TRUE(MvGUID().isNull());
  EXPECT_TRUE(!g.isNull());
  EXPECT_TRUE(g != MvGUID(kChildIID));

  MvLib::init();
  MvType* raw = nullptr;
  MvBase::createMvType(raw, g, MvString("Sample"), *MvBase::__type, [] { return new MvBase; });
  std::unique_ptr<MvType> sample(raw);
  ASSERT_NE(sample, nullptr);
  MvBase::createMvType(raw, MvGUID(kChildIID), MvString("Child"), *sample, nullptr);
  std::unique_ptr<MvType> child(raw);
  EXPECT_EQ(child->isA(*sample), 1u);
  EXPECT_EQ(child->isA(*MvBase::__type), 1u);
  EXPECT_EQ(sample->isA(*child), 0u);
  EXPECT_EQ(MvType::find(g), sample.get());
  EXPECT_NE(MvAutoPtr<MvBase>(MvType::createInstance(g)).get(), nullptr);
  EXPECT_EQ(MvType::createInstance(MvGUID(kChildIID)), nullptr);  // no factory
  child.reset();
  sample.reset();
  EXPECT_EQ(MvType::find(g), nullptr);
  EXPECT_EQ(MvType::createInstance(g), nullptr);
  MvLib::fini();
}

TEST_F(ErrorMutexTest, ReportsArePerThreadAndCanThrow) {
  MvErrorState::throwStdError("MvKMBrep", "op", "a != NULL", 5);
  MvErrorState::rethrowError();
  expectLastReport("MvKMBrep", "op", "a != NULL", 5);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  // Another thread starts with no reports, and its own stay there.
  std::thread([] {
    EXPECT_TRUE(MvErrorState::reports().empty());
    MvErrorState::throwStdError("X", "y", "z", 1);
  }).join();
  EXPECT_EQ(MvErrorState::reports().size(), 1u);

  MvErrorState::clear();
  EXPECT_EQ(MvErrorState::rethrowCount(), 0);
  MvErrorState::setThrowOnError(true);
  EXPECT_THAT([] { MvErrorState::throwStdError("MvVecBase", "remove", "start<0", 1); },
              ::testing::ThrowsMessage<MvError>("MvVecBase::remove: start<0 (code 1)"));
  EXPECT_EQ(MvErrorState::reports().size(), 1u);  // recorded before it was thrown
}

TEST_F(ErrorMutexTest, MutexRecursionTimeOutAndOwnership) {
  MvMutex m;
  EXPECT_FALSE(m.relock());
  EXPECT_EQ(m.lock(0), 1u);
  EXPECT_FALSE(m.unlockNested());
  EXPECT_EQ(m.lock(MvMutex::kInfinite), 1u);
  EXPECT_TRUE(m.relock());
  EXPECT_EQ(m.heldDepth(), 3);
  // Another thread can neither unlock it nor take it within 50 ms.
  std::thread([&m] {
    EXPECT_FALSE(m.relock());
    EXPECT_FALSE(m.unlockNested());
    EXPECT_EQ(m.unlock(), 0u);
    EXPECT_EQ(m.lock(50), 0u);
  }).join();
  EXPECT_EQ(m.heldDepth(), 3);
  EXPECT_TRUE(m.unlockNested());
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_FALSE(m.unlockNested());
  EXPECT_EQ(m.unlock(), 1u);
  EXPECT_EQ(m.unlock(), 0u);
}
