#include "tess/tess_support.h"
#include "tess/triangle_gather.h"

#include <cmath>
#include <limits>

namespace {

using tess::Access;
using tess::report;
using tess::rgba;
using tess::strip;

class Merge : public tess::TessTest {};

MvAVec<MvVec4<float>> colors(std::initializer_list<MvVec4<float>> list) {
  MvAVec<MvVec4<float>> out;
  for (const auto& c : list) out.append(c);
  return out;
}

MvAutoPtrVec<MvTriStripSet> list(std::initializer_list<MvTriStripSet*> shapes) {
  MvAutoPtrVec<MvTriStripSet> out;
  for (MvTriStripSet* s : shapes) out.append(MvAutoPtr<MvTriStripSet>(s));
  return out;
}

TEST_F(Merge, OneShapePerColourInOrderOfFirstAppearance) {
  MvAutoPtr<MvTriStripSet> f0 = strip(1.0f, 5), f1 = strip(10.0f), f2 = strip(20.0f, 4);
  const MvAutoPtrVec<MvTriStripSet> faces = list({f0, f1, f2});
  const MvVec4<float> red = rgba(1, 0, 0, 1), blue = rgba(0, 0, 1, 1);
  MvAutoPtr<MvTriStripSet> existing = strip(30.0f);
  const long long memory = MvPlatform::instance()->memoryInUse();
  MvAutoPtrVec<MvTriStripSet> out = list({existing});

  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, colors({red, blue, red}), out), 1u);
  ASSERT_EQ(out.length(), 3);
  EXPECT_EQ(out[0].get(), existing.get());
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[1]), tess::concat({f0, f2})));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[2]), tess::triangles(*f1)));
  // One three-vertex primitive per source triangle.
  EXPECT_EQ(out[1]->stripCount(), 5);
  EXPECT_EQ(out[1]->triangleCount(), 5);
  EXPECT_EQ(out[2]->stripCount(), 1);
  for (int i = 1; i < 3; ++i) {
    const auto mats = tess::materials(*out[i]);
    ASSERT_EQ(mats.size(), 1u);
    EXPECT_TRUE(tess::sameColor(mats[0]->diffuseColor(), i == 1 ? red : blue));
    EXPECT_TRUE(tess::sameColor(mats[0]->specularColor(), rgba(0.75f, 0.75f, 0.75f, 1.0f)));
    EXPECT_EQ(mats[0]->shininess(), 15.0f);
    EXPECT_EQ(out[i]->refCount(), 1);
  }
  // The sources are unchanged and hold no extra references.
  EXPECT_EQ(f0->refCount(), 2);
  EXPECT_EQ(f0->attributeCount(), 0);
  EXPECT_TRUE(MvErrorState::reports().empty());

  out.setLength(1);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, colors({}), out), 1u);
  EXPECT_EQ(out.length(), 1);
  out = MvAutoPtrVec<MvTriStripSet>();
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
}

TEST_F(Merge, ColourEquality) {
  MvAutoPtr<MvTriStripSet> s0 = strip(0.0f), s1 = strip(1.0f), s2 = strip(2.0f), s3 = strip(3.0f), s4 = strip(4.0f),
                           s5 = strip(5.0f), s6 = strip(6.0f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const MvAutoPtrVec<MvTriStripSet> faces = list({s0, s1, s2, s3, s4, s5, s6});
  MvAutoPtrVec<MvTriStripSet> out;
  // +0 and -0 alike; NaN faces apart; alpha alone tells two colours apart;
  // a negative alpha merges but gets no material; a NaN alpha gets one.
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces,
                                              colors({rgba(0.0f, 1, 1, 1), rgba(nan, 0, 0, 1), rgba(-0.0f, 1, 1, 1),
                                                      rgba(nan, 0, 0, 1), rgba(0, 1, 1, 0.5f), rgba(1, 1, 1, -1),
                                                      rgba(1, 1, 1, nan)}),
                                              out),
            1u);
  ASSERT_EQ(out.length(), 6);
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[0]), tess::concat({s0, s2})));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[1]), tess::triangles(*s1)));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[2]), tess::triangles(*s3)));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[3]), tess::triangles(*s4)));
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*out[4]), tess::triangles(*s5)));
  EXPECT_EQ(out[4]->attributeCount(), 0);
  EXPECT_EQ(out[5]->attributeCount(), 1);
  // Face 6 is beyond the colours and takes part in no group.
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, colors({rgba(0, 0, 0, 1)}), out), 1u);
  EXPECT_EQ(out.length(), 7);
}

