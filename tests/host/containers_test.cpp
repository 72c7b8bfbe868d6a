// Vectors: growth, length changes, removal, trimming, the memory account,
// element kinds, allocation failures and aliasing.
#include "host/MvBase.h"
#include "host/MvVec.h"
#include "host_test_util.h"

#include <climits>

using host_test::expectLastReport;
using host_test::HostTest;
using host_test::memoryInUse;

namespace {

class ContainersTest : public HostTest {};

class Counted : public MvBase {};

MvVec<int> fiveElements() {
  MvVec<int> v;
  const int e[5] = {10, 11, 12, 13, 14};
  v.append(e, 5);
  return v;
}

std::vector<int> contents(const MvVec<int>& v) { return std::vector<int>(v.begin(), v.end()); }

}  // namespace

TEST_F(ContainersTest, AppendGrowsGeometrically) {
  MvVec<int> v;
  EXPECT_EQ(v.ptr(), nullptr);
  std::vector<int> allocs;
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(v.append(i), 1u);
    allocs.push_back(v.allocatedLength());
  }
  EXPECT_EQ(allocs, (std::vector<int>{1, 2, 4, 4, 8, 8, 8, 8, 16, 16, 16, 16, 16, 16, 16, 16}));

  const int five[5] = {1, 2, 3, 4, 5};
  const int twenty[20] = {};
  MvVec<int> a;
  a.append(five, 5);
  EXPECT_EQ(a.allocatedLength(), 5);
  a.append(five, 1);
  EXPECT_EQ(a.allocatedLength(), 10);
  MvVec<int> b;
  b.append(five, 5);
  b.append(twenty, 20);
  EXPECT_EQ(b.allocatedLength(), 25);
  EXPECT_EQ(b.length(), 25);
  EXPECT_EQ(b.append(five, 0), 1u);
  EXPECT_EQ(b.append(five, -4), 1u);
  EXPECT_EQ(b.length(), 25);
}

TEST_F(ContainersTest, SetLengthGrowsExactlyAndZeroes) {
  MvVec<int> v(4);
  v.append(7);
  v.append(8);
  EXPECT_EQ(v.setLength(7), 1u);
  EXPECT_EQ(v.allocatedLength(), 7);
  EXPECT_EQ(contents(v), (std::vector<int>{7, 8, 0, 0, 0, 0, 0}));
  // Lengthening again within the storage makes new zero elements.
  v.setLength(1);
  v.setLength(3);
  EXPECT_EQ(contents(v), (std::vector<int>{7, 0, 0}));
  const long long before = memoryInUse();
  EXPECT_EQ(v.setLength(-3), 1u);
  EXPECT_EQ(v.length(), 0);
  EXPECT_EQ(v.allocatedLength(), 7);
  EXPECT_EQ(v.ptr(), nullptr);
  EXPECT_EQ(memoryInUse(), before);
}

TEST_F(ContainersTest, GrowingAccess) {
  MvVec<int> v(10);
  v.append(1);
  v.append(2);
  const long long before = memoryInUse();
  v[7] = 9;
  EXPECT_EQ(v.length(), 8);
  EXPECT_EQ(v.allocatedLength(), 10);
  EXPECT_EQ(memoryInUse(), before);
  EXPECT_EQ(contents(v), (std::vector<int>{1, 2, 0, 0, 0, 0, 0, 9}));

  MvVec<int> w(4);
  w[10] = 3;
  EXPECT_EQ(w.allocatedLength(), 11);
  EXPECT_EQ(w.length(), 11);
  EXPECT_EQ(w[0], 0);

  MvVec<int> e;
  int& first = e[-1];
  EXPECT_EQ(e.length(), 1);
  EXPECT_EQ(&first, e.ptr());
}

TEST_F(ContainersTest, Remove) {
  MvVec<int> v = fiveElements();
  EXPECT_EQ(v.remove(1, 2), 1u);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 13, 14}));

  v = fiveElements();
  EXPECT_EQ(v.remove(2, 100), 1u);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 11}));
  EXPECT_EQ(v.allocatedLength(), 5);

  v = fiveElements();
  EXPECT_EQ(v.remove(0, 0), 1u);
  EXPECT_EQ(v.remove(1, -1), 1u);
  EXPECT_EQ(contents(v), (std::vector<int>{10}));

  v = fiveElements();
  EXPECT_EQ(MvErrorState::reports().size(), 0u);
  EXPECT_EQ(v.remove(-1, 1), 0u);
  expectLastReport("MvVecBase", "remove", "MvVecBASE<T,S>::remove() -- start<0.", 1);
  EXPECT_EQ(v.remove(5, 1), 0u);
  expectLastReport("MvVecBase", "remove", "MvVecBASE<T,S>::remove() -- start>=this->len .", 1);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 11, 12, 13, 14}));

  // No report on an empty vector, and it stays empty.
  MvErrorState::clear();
  MvVec<int> empty;
  EXPECT_EQ(empty.remove(3, 1), 1u);
  EXPECT_EQ(empty.length(), 0);
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

  MvVec<int> v(8);
  EXPECT_EQ(memoryInUse(), base + 32);
  EXPECT_EQ(v.trim(), 1u);
  EXPECT_EQ(v.allocatedLength(), 0);
  EXPECT_EQ(v.begin(), nullptr);
  EXPECT_EQ(memoryInUse(), base);

  MvVec<int> w(8);
  w.append(fiveElements().ptr(), 3);
  EXPECT_EQ(w.trim(), 1u);
  EXPECT_EQ(w.allocatedLength(), 3);
  EXPECT_EQ(contents(w), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(memoryInUse(), base + 12);
}

