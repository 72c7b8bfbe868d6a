#include "tess/tess_support.h"

#include <limits>

namespace {

using namespace tess;

class Merge : public TessTest {};

TEST_F(Merge, OneShapePerColorInOrderOfFirstAppearance) {
  MvAutoPtr<MvTriStripSet> f0 = strip(1.0f, 5), f1 = strip(10.0f), f2 = strip(20.0f, 4), existing = strip(30.0f);
  const Shapes faces = listOf<Shapes>({f0, f1, f2});
  const MvVec4<float> red = rgba(1, 0, 0, 1), blue = rgba(0, 0, 1, 1);
  auto out = listOf<Shapes>({existing});
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, listOf<Colors>({red, blue, red}), out), 1u);
  ASSERT_EQ(out.length(), 3);
  EXPECT_EQ(out[0].get(), existing.get());
  EXPECT_TRUE(mergedFrom(out[1], {f0, f2}));
  EXPECT_TRUE(colored(*out[1], red));
  EXPECT_TRUE(mergedFrom(out[2], {f1}));
  EXPECT_TRUE(colored(*out[2], blue));
  EXPECT_EQ(out[1]->stripCount(), 5);  // one three-vertex primitive per source triangle
  EXPECT_EQ(out[1]->refCount(), 1);
  EXPECT_EQ(f0->refCount(), 2);  // sources unchanged, no references kept
  EXPECT_EQ(f0->attributeCount(), 0);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, Colors(), out), 1u);
  EXPECT_EQ(out.length(), 3);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(Merge, ColorEquality) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  MvAutoPtr<MvTriStripSet> s[7];
  Shapes faces, out;
  for (int i = 0; i < 7; ++i) faces.append(s[i] = strip(static_cast<float>(i)));
  // +0 and -0 alike; NaN faces apart; alpha alone tells colours apart; alpha 0 and NaN get a material, negative none.
  const Colors colors = listOf<Colors>({rgba(0.0f, 1, 1, 1), rgba(nan, 0, 0, 1), rgba(-0.0f, 1, 1, 1),
                                        rgba(nan, 0, 0, 1), rgba(0, 1, 1, 0), rgba(1, 1, 1, -1), rgba(1, 1, 1, nan)});
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, colors, out), 1u);
  ASSERT_EQ(out.length(), 6);
  EXPECT_TRUE(mergedFrom(out[0], {s[0], s[2]}));
  EXPECT_TRUE(mergedFrom(out[1], {s[1]}));
  for (int i = 2; i < 6; ++i) EXPECT_TRUE(mergedFrom(out[i], {s[i + 1]})) << i;
  EXPECT_TRUE(colored(*out[3], rgba(0, 1, 1, 0)));
  EXPECT_EQ(out[4]->attributeCount(), 0);
  EXPECT_EQ(out[5]->attributeCount(), 1);
  // Face 6 is beyond the colours and takes part in no group.
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, listOf<Colors>({rgba(0, 0, 0, 1)}), out), 1u);
  EXPECT_TRUE(mergedFrom(out[6], {s[0]}));
}

TEST_F(Merge, GroupsOfManyDistinctColors) {
  // Faces i and kColours + i share colour i, which no other face has.
  constexpr int kColors = 100000;
  MvAutoPtr<MvTriStripSet> first = strip(1.0f), second = strip(2.0f);
  Shapes faces, out;
  Colors colors;
  for (int i = 0; i < 2 * kColors; ++i) {
    faces.append(i < kColors ? first : second);
    const float f = static_cast<float>(i % kColors);
    colors.append(rgba(f, -f, f * 0.5f, 1.0f));
  }
  ASSERT_EQ(MvKMBrep::mergeShapeWithSameColor(faces, colors, out), 1u);
  ASSERT_EQ(out.length(), kColors);
  int wrong = 0;
  for (int i = 0; i < kColors; ++i) wrong += !colored(*out[i], colors[i]) || !mergedFrom(out[i], {first, second});
  EXPECT_EQ(wrong, 0);
}

TEST_F(Merge, FailuresKeepEarlierGroups) {
  MvAutoPtr<MvTriStripSet> s0 = strip(0.0f), s1 = strip(1.0f), flat = strip(5.0f, 3, MvVertexShape::MV_BIND_NONE), none;
  const auto red = rgba(1, 0, 0, 1), blue = rgba(0, 0, 1, 1), green = rgba(0, 1, 0, 1);
  Shapes out;
  // More colours than shapes; bindings that differ in a group; a null shape in a group (reported, not dereferenced).
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(listOf<Shapes>({s0, s1}), listOf<Colors>({red, blue, green}), out), 0u);
  EXPECT_EQ(out.length(), 2);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(listOf<Shapes>({s0, flat, s1}), listOf<Colors>({blue, red, red}), out),
            0u);
  EXPECT_EQ(out.length(), 3);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_EQ(MvKMBrep::mergeShapeWithSameColor(listOf<Shapes>({s0, none}), listOf<Colors>({red, red}), out), 0u);
  EXPECT_EQ(out.length(), 3);
  EXPECT_EQ(s0->refCount(), 1);  // none kept
  EXPECT_EQ(flat->refCount(), 1);
  // Out of memory for the merged shape or its material; no shape to colour.
  const Shapes sources = listOf<Shapes>({s0});
  MvHeap::failAt(0);
  EXPECT_EQ(Access::_mergeTriStripSet(sources, none), 0u);
  MvHeap::failAt(0);
  EXPECT_EQ(Access::_addColorToShape(s0, red), 0u);
  EXPECT_EQ(Access::_addColorToShape(none, red), 0u);
  EXPECT_EQ(none.get(), nullptr);
  EXPECT_EQ(s0->attributeCount(), 0);
  const fake::Report noTarget = report("mergeShapeWithSameColor", "pTargetTSS != NULL");
  EXPECT_EQ(fake::reports(),
            (Reports{report("mergeShapeWithSameColor", "tessIdx < pFaceShapeList.length()"), noTarget,
                     report("getMvShapeList", "pSourceTSSList[i] != NULL"), noTarget,
                     report("getMvShapeList", "Allocation failed: pTargetTSS = new MvTriStripSet (normalVecBinding, "
                                              "texCoordBinding, colorBinding)", 20),
                     report("_addColorToShape", "Allocation failed: newMat = new MvMaterial", 20),
                     report("_addColorToShape", "shape != NULL")}));
}

}  // namespace
