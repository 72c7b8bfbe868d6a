// Vectors, auto pointers, stride iterators, GUIDs, the type registry, reports, the mutex; tri-strip sets, polylines.
#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvErrorState.h"
#include "host/MvLib.h"
#include "host/MvMutex.h"
#include "host/MvShapeDataIter.h"
#include "host/MvShapes.h"
#include "host/MvVec.h"
#include "host_test_util.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <climits>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

using namespace host_test;

namespace {

using ContainersTest = HostTest;
using ObjectsTest = HostTest;
using ErrorMutexTest = HostTest;
using ShapesTest = HostTest;

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

constexpr MvVertexShape::Binding kPer = MvVertexShape::MV_BIND_PER_VERTEX;
constexpr MvVertexShape::Binding kNone = MvVertexShape::MV_BIND_NONE;

std::vector<float> floats(const float* p, int n) { return p ? std::vector<float>(p, p + n) : std::vector<float>(); }

// Data of vertices first.. first+n-1, `size` floats each, all equal to base + the vertex number.
std::vector<float> run(int first, int n, int size, float base) {
  std::vector<float> out;
  for (int i = first; i < first + n; ++i) out.insert(out.end(), size, base + static_cast<float>(i));
  return out;
}

// Vertices first.. first+n-1 with normals, texture coordinates and colours offset by 100, 200 and 300.
unsigned addStrip(MvTriStripSet& shape, int first, int n) {
  return shape.addStrip(run(first, n, 3, 0).data(), run(first, n, 3, 100).data(), run(first, n, 2, 200).data(),
                        run(first, n, 3, 300).data(), n);
}

// The vertex numbers of a triangle's corners, checked against their other data (zeros where the shape has none).
std::array<int, 3> corners(const MvTriangle* t, bool bound) {
  std::array<int, 3> ids{-1, -1, -1};
  for (int c = 0; t && c < 3; ++c) {
    ids[c] = static_cast<int>(t->vertices[c][2]);
    const float i = static_cast<float>(ids[c]);
    const std::vector<float> want = bound ? std::vector<float>{100 + i, 200 + i, 300 + i} : std::vector<float>(3);
    EXPECT_EQ((std::vector<float>{t->normals[c][0], t->texCoords[c][1], t->colors[c][2]}), want);
  }
  return ids;
}

// A stride iterator the shape can only walk through its virtual operations.
template <int N>
struct DerivedIter : MvStrideIter<float, N> {
  using MvStrideIter<float, N>::MvStrideIter;
};
template <int N>
using PlainIter = MvStrideIter<float, N>;

// Adds one primitive read through Iter to a shape with texture coordinates only; a case is {vertex offset in
// data (-1: none), count, stride, texture coordinate offset, count, stride}. Gives what it did and reported.
using Case = std::array<int, 6>;
template <template <int> class Iter>
auto addThrough(const float* data, const Case& c) {
  MvErrorState::clear();
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kNone, kPer, kNone);
  Iter<3> vertices(c[0] < 0 ? nullptr : data + c[0], c[1], c[2], nullptr), normals, colors;
  Iter<2> texCoords(c[3] < 0 ? nullptr : data + c[3], c[4], c[5], nullptr);
  vertices.next(1);  // addPrimitive starts from reset
  const unsigned result = shape->addPrimitive(vertices, normals, texCoords, colors, 0);
  const auto& r = MvErrorState::reports();
  return std::make_tuple(result, floats(shape->vertices(), 3 * shape->vertexCount()),
                         floats(shape->texCoords(), 2 * shape->vertexCount()), vertices.get(), texCoords.get(),
                         r.empty() ? std::string() : r.back().condition);
}

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

