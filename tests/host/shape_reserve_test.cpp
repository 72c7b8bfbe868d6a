// Room made in advance in a tri-strip set, and strips read through the
// toolkit's own stride iterator exactly as through any other iterator.
#include "host/MvShapes.h"
#include "host_test_util.h"

#include <vector>

using host_test::expectLastReport;
using host_test::HostTest;
using host_test::memoryInUse;

namespace {

class ShapeReserveTest : public HostTest {};

constexpr MvVertexShape::Binding kPer = MvVertexShape::MV_BIND_PER_VERTEX;
constexpr MvVertexShape::Binding kNone = MvVertexShape::MV_BIND_NONE;

// A stride iterator that the shape can only walk through its virtual
// operations.
template <int N>
class DerivedIter : public MvStrideIter<float, N> {
 public:
  using MvStrideIter<float, N>::MvStrideIter;
};

std::vector<float> floats(const float* p, int n) { return p ? std::vector<float>(p, p + n) : std::vector<float>(); }

struct Outcome {
  unsigned result;
  std::vector<float> vertices, normals, texCoords;
  int strips;
  const float* vertexAfter;
  const float* texCoordAfter;
  std::string report;
};

// Adds one primitive read through iterators of type Iter3 / Iter2 over the
// given arrays, and records what came of it.
template <template <int> class Iter>
Outcome addThrough(const float* v, int vCount, int vStride, const float* t, int tCount, int tStride) {
  MvErrorState::clear();
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kNone, kPer, kNone);
  Iter<3> vertices(v, vCount, vStride, nullptr);
  Iter<3> normals;
  Iter<2> texCoords(t, tCount, tStride, nullptr);
  Iter<3> colors;
  Outcome o;
  o.result = shape->addPrimitive(vertices, normals, texCoords, colors, 0);
  o.vertices = floats(shape->vertices(), 3 * shape->vertexCount());
  o.normals = floats(shape->normals(), 3 * shape->vertexCount());
  o.texCoords = floats(shape->texCoords(), 2 * shape->vertexCount());
  o.strips = shape->stripCount();
  o.vertexAfter = vertices.get();
  o.texCoordAfter = texCoords.get();
  o.report = MvErrorState::reports().empty() ? "" : MvErrorState::reports().back().condition;
  return o;
}

template <int N>
using Plain = MvStrideIter<float, N>;

void expectSame(const Outcome& a, const Outcome& b) {
  EXPECT_EQ(a.result, b.result);
  EXPECT_EQ(a.vertices, b.vertices);
  EXPECT_EQ(a.normals, b.normals);
  EXPECT_EQ(a.texCoords, b.texCoords);
  EXPECT_EQ(a.strips, b.strips);
  EXPECT_EQ(a.vertexAfter, b.vertexAfter);
  EXPECT_EQ(a.texCoordAfter, b.texCoordAfter);
  EXPECT_EQ(a.report, b.report);
}

}  // namespace

TEST_F(ShapeReserveTest, ReservedRoomTakesStripsWithoutGrowing) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kPer, kNone);
  const long long before = memoryInUse();
  ASSERT_EQ(shape->reserve(30, 10), 1u);
  // Vertices and normals 3 floats, texture coordinates 2, one int per strip.
  EXPECT_EQ(memoryInUse() - before, (30 * 3 + 30 * 3 + 30 * 2) * 4 + 10 * 4);
  EXPECT_EQ(shape->vertexCount(), 0);
  EXPECT_EQ(shape->stripCount(), 0);

  const float v[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  const float t[6] = {10, 11, 12, 13, 14, 15};
  const long long reserved = memoryInUse();
  MvHeap::resetCount();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(shape->addStrip(v, v, t, nullptr, 3), 1u);
  EXPECT_EQ(MvHeap::allocationCount(), 0);
  EXPECT_EQ(memoryInUse(), reserved);
  EXPECT_EQ(shape->triangleCount(), 10);
  EXPECT_EQ(floats(shape->texCoords() + 54, 6), floats(t, 6));

  // Less room than there is already changes nothing.
  EXPECT_EQ(shape->reserve(5, 1), 1u);
  EXPECT_EQ(memoryInUse(), reserved);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(ShapeReserveTest, RoomThatCannotBeHadIsReportedAndChangesNoData) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kNone, kNone);
  const float v[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(shape->addStrip(v, v, nullptr, nullptr, 3), 1u);

  EXPECT_EQ(shape->reserve(1LL << 40, 1), 0u);
  expectLastReport("MvTriStripSet", "reserve", "Allocation failed: shape data within 2147483647 bytes", 20);

  MvHeap::failAt(0);
  EXPECT_EQ(shape->reserve(100, 10), 0u);
  MvHeap::disarm();
  expectLastReport("MvVecBase", "reallocMem", "Allocation failed: p = new MvChar[cNewAllocBytes]", 20);
  EXPECT_EQ(floats(shape->vertices(), 9), floats(v, 9));
  EXPECT_EQ(floats(shape->normals(), 9), floats(v, 9));
  EXPECT_EQ(shape->stripCount(), 1);
}