TEST_F(ContainersTest, NestedVectorsCopyDeepAndRelease) {
  const long long base = memoryInUse();
  {
    MvAVec<MvIVec<int>> groups;
    MvIVec<int> g;
    g.append(4);
    groups.append(g);
    groups[3].append(5);  // growing access makes empty vectors up to 3
    EXPECT_EQ(groups.length(), 4);
    EXPECT_EQ(groups[1].length(), 0);
    MvAVec<MvIVec<int>> copy(groups);
    copy[0][0] = 40;
    EXPECT_EQ(groups[0][0], 4);
    EXPECT_EQ(copy[3][0], 5);
    groups.setLength(1);
    EXPECT_EQ(groups.remove(0, 1), 1u);
  }
  EXPECT_EQ(memoryInUse(), base);
}

TEST_F(ContainersTest, AutoPtrVecReferenceCounts) {
  MvAutoPtr<Counted> a = new Counted;
  MvAutoPtr<Counted> b = new Counted;
  {
    MvAutoPtrVec<Counted> v;
    v.append(a);
    v.append(b);
    EXPECT_EQ(a->refCount(), 2);
    for (int i = 0; i < 20; ++i) v.append(MvAutoPtr<Counted>());  // several regrowths
    EXPECT_EQ(a->refCount(), 2);
    EXPECT_EQ(b->refCount(), 2);
    v.setLength(1);
    EXPECT_EQ(a->refCount(), 2);
    EXPECT_EQ(b->refCount(), 1);
    v.append(v);  // self-append: one copy of each element
    EXPECT_EQ(v.length(), 2);
    EXPECT_EQ(a->refCount(), 3);
    MvAutoPtrVec<Counted> copy(v);
    EXPECT_EQ(a->refCount(), 5);
    v.remove(0, 1);
    EXPECT_EQ(a->refCount(), 4);
  }
  EXPECT_EQ(a->refCount(), 1);
}

TEST_F(ContainersTest, AllocationFailureLeavesVectorUnchanged) {
  MvVec<int> v = fiveElements();
  const long long before = memoryInUse();
  MvHeap::failAt(0);
  EXPECT_EQ(v.append(15), 0u);
  expectLastReport("MvVecBase", "reallocMem", "Allocation failed: p = new MvChar[cNewAllocBytes]", 20);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 11, 12, 13, 14}));
  EXPECT_EQ(v.allocatedLength(), 5);
  EXPECT_EQ(memoryInUse(), before);

  MvHeap::failAt(0);
  EXPECT_EQ(v.setLength(9), 0u);
  MvHeap::failAt(0);
  v.setLength(2);
  EXPECT_EQ(v.trim(), 0u);
  EXPECT_EQ(v.allocatedLength(), 5);
  MvHeap::failAt(0);
  MvVec<int> copy(v);
  EXPECT_EQ(copy.length(), 0);
  EXPECT_EQ(MvErrorState::reports().size(), 4u);
  EXPECT_EQ(MvErrorState::rethrowCount(), 4);
  EXPECT_EQ(memoryInUse(), before);
}

TEST_F(ContainersTest, SizesBeyond32BitsAreReported) {
  MvAVec<MvVec4<float>> v;
  const MvVec4<float> c{{1, 2, 3, 4}};
  v.append(c);
  EXPECT_EQ(v.setLength(200000000), 0u);  // 3.2e9 bytes
  expectLastReport("MvVecBase", "reallocMem", "Allocation failed: p = new MvChar[cNewAllocBytes]", 20);
  EXPECT_EQ(v.append(&c, INT_MAX), 0u);
  EXPECT_EQ(v.append(&c, 1 << 30), 0u);
  v[INT_MAX - 1] = c;
  EXPECT_EQ(MvErrorState::reports().size(), 4u);
  EXPECT_EQ(v.length(), 1);
  EXPECT_EQ(v.allocatedLength(), 1);
  EXPECT_TRUE(v[0] == c);
}

TEST_F(ContainersTest, SelfAppendCopiesTheOldContentsOnce) {
  MvVec<int> v;
  v.append(fiveElements().ptr(), 3);
  EXPECT_EQ(v.append(v), 1u);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 11, 12, 10, 11, 12}));
  // A source inside the vector's own full storage survives the regrowth.
  v.trim();
  EXPECT_EQ(v.append(v.ptr() + 4, 2), 1u);
  EXPECT_EQ(contents(v), (std::vector<int>{10, 11, 12, 10, 11, 12, 11, 12}));
}

TEST_F(ContainersTest, SmallVectorOperations) {
  const MvVec3<float> d = MvVec3<float>{{5, 7, 9}} - MvVec3<float>{{1, 2, 3}};
  EXPECT_EQ(d[0], 4.0f);
  EXPECT_EQ(d[2], 6.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE((MvVec4<float>{{0.0f, 1, 1, 1}} == MvVec4<float>{{-0.0f, 1, 1, 1}}));
  EXPECT_FALSE((MvVec4<float>{{1, 1, 1, 1}} == MvVec4<float>{{1, 1, 1, 0.5f}}));
  EXPECT_FALSE((MvVec4<float>{{nan, 1, 1, 1}} == MvVec4<float>{{nan, 1, 1, 1}}));
}
