#include "app/demo_model.h"
#include "app/sample_app.h"
#include "support/elements.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace {

using testfiles::readAll;
using testfiles::elementOf;
const auto tempDir = testfiles::tempRoot;

void expectSameBodies(const MvVec<int>& a, const MvVec<int>& b) {
  ASSERT_EQ(a.length(), b.length());
  for (int i = 0; i < a.length(); ++i) {
    EXPECT_NE(a[i], b[i]);
    EXPECT_TRUE(ksample::sameBody(a[i], b[i])) << "part " << i;
  }
}

long long triangles(const MvAutoPtrVec<MvTriStripSet>& sets) {
  long long n = 0;
  for (int i = 0; i < sets.length(); ++i) n += sets[i]->triangleCount();
  return n;
}

class EndToEnd : public ::testing::TestWithParam<ksample::Format> {};

TEST_P(EndToEnd, ElementsRoundTripThroughAHostFile) {
  ksamplehost::Options options;
  options.hostStreamFormat = GetParam();
  ksamplehost::SampleApp app(options);
  ASSERT_TRUE(app.ok()) << app.error();
  const long long memoryAtStart = MvPlatform::instance()->memoryInUse();
  {
    MvAutoPtr<MvKMBrep> a = elementOf(ksamplehost::buildDemoModel(7));
    MvAutoPtr<MvKMBrep> b(new MvKMBrep());
    MvAutoPtr<MvKMBrep> c = elementOf(ksamplehost::buildDemoModel(2));
    const std::string path = tempDir() + "/end_to_end.mv61";
    {
      MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
      ASSERT_TRUE(out);
      for (MvKMBrep* e : {a.get(), b.get(), c.get()}) ASSERT_EQ(out->writeObject(e), 1u);
      ASSERT_EQ(out->close(), 1u);
    }
    const int bodiesBefore = ksample::bodyCount();
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    ASSERT_TRUE(in);
    std::vector<MvAutoPtr<MvKMBrep>> back;
    while (!in->atEnd()) {
      MvAutoPtr<MvBase> obj;
      ASSERT_EQ(in->readObject(obj), 1u) << (MvErrorState::reports().empty() ? "" : MvErrorState::reports()[0].condition);
      back.emplace_back(static_cast<MvKMBrep*>(obj.get()));
    }
    ASSERT_EQ(back.size(), 3u);
    expectSameBodies(a->kmPart(), back[0]->kmPart());
    EXPECT_EQ(back[1]->isEmpty(), 1u);
    expectSameBodies(c->kmPart(), back[2]->kmPart());
    EXPECT_EQ(ksample::bodyCount(), bodiesBefore + 9);
    int major = 0, minor = 0;
    MvKMBrep::storedKmVersion(major, minor);
    EXPECT_EQ(std::make_pair(major, minor), std::make_pair(ksample::kVersionMajor, ksample::kVersionMinor));
    std::remove(path.c_str());
  }
  // Every element released its parts and its vectors.
  EXPECT_EQ(ksample::bodyCount(), 0);
  EXPECT_EQ(MvPlatform::instance()->memoryInUse(), memoryAtStart);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
}