TEST_F(Merge, GroupsOfManyDistinctColours) {
  // Faces i and kColours + i share colour i, which no other face has.
  constexpr int kColours = 100000;
  MvAutoPtr<MvTriStripSet> first = strip(1.0f), second = strip(2.0f);
  MvAutoPtrVec<MvTriStripSet> faces;
  MvAVec<MvVec4<float>> shapeColors;
  for (int half = 0; half < 2; ++half) {
    for (int i = 0; i < kColours; ++i) {
      faces.append(half == 0 ? first : second);
      const float f = static_cast<float>(i);
      shapeColors.append(rgba(f, -f, f * 0.5f, 1.0f));
    }
  }
  MvAutoPtrVec<MvTriStripSet> out;
  ASSERT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, shapeColors, out), 1u);
  ASSERT_EQ(out.length(), kColours);
  const std::vector<MvTriangle> pair = tess::concat({first, second});
  int wrong = 0;
  for (int i = 0; i < kColours; ++i) {
    const auto mats = tess::materials(*out[i]);
    if (mats.size() != 1 || !tess::sameColor(mats[0]->diffuseColor(), shapeColors[i]) ||
        !tess::sameTriangles(tess::triangles(*out[i]), pair)) {
      ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(Merge, GroupFailuresKeepEarlierGroups) {
  MvAutoPtr<MvTriStripSet> s0 = strip(0.0f), s1 = strip(1.0f);
  MvAutoPtrVec<MvTriStripSet> out;
  const auto red = rgba(1, 0, 0, 1), blue = rgba(0, 0, 1, 1), green = rgba(0, 1, 0, 1);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(list({s0, s1}), colors({red, blue, green}), out), 0u);
  EXPECT_EQ(out.length(), 2);
  EXPECT_EQ(fake::reports(),
            (std::vector<fake::Report>{report("mergeShapeWithSameColor", "tessIdx < pFaceShapeList.length()")}));

  // Bindings that differ within a group: no merged shape.
  MvErrorState::clear();
  MvAutoPtr<MvTriStripSet> flat = strip(5.0f, 3, MvVertexShape::MV_BIND_NONE);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(list({s0, flat, s1}), colors({blue, red, red}), out), 0u);
  EXPECT_EQ(out.length(), 3);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("mergeShapeWithSameColor", "pTargetTSS != NULL")}));
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_EQ(s0->refCount(), 1);
  EXPECT_EQ(flat->refCount(), 1);
}

TEST_F(Merge, MergeTriStripSetPreconditions) {
  MvAutoPtr<MvTriStripSet> s0 = strip(0.0f);
  MvAutoPtr<MvTriStripSet> target = strip(9.0f);
  MvTriStripSet* const held = target;
  EXPECT_EQ(Access::_mergeTriStripSet(list({s0}), target), 0u);
  EXPECT_EQ(target.get(), held);
  EXPECT_EQ(held->triangleCount(), 1);
  MvAutoPtr<MvTriStripSet> none;
  EXPECT_EQ(Access::_mergeTriStripSet(list({}), none), 0u);
  EXPECT_EQ(Access::_mergeTriStripSet(list({s0, nullptr}), none), 0u);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(fake::reports(), (std::vector<fake::Report>{report("getMvShapeList", "pTargetTSS == NULL"),
                                                        report("getMvShapeList", "pSourceTSSList.length() > 0"),
                                                        report("getMvShapeList", "pSourceTSSList[i] != NULL")}));
}

// Claims four triangles but has only two.
struct ShortIter : MvTriIter {
  void reset() override { at = -1; }
  int size() const override { return 4; }
  const MvTriangle* next(int n) override {
    at += n;
    return get();
  }
  const MvTriangle* get() const override { return at >= 0 && at < 2 ? &tris[at] : nullptr; }
  MvTriangle tris[2] = {};
  int at = -1;
};

