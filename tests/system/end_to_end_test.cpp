// The sample application end to end: host files in both kernel data formats, graphical output, tessellation.
#include "reliability/reliability_support.h"

#include <string>
#include <utility>

namespace {

using namespace rel;

class EndToEnd : public AppTest, public ::testing::WithParamInterface<ksample::Format> {
 protected:
  void SetUp() override {
    options.hostStreamFormat = GetParam();
    AppTest::SetUp();
  }
};

TEST_P(EndToEnd, ElementsRoundTripThroughAHostFile) {
  MvAutoPtr<MvKMBrep> a = elementOf(ksamplehost::buildDemoModel(7)), b(new MvKMBrep()),
                      c = elementOf(ksamplehost::buildDemoModel(2));
  std::vector<MvAutoPtr<MvKMBrep>> back;
  ASSERT_TRUE(throughHostFile(tempPath("end_to_end") + ".mv61", {a, b, c}, back)) << firstReport();
  ASSERT_EQ(back.size(), 3u);
  EXPECT_TRUE(sameBodies(partsOf(*a), partsOf(*back[0])));
  EXPECT_EQ(back[1]->isEmpty(), 1u);
  EXPECT_TRUE(sameBodies(partsOf(*c), partsOf(*back[2])));
  EXPECT_EQ(ksample::bodyCount(), 9 + 9);  // the originals and new bodies read
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(std::make_pair(major, minor), std::make_pair(ksample::kVersionMajor, ksample::kVersionMinor));
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEnd, ::testing::Values(ksample::Format::Binary, ksample::Format::Text),
                         [](const ::testing::TestParamInfo<ksample::Format>& info) {
                           return info.param == ksample::Format::Text ? "Text" : "Binary";
                         });

using System = AppTest;

TEST_F(System, GraphicalOutputReachesTheHost) {
  const int box = ksample::makeBox(1, 2, 3, ksample::identityTransform());
  std::vector<ksamplehost::Segment> segments;
  ksamplehost::setSegmentSink(&segments);
  EXPECT_EQ(ksample::render(box), 0);
  ksamplehost::setSegmentSink(nullptr);
  ksample::deleteBodies(1, &box);
  ASSERT_EQ(segments.size(), 12u);
  EXPECT_EQ(segments[0].tag, box);
  EXPECT_EQ(segments[0].points.size(), 6u);
}

TEST_F(System, FinerLevelsGiveMoreTriangles) {
  MvAutoPtr<MvKMBrep> e = elementOf(ksamplehost::buildDemoModel(6));
  MvKMBrep::KmBrepTessParams p{};
  long long previous = 0;
  for (int level = 0; level <= 2; ++level) {
    MvAutoPtrVec<MvTriStripSet> faces, merged;
    MvAVec<MvIVec<int>> maps;
    ASSERT_EQ(e->getMvFaceShapeList(p = params(level), faces, maps, 1), 1u);
    EXPECT_EQ(maps.length(), 6);
    ASSERT_EQ(e->getMvColorShapeList(p = params(level), merged), 1u);
    EXPECT_EQ(triangles(merged), triangles(faces));
    EXPECT_GT(triangles(faces), previous);
    previous = triangles(faces);
  }
  MvAutoPtrVec<MvPolylineSet> edges;
  ASSERT_EQ(e->getMvEdgeShape(p = params(), edges), 1u);
  int lines = 0;
  for (int i = 0; i < edges.length(); ++i) lines += edges[i]->polylineCount();
  EXPECT_EQ(lines, 12 + 2 + 0 + 12 + 2 + 0);
  EXPECT_EQ(e->haveColorAttr(), 1u);
}

}  // namespace
