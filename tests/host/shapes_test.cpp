// Tri-strip sets and their triangle iterator, materials, node attributes
// and polyline sets.
#include "host/MvShapes.h"
#include "host_test_util.h"

#include <array>
#include <vector>

using host_test::expectLastReport;
using host_test::HostTest;
using host_test::memoryInUse;

namespace {

class ShapesTest : public HostTest {};

// Per-vertex data of vertex i, recognisable from its first component.
struct StripData {
  explicit StripData(int n, int first = 0) {
    for (int i = first; i < first + n; ++i) {
      const float f = static_cast<float>(i);
      vertices.insert(vertices.end(), {f, 10 + f, 20 + f});
      normals.insert(normals.end(), {100 + f, 0, 1});
      texCoords.insert(texCoords.end(), {200 + f, 300 + f});
      colors.insert(colors.end(), {400 + f, 0.5f, 0.25f});
    }
  }
  std::vector<float> vertices, normals, texCoords, colors;
};

unsigned addStrip(MvTriStripSet& shape, const StripData& d) {
  return shape.addStrip(d.vertices.data(), d.normals.data(), d.texCoords.data(), d.colors.data(),
                        static_cast<int>(d.vertices.size() / 3));
}

// The vertex numbers of a triangle's three corners, checked against the
// corners' other data.
std::array<int, 3> corners(const MvTriangle* t, bool allBound) {
  std::array<int, 3> ids{};
  for (int c = 0; c < 3; ++c) {
    ids[c] = static_cast<int>(t->vertices[c][0]);
    EXPECT_EQ(t->vertices[c][2], 20.0f + ids[c]);
    EXPECT_EQ(t->normals[c][0], allBound ? 100.0f + ids[c] : 0.0f);
    EXPECT_EQ(t->texCoords[c][1], allBound ? 300.0f + ids[c] : 0.0f);
    EXPECT_EQ(t->colors[c][0], allBound ? 400.0f + ids[c] : 0.0f);
  }
  return ids;
}

// Reports more elements than its data holds; yields null past the data.
class OverstatingIter : public MvStrideIter<float, 3> {
 public:
  using MvStrideIter<float, 3>::MvStrideIter;
  int size() const override { return count + 5; }
};

constexpr MvVertexShape::Binding kPer = MvVertexShape::MV_BIND_PER_VERTEX;
constexpr MvVertexShape::Binding kNone = MvVertexShape::MV_BIND_NONE;

}  // namespace

TEST_F(ShapesTest, StripsBecomeTrianglesOfOneOrientation) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kPer, kPer);
  ASSERT_EQ(addStrip(*shape, StripData(5)), 1u);
  ASSERT_EQ(addStrip(*shape, StripData(3, 5)), 1u);
  EXPECT_EQ(shape->stripCount(), 2);
  EXPECT_EQ(shape->stripStart(1), 5);
  EXPECT_EQ(shape->stripLength(0), 5);
  EXPECT_EQ(shape->stripLength(1), 3);
  EXPECT_EQ(shape->stripLength(2), 0);
  EXPECT_EQ(shape->vertexCount(), 8);
  EXPECT_EQ(shape->triangleCount(), 4);
  MvVertexShape::Binding n = kNone, t = kNone, c = kNone;
  EXPECT_EQ(shape->getBindings(n, t, c), 1u);
  EXPECT_EQ(n, kPer);
  EXPECT_EQ(c, kPer);

  MvAutoPtr<MvTriIter> it = shape->getTriIter();
  ASSERT_NE(it.get(), nullptr);
  EXPECT_EQ(shape->refCount(), 2);
  EXPECT_EQ(it->size(), 4);
  EXPECT_EQ(it->get(), nullptr);
  const std::vector<std::array<int, 3>> expected = {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {5, 6, 7}};
  for (const auto& tri : expected) {
    const MvTriangle* rec = it->next(1);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(it->get(), rec);
    EXPECT_EQ(corners(rec, true), tri);
  }
  EXPECT_EQ(it->next(1), nullptr);
  EXPECT_EQ(it->get(), nullptr);
  it->reset();
  EXPECT_EQ(corners(it->next(2), true), expected[1]);
  EXPECT_EQ(corners(it->next(2), true), expected[3]);
  EXPECT_EQ(corners(it->next(-2), true), expected[1]);
  EXPECT_EQ(it->next(-5), nullptr);
  EXPECT_EQ(corners(it->next(1), true), expected[0]);
  EXPECT_EQ(it->next(2147483647), nullptr);
  it = nullptr;
  EXPECT_EQ(shape->refCount(), 1);
}

