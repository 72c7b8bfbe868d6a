// The sample application end to end: elements through host files in both
// formats of the kernel's data, copies, the split callback, holders,
// graphical output and tessellation. The fixture checks that each test
// leaves no kernel body, no memory and the library idle.
#include "reliability/reliability_support.h"

#include <string>
#include <utility>

namespace {

using namespace rel;

// The parts are equal bodies and distinct tags.
void expectCopies(const std::vector<int>& a, const std::vector<int>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_NE(a[i], b[i]);
    EXPECT_TRUE(ksample::sameBody(a[i], b[i])) << "part " << i;
  }
}

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
  const std::string path = tempPath("end_to_end") + ".mv61";
  {
    MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
    ASSERT_TRUE(out);
    for (MvKMBrep* e : {a.get(), b.get(), c.get()}) ASSERT_EQ(out->writeObject(e), 1u);
    ASSERT_EQ(out->close(), 1u);
  }
  MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
  ASSERT_TRUE(in);
  std::vector<MvAutoPtr<MvKMBrep>> back;
  while (!in->atEnd()) {
    MvAutoPtr<MvBase> obj;
    ASSERT_EQ(in->readObject(obj), 1u) << firstReport();
    back.emplace_back(static_cast<MvKMBrep*>(obj.get()));
  }
  std::remove(path.c_str());
  ASSERT_EQ(back.size(), 3u);
  expectCopies(partsOf(*a), partsOf(*back[0]));
  EXPECT_EQ(back[1]->isEmpty(), 1u);
  expectCopies(partsOf(*c), partsOf(*back[2]));
  EXPECT_EQ(ksample::bodyCount(), 9 + 9);  // the originals and what was read
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(std::make_pair(major, minor), std::make_pair(ksample::kVersionMajor, ksample::kVersionMinor));
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEnd, ::testing::Values(ksample::Format::Binary, ksample::Format::Text),
                         [](const ::testing::TestParamInfo<ksample::Format>& info) {
                           return info.param == ksample::Format::Text ? "Text" : "Binary";
                         });

using System = AppTest;

TEST_F(System, CopiesSplitAndHolders) {
  MvAutoPtr<MvKMBrep> a = elementOf(ksamplehost::buildDemoModel(3));
  MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*a));
  expectCopies(partsOf(*a), partsOf(*copy));
  EXPECT_EQ(ksample::bodyCount(), 6);

  options.registerSplit = true;
  ksamplehost::registerCallbacks(options);
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(a->serialize(*s), 1u);
  s->seek(0);
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  ASSERT_EQ(back->deserialize(*s), 1u);  // through the split callback
  expectCopies(partsOf(*a), partsOf(*back));

  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  holder->appendKmEntity(tagVec(ksamplehost::buildDemoModel(2)), 1);
  MvAutoPtr<MvKMBrepOnFly> holderCopy(new MvKMBrepOnFly(*holder));
  EXPECT_EQ(ksample::bodyCount(), 13);
  holder = nullptr;
  holderCopy->unloadKmEntity();
  EXPECT_EQ(ksample::bodyCount(), 9);
  a->removePart(0);
  EXPECT_EQ(ksample::bodyCount(), 8);
}

// The sample application's graphical-output callback receives the box's
// twelve edges. (Without a callback the segment fails with -1011:
// GraphicsTest.SegmentsReachTheCallbackUnchanged.)
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
  long long previous = 0;
  for (int level = 0; level <= 2; ++level) {
    MvKMBrep::KmBrepTessParams p = params(level);
    MvAutoPtrVec<MvTriStripSet> faces, merged;
    MvAVec<MvIVec<int>> maps;
    ASSERT_EQ(e->getMvFaceShapeList(p, faces, maps, 1), 1u);
    EXPECT_EQ(maps.length(), 6);
    ASSERT_EQ(e->getMvColorShapeList(p = params(level), merged), 1u);
    EXPECT_EQ(triangles(merged), triangles(faces));
    EXPECT_GT(triangles(faces), previous);
    previous = triangles(faces);
  }
  MvKMBrep::KmBrepTessParams p = params();
  MvAutoPtrVec<MvPolylineSet> edges;
  ASSERT_EQ(e->getMvEdgeShape(p, edges), 1u);
  int lines = 0;
  for (int i = 0; i < edges.length(); ++i) lines += edges[i]->polylineCount();
  EXPECT_EQ(lines, 12 + 2 + 0 + 12 + 2 + 0);
  MvBox3f box;
  EXPECT_EQ(e->getBBox(box), 1u);
  EXPECT_EQ(e->haveColorAttr(), 1u);
}

}  // namespace