TEST_P(EndToEnd, KernelFilesCarryTheHeaderAndReadBack) {
  ksamplehost::SampleApp app;
  ASSERT_TRUE(app.ok()) << app.error();
  const std::vector<int> tags = ksamplehost::buildDemoModel(5);
  const std::string key = tempDir() + "/kernel_file";
  const bool text = GetParam() == ksample::Format::Text;
  const std::string file = key + (text ? ".x_t" : ".x_b");
  ASSERT_EQ(ksample::transmit(5, tags.data(), key.c_str(), static_cast<int>(key.size()), GetParam()), 0)
      << ksample::lastError();
  const std::string bytes = readAll(file);
  EXPECT_EQ(bytes.compare(0, 10, "**ABCDEFGH"), 0);
  for (const std::string& field : {"KEY=" + key + ";\n", "FILE=" + file + ";\n",
                                   std::string("FORMAT=") + (text ? "text" : "binary") + ";\n",
                                   std::string("GUISE=transmit;\n"), std::string("**PART3;\n**END_OF_HEADER")})
    EXPECT_NE(bytes.find(field), std::string::npos) << field;

  int count = 0;
  int* received = nullptr;
  ASSERT_EQ(ksample::receive(key.c_str(), static_cast<int>(key.size()), GetParam(), count, received), 0)
      << ksample::lastError();
  ASSERT_EQ(count, 5);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(ksample::sameBody(tags[i], received[i]));
  ksample::freeTags(received);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  std::remove(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEnd, ::testing::Values(ksample::Format::Binary, ksample::Format::Text),
                         [](const ::testing::TestParamInfo<ksample::Format>& info) {
                           return info.param == ksample::Format::Text ? "Text" : "Binary";
                         });

TEST(System, CopiesSplitAndHolders) {
  ksamplehost::Options options;
  options.registerSplit = true;
  ksamplehost::SampleApp app(options);
  ASSERT_TRUE(app.ok()) << app.error();
  MvAutoPtr<MvKMBrep> a = elementOf(ksamplehost::buildDemoModel(3));
  MvAutoPtr<MvKMBrep> copy(new MvKMBrep(*a));
  expectSameBodies(a->kmPart(), copy->kmPart());
  EXPECT_EQ(ksample::bodyCount(), 6);

  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(a->serialize(*s), 1u);
  s->seek(0);
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  ASSERT_EQ(back->deserialize(*s), 1u);  // through the split callback
  expectSameBodies(a->kmPart(), back->kmPart());

  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  const std::vector<int> loaded = ksamplehost::buildDemoModel(2);
  MvVec<int> entities;
  entities.append(loaded.data(), 2);
  holder->appendKmEntity(entities, 1);
  MvAutoPtr<MvKMBrepOnFly> holderCopy(new MvKMBrepOnFly(*holder));
  EXPECT_EQ(ksample::bodyCount(), 13);
  holder = nullptr;
  holderCopy->unloadKmEntity();
  EXPECT_EQ(ksample::bodyCount(), 9);
  a->removePart(0);
  EXPECT_EQ(ksample::bodyCount(), 8);
}

TEST(System, GraphicalOutputReachesTheHost) {
  ksamplehost::SampleApp app;
  ASSERT_TRUE(app.ok()) << app.error();
  const int box = ksample::makeBox(1, 2, 3, ksample::identityTransform());
  std::vector<ksamplehost::Segment> segments;
  ksamplehost::setSegmentSink(&segments);
  EXPECT_EQ(ksample::render(box), 0);
  ksamplehost::setSegmentSink(nullptr);
  ASSERT_EQ(segments.size(), 12u);
  EXPECT_EQ(segments[0].tag, box);
  EXPECT_EQ(segments[0].points.size(), 6u);

  MvKMBrep::setKmGoCallback(nullptr);
  EXPECT_EQ(ksample::render(box), -1011);
}

TEST(System, FinerLevelsGiveMoreTriangles) {
  ksamplehost::SampleApp app;
  ASSERT_TRUE(app.ok()) << app.error();
  MvAutoPtr<MvKMBrep> e = elementOf(ksamplehost::buildDemoModel(6));
  long long previous = 0;
  for (int level = 0; level <= 2; ++level) {
    MvKMBrep::KmBrepTessParams params{};
    MvKMBrep::initializeTessParam(params, level);
    MvAutoPtrVec<MvTriStripSet> faces;
    MvAVec<MvIVec<int>> maps;
    ASSERT_EQ(e->getMvFaceShapeList(params, faces, maps, 1), 1u);
    EXPECT_EQ(maps.length(), 6);
    MvAutoPtrVec<MvTriStripSet> merged;
    MvKMBrep::initializeTessParam(params, level);
    ASSERT_EQ(e->getMvColorShapeList(params, merged), 1u);
    EXPECT_EQ(triangles(merged), triangles(faces));
    EXPECT_GT(triangles(faces), previous);
    previous = triangles(faces);
  }
  MvKMBrep::KmBrepTessParams params{};
  MvKMBrep::initializeTessParam(params, 0);
  MvAutoPtrVec<MvPolylineSet> edges;
  ASSERT_EQ(e->getMvEdgeShape(params, edges), 1u);
  int lines = 0;
  for (int i = 0; i < edges.length(); ++i) lines += edges[i]->polylineCount();
  EXPECT_EQ(lines, 12 + 2 + 0 + 12 + 2 + 0);
  MvBox3f box;
  EXPECT_EQ(e->getBBox(box), 1u);
  EXPECT_EQ(e->haveColorAttr(), 1u);
}

}  // namespace