TEST_F(ShapesTest, StripsBecomeTrianglesOfOneOrientation) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kPer, kPer);
  ASSERT_EQ(addStrip(*shape, 0, 5), 1u);
  ASSERT_EQ(addStrip(*shape, 5, 3), 1u);
  EXPECT_EQ(shape->stripCount(), 2);
  EXPECT_EQ(shape->stripStart(1), 5);
  EXPECT_EQ(shape->stripLength(1), 3);
  EXPECT_EQ(shape->stripLength(2), 0);
  EXPECT_EQ(shape->vertexCount(), 8);
  EXPECT_EQ(shape->triangleCount(), 4);
  MvAutoPtr<MvTriIter> it = shape->getTriIter();
  EXPECT_EQ(shape->refCount(), 2);
  EXPECT_EQ(it->size(), 4);
  // The last entry stands for no triangle.
  const std::array<int, 3> expected[] = {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {5, 6, 7}, {-1, -1, -1}};
  for (const auto& tri : expected) EXPECT_EQ(corners(it->next(1), true), tri);
  it->reset();
  for (const auto& [step, tri] : std::vector<std::pair<int, int>>{{2, 1}, {2, 3}, {-2, 1}, {-5, 4}, {INT_MAX, 4}})
    EXPECT_EQ(corners(it->next(step), true), expected[tri]);
  it = nullptr;
  EXPECT_EQ(shape->refCount(), 1);

  // Unbound data is not stored and reads as zeros; a strip may come from the shape's own full storage.
  MvAutoPtr<MvTriStripSet> bare = new MvTriStripSet(kNone, kNone, kNone);
  ASSERT_EQ(bare->addStrip(run(0, 4, 3, 0).data(), nullptr, nullptr, nullptr, 4), 1u);
  ASSERT_EQ(bare->addStrip(bare->vertices(), nullptr, nullptr, nullptr, 3), 1u);
  EXPECT_EQ(bare->normals(), nullptr);
  EXPECT_EQ(corners(bare->getTriIter()->next(2), false), expected[1]);
  EXPECT_EQ(corners(bare->getTriIter()->next(3), false), expected[0]);
}

TEST_F(ShapesTest, AddPrimitiveReadsThroughAnyIterator) {
  float data[20];
  std::iota(data, data + 20, 0.0f);
  // Contiguous and interleaved elements, fewer texture coordinates than vertices, strides of 0 and -3, no data.
  const Case cases[] = {{0, 3, 3, 0, 3, 2},  {0, 4, 5, 1, 4, 4},  {0, 5, 3, 0, 2, 2}, {0, 3, 0, 0, 3, 2},
                        {0, 3, 3, -1, 3, 2}, {-1, 3, 3, 0, 3, 2}, {0, 3, -3, 0, 3, 2}};
  for (const Case& c : cases) EXPECT_EQ(addThrough<PlainIter>(data, c), addThrough<DerivedIter>(data, c));
  // The iterators stand on the last element read, as next(1) leaves them.
  const auto [result, vertices, texCoords, vertexAt, texAt, condition] = addThrough<PlainIter>(data, cases[1]);
  EXPECT_EQ(result, 1u);
  EXPECT_EQ(vertices, (std::vector<float>{0, 1, 2, 5, 6, 7, 10, 11, 12, 15, 16, 17}));
  EXPECT_EQ(texCoords, (std::vector<float>{1, 2, 5, 6, 9, 10, 13, 14}));
  EXPECT_EQ(vertexAt, data + 15);
  EXPECT_EQ(texAt, data + 13);
  EXPECT_EQ(condition, "");
  const auto shortTex = addThrough<PlainIter>(data, cases[2]);
  EXPECT_EQ(std::get<0>(shortTex), 0u);
  EXPECT_EQ(std::get<1>(shortTex).size(), 0u);
  EXPECT_EQ(std::get<5>(shortTex), "texCoords.next(1) != NULL for every vertex");
  EXPECT_EQ(std::get<5>(addThrough<PlainIter>(data, {0, 2, 3, 0, 2, 2})), "vertex count >= 3");
}

TEST_F(ShapesTest, ReservedRoomAndFailuresThatLeaveTheShapeUnchanged) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kPer, kPer);
  const long long before = memoryInUse();
  ASSERT_EQ(shape->reserve(30, 10), 1u);
  // Vertices, normals and colours 3 floats, texture coordinates 2, one int per strip.
  const long long reserved = before + (30 * 3 * 3 + 30 * 2) * 4 + 10 * 4;
  EXPECT_EQ(memoryInUse(), reserved);
  MvHeap::resetCount();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(addStrip(*shape, 0, 3), 1u);
  EXPECT_EQ(MvHeap::allocationCount(), 0);
  EXPECT_EQ(shape->reserve(5, 1), 1u);  // less room than there is changes nothing (memory checked below)

  const std::vector<float> held = floats(shape->vertices(), 90);
  expectRefused(shape->reserve(1LL << 40, 1), "MvTriStripSet", "reserve",
                "Allocation failed: shape data within 2147483647 bytes", 20);
  int failures = 0;
  for (; failures < 20; ++failures) {
    MvErrorState::clear();
    MvHeap::failAt(failures);
    if (addStrip(*shape, 0, 3)) break;
    EXPECT_EQ(MvErrorState::reports().back().code, 20);
    EXPECT_EQ(floats(shape->vertices(), 3 * shape->vertexCount()), held);
    EXPECT_EQ(shape->stripCount(), 10);
    EXPECT_EQ(memoryInUse(), reserved);
  }
  EXPECT_EQ(failures, 5);  // four data arrays and the strip list
  EXPECT_EQ(shape->triangleCount(), 11);
}