TEST_F(ShapesTest, UnboundDataIsNotStoredAndReadsAsZeros) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kNone, kNone, kNone);
  const StripData d(4);
  ASSERT_EQ(shape->addStrip(d.vertices.data(), nullptr, nullptr, nullptr, 4), 1u);
  EXPECT_EQ(shape->normals(), nullptr);
  EXPECT_EQ(shape->colors(), nullptr);
  MvAutoPtr<MvTriIter> it = shape->getTriIter();
  EXPECT_EQ(corners(it->next(1), false), (std::array<int, 3>{0, 1, 2}));
  EXPECT_EQ(corners(it->next(1), false), (std::array<int, 3>{2, 1, 3}));
}

TEST_F(ShapesTest, AddPrimitiveReadsThroughIterators) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet();  // normals per vertex only
  // Interleaved: position then normal, stride 6.
  const float data[24] = {0, 1, 2, 9, 9, 1, 3, 4, 5, 9, 9, 2, 6, 7, 8, 9, 9, 3, 9, 9, 9, 9, 9, 9};
  OverstatingIter vertices(data, 3, 6, nullptr);
  MvStrideIter<float, 3> normals(data + 3, 4, 6, nullptr);
  MvStrideIter<float, 2> texCoords;
  MvStrideIter<float, 3> colors;
  vertices.next(1);  // addPrimitive starts from reset
  ASSERT_EQ(shape->addPrimitive(vertices, normals, texCoords, colors, 0), 1u);
  EXPECT_EQ(std::vector<float>(shape->vertices(), shape->vertices() + 9),
            (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(std::vector<float>(shape->normals(), shape->normals() + 9),
            (std::vector<float>{9, 9, 1, 9, 9, 2, 9, 9, 3}));
  EXPECT_EQ(shape->texCoords(), nullptr);

  const long long memory = memoryInUse();
  MvStrideIter<float, 3> two(data, 2, 6, nullptr);
  EXPECT_EQ(shape->addPrimitive(two, normals, texCoords, colors, 0), 0u);
  expectLastReport("MvTriStripSet", "addPrimitive", "vertex count >= 3", 5);
  MvStrideIter<float, 3> four(data, 4, 6, nullptr);
  MvStrideIter<float, 3> twoNormals(data + 3, 2, 6, nullptr);
  EXPECT_EQ(shape->addPrimitive(four, twoNormals, texCoords, colors, 0), 0u);
  expectLastReport("MvTriStripSet", "addPrimitive", "normals.next(1) != NULL for every vertex", 5);
  EXPECT_EQ(shape->addStrip(data, nullptr, nullptr, nullptr, 3), 0u);
  EXPECT_EQ(shape->vertexCount(), 3);
  EXPECT_EQ(shape->stripCount(), 1);
  EXPECT_EQ(shape->triangleCount(), 1);
  EXPECT_EQ(memoryInUse(), memory);
}

TEST_F(ShapesTest, AllocationFailuresLeaveTheShapeUnchanged) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet(kPer, kPer, kPer);
  ASSERT_EQ(addStrip(*shape, StripData(4)), 1u);
  const std::vector<float> before(shape->vertices(), shape->vertices() + 12);
  const long long memory = memoryInUse();
  const StripData more(3, 4);
  int failures = 0;
  for (int i = 0; i < 20; ++i) {
    MvErrorState::clear();
    MvHeap::failAt(i);
    if (addStrip(*shape, more)) break;
    ++failures;
    EXPECT_EQ(MvErrorState::reports().back().code, 20);
    EXPECT_EQ(shape->vertexCount(), 4);
    EXPECT_EQ(shape->stripCount(), 1);
    EXPECT_EQ(shape->triangleCount(), 2);
    EXPECT_EQ(std::vector<float>(shape->vertices(), shape->vertices() + 12), before);
    EXPECT_EQ(memoryInUse(), memory);
  }
  MvHeap::disarm();
  EXPECT_EQ(failures, 5);  // four data arrays and the strip list
  EXPECT_EQ(shape->vertexCount(), 7);
  EXPECT_EQ(shape->triangleCount(), 3);
}