TEST_F(Merge, TriangleWalkStopsAtTheFirstNull) {
  MvAutoPtr<ShortIter> it = new (std::nothrow) ShortIter();
  it->tris[1].vertices[2][1] = 7.0f;
  MvAutoPtr<MvTriStripSet> target = new MvTriStripSet(
      MvVertexShape::MV_BIND_PER_VERTEX, MvVertexShape::MV_BIND_PER_VERTEX, MvVertexShape::MV_BIND_PER_VERTEX);
  mvkm::TriangleGather gather;
  ASSERT_TRUE(gather.ready());
  EXPECT_EQ(gather.appendTriangles(*it, *target), 1u);
  EXPECT_EQ(target->stripCount(), 2);
  EXPECT_EQ(target->vertices()[3 * 5 + 1], 7.0f);
  EXPECT_TRUE(tess::sameTriangles(tess::triangles(*target), {it->tris[0], it->tris[1]}));
}

TEST_F(Merge, AllocationFailuresAreReported) {
  MvAutoPtr<MvTriStripSet> s0 = strip(0.0f), s1 = strip(1.0f, 4);
  const MvAutoPtrVec<MvTriStripSet> sources = list({s0, s1});
  const MvAVec<MvVec4<float>> shapeColors = colors({rgba(1, 0, 0, 1), rgba(1, 0, 0, 1)});
  const long long memory = MvPlatform::instance()->memoryInUse();

  // Sweep every allocation of a merge: each failure fails the operation
  // with a report, appends nothing and leaks nothing.
  bool sawTarget = false, sawMaterial = false;
  for (long long n = 0;; ++n) {
    SCOPED_TRACE(n);
    MvErrorState::clear();
    MvAutoPtrVec<MvTriStripSet> out;
    MvHeap::failAt(n);
    const unsigned ok = MvKMBrep::mergeShapeWithSameColor(sources, shapeColors, out);
    MvHeap::disarm();
    if (MvHeap::injectedFailures() == 0) {
      EXPECT_EQ(ok, 1u);
      break;
    }
    ASSERT_FALSE(MvErrorState::reports().empty());
    for (const MvErrorReport& r : MvErrorState::reports()) {
      sawTarget |= r.condition.rfind("Allocation failed: pTargetTSS", 0) == 0 && r.code == 20;
      sawMaterial |= r.condition == "Allocation failed: newMat = new MvMaterial" && r.code == 20;
    }
    // Only a lost material leaves a merged shape (without colour).
    EXPECT_EQ(ok == 1u, out.length() == 1 && out[0]->attributeCount() == 0);
    if (!ok) {
      EXPECT_EQ(out.length(), 0);
    }
    out = MvAutoPtrVec<MvTriStripSet>();
    EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memory);
    EXPECT_EQ(s0->refCount(), 2);
  }
  EXPECT_TRUE(sawTarget);
  EXPECT_TRUE(sawMaterial);
}

TEST_F(Merge, AddColorToShape) {
  MvAutoPtr<MvTriStripSet> shape = strip(0.0f);
  EXPECT_EQ(Access::_addColorToShape(shape, rgba(0.2f, 0.4f, 0.6f, 0.5f)), 1u);
  EXPECT_EQ(Access::_addColorToShape(shape, rgba(0, 0, 0, 0.0f)), 1u);
  EXPECT_EQ(Access::_addColorToShape(shape, rgba(1, 1, 1, -0.5f)), 0u);
  const auto mats = tess::materials(*shape);
  ASSERT_EQ(mats.size(), 2u);
  EXPECT_TRUE(tess::sameColor(mats[0]->diffuseColor(), rgba(0.2f, 0.4f, 0.6f, 0.5f)));
  EXPECT_EQ(mats[0]->refCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());

  MvHeap::failAt(0);
  EXPECT_EQ(Access::_addColorToShape(shape, rgba(1, 1, 1, 1)), 0u);
  MvAutoPtr<MvTriStripSet> none;
  EXPECT_EQ(Access::_addColorToShape(none, rgba(1, 1, 1, 1)), 0u);
  EXPECT_EQ(fake::reports(),
            (std::vector<fake::Report>{report("_addColorToShape", "Allocation failed: newMat = new MvMaterial", 20),
                                       report("_addColorToShape", "shape != NULL")}));
  EXPECT_EQ(shape->attributeCount(), 2);
}

}  // namespace
