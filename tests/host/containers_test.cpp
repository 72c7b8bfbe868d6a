// Vectors: growth, length changes, removal, trimming, the memory account,
// held references and refused or failed growth.
#include "host/MvBase.h"
#include "host/MvVec.h"
#include "host_test_util.h"

#include <algorithm>
#include <climits>
#include <thread>
#include <utility>
#include <vector>

using namespace host_test;

namespace {

using ContainersTest = HostTest;

const int kFive[5] = {10, 11, 12, 13, 14};

// Contents and allocated length.
using State = std::pair<std::vector<int>, int>;
State state(const MvVec<int>& v) { return {std::vector<int>(v.begin(), v.end()), v.allocatedLength()}; }

MvVec<int> vec(int allocLen, int len) {
  MvVec<int> v(allocLen);
  v.append(kFive, len);
  return v;
}

}  // namespace

TEST_F(ContainersTest, AppendGrowth) {
  MvVec<int> v;
  std::vector<int> allocs;
  for (int i = 0; i < 9; ++i) {
    v.append(i);
    allocs.push_back(v.allocatedLength());
  }
  EXPECT_EQ(allocs, (std::vector<int>{1, 2, 4, 4, 8, 8, 8, 8, 16}));
  // {elements in the full storage, elements appended, allocated length after}
  const int cases[][3] = {{0, 5, 5}, {5, 1, 10}, {5, 20, 25}};
  const int src[25] = {};
  for (const auto& c : cases) {
    MvVec<int> w(c[0]);
    w.append(src, c[0]);
    EXPECT_EQ(w.append(src, c[1]), 1u);
    EXPECT_EQ(state(w), State(std::vector<int>(c[0] + c[1]), c[2]));
  }
}

TEST_F(ContainersTest, SetLengthAndGrowingAccessZeroNewElements) {
  MvVec<int> v = vec(4, 2);
  EXPECT_EQ(v.setLength(7), 1u);
  EXPECT_EQ(state(v), State({10, 11, 0, 0, 0, 0, 0}, 7));
  v.setLength(1);
  v.setLength(3);  // lengthening within the storage zeroes too
  EXPECT_EQ(state(v), State({10, 0, 0}, 7));
  EXPECT_EQ(v.setLength(-3), 1u);
  EXPECT_EQ(state(v), State({}, 7));
  // {length, allocated length, index, allocated length after}
  const int cases[][4] = {{2, 10, 7, 10}, {0, 4, 10, 11}, {0, 0, -1, 1}};
  for (const auto& c : cases) {
    MvVec<int> w = vec(c[1], c[0]);
    const int at = std::max(c[2], 0);
    const int* element = &w[c[2]];
    EXPECT_EQ(element, w.ptr() + at);
    std::vector<int> expected(kFive, kFive + c[0]);
    expected.resize(at + 1);
    EXPECT_EQ(state(w), State(expected, c[3]));
  }
}

TEST_F(ContainersTest, Remove) {
  const std::vector<int> all(kFive, kFive + 5);
  const struct {
    int start, count;
    std::vector<int> left;
    const char* failure;
  } cases[] = {{1, 2, {10, 13, 14}, nullptr},
               {2, 100, {10, 11}, nullptr},
               {0, 0, all, nullptr},
               {1, -1, {10}, nullptr},
               {-1, 1, all, "MvVecBASE<T,S>::remove() -- start<0."},
               {5, 1, all, "MvVecBASE<T,S>::remove() -- start>=this->len ."}};
  for (const auto& c : cases) {
    MvErrorState::clear();
    MvVec<int> v = vec(5, 5);
    EXPECT_EQ(v.remove(c.start, c.count), c.failure ? 0u : 1u);
    EXPECT_EQ(state(v), State(c.left, 5));
    if (c.failure)
      expectLastReport("MvVecBase", "remove", c.failure, 1);
    else
      EXPECT_TRUE(MvErrorState::reports().empty());
  }
  MvErrorState::clear();
  MvVec<int> empty;
  EXPECT_EQ(empty.remove(3, 1), 1u);  // no report, stays empty
  EXPECT_EQ(state(empty), State({}, 0));
  EXPECT_TRUE(MvErrorState::reports().empty());
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
    EXPECT_EQ(state(v), State(std::vector<int>(kFive, kFive + len), len));
    EXPECT_EQ(memoryInUse(), base + 4 * len);
  }
  MvVec<int> full = vec(3, 3);
  EXPECT_EQ(full.append(full), 1u);  // self-append copies the old contents once
  EXPECT_EQ(full.append(full.ptr() + 4, 2), 1u);  // from the full storage being replaced
  EXPECT_EQ(state(full), State({10, 11, 12, 10, 11, 12, 11, 12}, 12));
}

TEST_F(ContainersTest, AutoPtrVecReferenceCounts) {
  MvAutoPtr<MvBase> a = new MvBase;
  MvAutoPtr<MvBase> b = new MvBase;
  {
    MvAutoPtrVec<MvBase> v;
    v.append(a);
    v.append(b);
    for (int i = 0; i < 20; ++i) v.append(MvAutoPtr<MvBase>());  // several regrowths
    EXPECT_EQ(a->refCount() + 10 * b->refCount(), 22);
    v.setLength(1);
    EXPECT_EQ(a->refCount() + 10 * b->refCount(), 12);
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
    EXPECT_EQ(op(v), 0u);
    expectLastReport("MvVecBase", "reallocMem", kAllocFailed, 20);
    EXPECT_EQ(MvErrorState::rethrowCount(), n);
    EXPECT_EQ(state(v), State(std::vector<int>(kFive, kFive + 5), 6));
    EXPECT_EQ(memoryInUse(), before);
  }
}

// A refused growing access yields the thread's scratch element: what is
// written there is dropped at the next such access, and a thread that ends
// holding a written scratch element ends cleanly.
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