TEST_F(ShapesTest, GrowthIsAmortisedAndOwnDataCanBeAppended) {
  MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet();
  const StripData d(3);
  MvHeap::resetCount();
  for (int i = 0; i < 200; ++i) ASSERT_EQ(addStrip(*shape, d), 1u);
  EXPECT_LT(MvHeap::allocationCount(), 40);

  MvAutoPtr<MvTriStripSet> self = new MvTriStripSet(kPer, kPer, kPer);
  ASSERT_EQ(addStrip(*self, StripData(3)), 1u);
  // The storage is full: the strip is read from the block being replaced.
  ASSERT_EQ(self->addStrip(self->vertices(), self->normals(), self->texCoords(), self->colors(), 3), 1u);
  MvAutoPtr<MvTriIter> it = self->getTriIter();
  EXPECT_EQ(corners(it->next(1), true), (std::array<int, 3>{0, 1, 2}));
  EXPECT_EQ(corners(it->next(1), true), (std::array<int, 3>{0, 1, 2}));
}

TEST_F(ShapesTest, MaterialsAndAttributes) {
  MvAutoPtr<MvMaterial> mat = new MvMaterial;
  EXPECT_TRUE(mat->diffuseColor() == (MvVec4<float>{{0.8f, 0.8f, 0.8f, 1.0f}}));
  EXPECT_TRUE(mat->specularColor() == (MvVec4<float>{{0, 0, 0, 1}}));
  EXPECT_EQ(mat->shininess(), 0.0f);
  EXPECT_EQ(mat->setDiffuseColor(MvVec4<float>{{0.2f, 0.4f, 0.6f, 0.5f}}), 1u);
  EXPECT_EQ(mat->setSpecularColor(MvVec4<float>{{0.75f, 0.75f, 0.75f, 1}}), 1u);
  EXPECT_EQ(mat->setShininess(15.0f), 1u);
  EXPECT_TRUE(mat->diffuseColor() == (MvVec4<float>{{0.2f, 0.4f, 0.6f, 0.5f}}));
  EXPECT_EQ(mat->shininess(), 15.0f);

  MvAutoPtr<MvPathQual> qual = new MvPathQual;
  {
    MvAutoPtr<MvTriStripSet> shape = new MvTriStripSet();
    EXPECT_EQ(shape->appendAttribute(mat, nullptr), 1u);
    EXPECT_EQ(shape->appendAttribute(mat, qual), 1u);
    EXPECT_EQ(mat->refCount(), 3);
    EXPECT_EQ(qual->refCount(), 2);
    EXPECT_EQ(shape->attributeCount(), 2);
    EXPECT_EQ(shape->attribute(1), mat.get());

    EXPECT_EQ(shape->appendAttribute(nullptr, nullptr), 0u);
    expectLastReport("MvNode", "appendAttribute", "attr != NULL", 5);
    MvHeap::failAt(0);
    EXPECT_EQ(shape->appendAttribute(mat, nullptr), 0u);
    expectLastReport("MvVecBase", "reallocMem", "Allocation failed: p = new MvChar[cNewAllocBytes]", 20);
    EXPECT_EQ(shape->attributeCount(), 2);
    EXPECT_EQ(mat->refCount(), 3);
  }
  EXPECT_EQ(mat->refCount(), 1);
  EXPECT_EQ(qual->refCount(), 1);
}

TEST_F(ShapesTest, Polylines) {
  MvAutoPtr<MvPolylineSet> lines = new MvPolylineSet;
  const float pts[9] = {0, 0, 0, 1, 0, 0, 1, 1, 0};
  EXPECT_EQ(lines->addPolyline(pts, 3), 1u);
  EXPECT_EQ(lines->addPolyline(pts + 3, 2), 1u);
  EXPECT_EQ(lines->addPolyline(pts, 1), 0u);
  expectLastReport("MvPolylineSet", "addPolyline", "pointCount >= 2 && points != NULL", 5);
  EXPECT_EQ(lines->addPolyline(nullptr, 2), 0u);
  EXPECT_EQ(lines->polylineCount(), 2);
  EXPECT_EQ(lines->pointCount(), 5);
  EXPECT_EQ(lines->lineStart(1), 3);
  EXPECT_EQ(lines->lineLength(0), 3);
  EXPECT_EQ(lines->lineLength(1), 2);
  EXPECT_EQ(lines->lineLength(2), 0);
  // A polyline read from the set's own points.
  EXPECT_EQ(lines->addPolyline(lines->points() + 3, 4), 1u);
  EXPECT_EQ(lines->pointCount(), 9);
  EXPECT_EQ(std::vector<float>(lines->points() + 15, lines->points() + 27),
            (std::vector<float>{1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0}));
}