// The direct copy appends what one addPrimitive per triangle would, and refuses, changing nothing, what it
// cannot take on: another binding, too little room, a walk of the shape itself.
TEST_F(ShapesTest, DirectTriangleCopyMatchesOnePrimitivePerTriangle) {
  MvAutoPtr<MvTriStripSet> source = new MvTriStripSet(kPer, kPer, kPer);
  ASSERT_EQ(addStrip(*source, 0, 5), 1u);
  ASSERT_EQ(addStrip(*source, 5, 4), 1u);
  auto contents = [](const MvTriStripSet& s) {
    std::vector<int> starts;
    for (int i = 0; i < s.stripCount(); ++i) starts.push_back(s.stripStart(i));
    const int v = s.vertexCount();
    return std::make_tuple(floats(s.vertices(), 3 * v), floats(s.normals(), 3 * v), floats(s.texCoords(), 2 * v),
                           floats(s.colors(), 3 * v), starts, s.triangleCount());
  };
  MvAutoPtr<MvTriStripSet> expected = new MvTriStripSet(kPer, kPer, kPer);
  MvAutoPtr<MvTriIter> walk = source->getTriIter();
  for (const MvTriangle* t = walk->next(1); t; t = walk->next(1))
    ASSERT_EQ(expected->addStrip(&t->vertices[0][0], &t->normals[0][0], &t->texCoords[0][0], &t->colors[0][0], 3), 1u);
  struct Case {
    MvVertexShape::Binding colors;
    long long room;
    bool self, copied;
  };
  for (const Case& c : {Case{kPer, 5, false, true}, Case{kNone, 5, false, false}, Case{kPer, 4, false, false},
                        Case{kPer, 0, true, false}}) {
    MvAutoPtr<MvTriStripSet> target = c.self ? source.get() : new MvTriStripSet(kPer, kPer, c.colors);
    ASSERT_EQ(target->reserve(3 * c.room, c.room), 1u);
    const auto before = contents(*target);
    MvAutoPtr<MvTriIter> it = source->getTriIter();
    EXPECT_EQ(target->appendTrianglesDirect(*it), c.copied);
    EXPECT_EQ(contents(*target), c.copied ? contents(*expected) : before);
  }
}

TEST_F(ShapesTest, MaterialsAndAttributes) {
  MvAutoPtr<MvMaterial> mat = new MvMaterial;
  MvAutoPtr<MvPathQual> qual = new MvPathQual;
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet();
  EXPECT_EQ(shape->appendAttribute(mat, nullptr), 1u);
  EXPECT_EQ(shape->appendAttribute(mat, qual), 1u);
  expectRefused(shape->appendAttribute(nullptr, nullptr), "MvNode", "appendAttribute", "attr != NULL", 5);
  MvHeap::failAt(0);
  expectRefused(shape->appendAttribute(mat, nullptr), "MvVecBase", "reallocMem", kAllocFailed, 20);
  EXPECT_EQ(shape->attributeCount(), 2);
  EXPECT_EQ(shape->attribute(1), mat.get());
  EXPECT_EQ(mat->refCount(), 3);
  EXPECT_EQ(qual->refCount(), 2);
  shape = nullptr;
  EXPECT_EQ(mat->refCount(), 1);
  EXPECT_EQ(qual->refCount(), 1);
}

TEST_F(ShapesTest, Polylines) {
  MvAutoPtr<MvPolylineSet> lines = new MvPolylineSet;
  const float pts[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
  EXPECT_EQ(lines->addPolyline(pts, 3), 1u);
  EXPECT_EQ(lines->addPolyline(nullptr, 2), 0u);
  expectRefused(lines->addPolyline(pts, 1), "MvPolylineSet", "addPolyline", "pointCount >= 2 && points != NULL", 5);
  EXPECT_EQ(lines->addPolyline(lines->points() + 3, 2), 1u);  // from the set's own full storage
  EXPECT_EQ(lines->polylineCount(), 2);
  EXPECT_EQ(lines->pointCount(), 5);
  EXPECT_EQ(lines->lineStart(1), 3);
  EXPECT_EQ((std::vector<int>{lines->lineLength(0), lines->lineLength(1), lines->lineLength(2)}),
            (std::vector<int>{3, 2, 0}));
  EXPECT_EQ(floats(lines->points(), 15), (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0}));
}
