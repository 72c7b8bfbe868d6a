// Tri-strip sets, their triangle iterator, strips read through iterators, reserved room, attributes, polylines.
#include "host/MvShapes.h"
#include "host_test_util.h"

#include <array>
#include <climits>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace host_test;

namespace {

using ShapesTest = HostTest;

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

// Adds one primitive read through iterators of kind Iter to a shape with texture coordinates only. The case is
// {vertex offset in data (-1: no data), count, stride, texture coordinate offset, count, stride}; gives the
// result, the shape's data, where the iterators stand and the report.
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
  for (const MvTriangle* t = walk->next(1); t; t = walk->next(1)) {
    ASSERT_EQ(expected->addStrip(&t->vertices[0][0], &t->normals[0][0], &t->texCoords[0][0], &t->colors[0][0], 3),
              1u);
  }
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
  {
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
  }
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
  EXPECT_EQ(lines->lineLength(0), 3);
  EXPECT_EQ(lines->lineLength(1), 2);
  EXPECT_EQ(lines->lineLength(2), 0);
  EXPECT_EQ(floats(lines->points(), 15), (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0}));
}