TEST_F(ShapeReserveTest, TheToolkitStrideIteratorReadsLikeAnyOtherIterator) {
  const float data[20] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  // Contiguous and interleaved elements, more vertices than texture
  // coordinates, a stride of 0, no data, counts that overstate the data.
  expectSame(addThrough<Plain>(data, 3, 3, data, 3, 2), addThrough<DerivedIter>(data, 3, 3, data, 3, 2));
  expectSame(addThrough<Plain>(data, 4, 5, data + 1, 4, 4), addThrough<DerivedIter>(data, 4, 5, data + 1, 4, 4));
  expectSame(addThrough<Plain>(data, 5, 3, data, 2, 2), addThrough<DerivedIter>(data, 5, 3, data, 2, 2));
  expectSame(addThrough<Plain>(data, 3, 0, data, 3, 2), addThrough<DerivedIter>(data, 3, 0, data, 3, 2));
  expectSame(addThrough<Plain>(data, 3, 3, nullptr, 3, 2), addThrough<DerivedIter>(data, 3, 3, nullptr, 3, 2));
  expectSame(addThrough<Plain>(nullptr, 3, 3, data, 3, 2), addThrough<DerivedIter>(nullptr, 3, 3, data, 3, 2));
  expectSame(addThrough<Plain>(data, 3, -3, data, 3, 2), addThrough<DerivedIter>(data, 3, -3, data, 3, 2));

  const Outcome ok = addThrough<Plain>(data, 4, 5, data + 1, 4, 4);
  EXPECT_EQ(ok.result, 1u);
  EXPECT_EQ(ok.vertices, (std::vector<float>{0, 1, 2, 5, 6, 7, 10, 11, 12, 15, 16, 17}));
  EXPECT_EQ(ok.texCoords, (std::vector<float>{1, 2, 5, 6, 9, 10, 13, 14}));
  // The iterators stand on the last element read, as next(1) leaves them.
  EXPECT_EQ(ok.vertexAfter, data + 15);
  EXPECT_EQ(ok.texCoordAfter, data + 13);
  const Outcome shortTex = addThrough<Plain>(data, 5, 3, data, 2, 2);
  EXPECT_EQ(shortTex.result, 0u);
  EXPECT_EQ(shortTex.report, "texCoords.next(1) != NULL for every vertex");
  EXPECT_EQ(shortTex.strips, 0);
}

TEST_F(ShapeReserveTest, OwnDataIsAppendedWithinReservedRoom) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kNone, kPer);
  const float v[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  ASSERT_EQ(shape->addStrip(v, v, nullptr, v, 4), 1u);
  ASSERT_EQ(shape->reserve(8, 2), 1u);
  const float* storage = shape->vertices();
  // Read from the very arrays being appended to; no new storage is needed.
  MvStrideIter<float, 3> vertices(shape->vertices(), 4, 3, nullptr);
  MvStrideIter<float, 3> normals(shape->normals(), 4, 3, nullptr);
  MvStrideIter<float, 2> texCoords;
  MvStrideIter<float, 3> colors(shape->colors(), 4, 3, nullptr);
  ASSERT_EQ(shape->addPrimitive(vertices, normals, texCoords, colors, 0), 1u);
  EXPECT_EQ(shape->vertices(), storage);
  EXPECT_EQ(floats(shape->vertices() + 12, 12), floats(v, 12));
  EXPECT_EQ(floats(shape->normals() + 12, 12), floats(v, 12));
  EXPECT_EQ(floats(shape->colors() + 12, 12), floats(v, 12));
  EXPECT_EQ(shape->triangleCount(), 4);
}
