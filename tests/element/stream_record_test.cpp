#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <string>

using fake::Report;
using fake::tags;
using fake::toStd;

namespace {

std::vector<std::string>& debugLines() {
  static std::vector<std::string> lines;
  return lines;
}

void collectDebugLine(const char* line) { debugLines().push_back(line); }

std::vector<int> intsOf(const MvMemoryStream& s, int count) {
  std::vector<int> out;
  for (int i = 0; i < count; ++i) {
    int v = 0;
    std::memcpy(&v, s.data() + 4 * i, 4);
    out.push_back(v);
  }
  return out;
}

class StreamRecordTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    MvKMBrep::setKmReleaseCallback(fake::release);
    debugLines().clear();
    mvSetDebugSink(collectDebugLine);
  }
  void TearDown() override {
    mvSetDebugSink(nullptr);
    tinykernel::uninstall();
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    fake::LibraryTest::TearDown();
  }
  MvAutoPtr<MvKMBrep> make(std::initializer_list<int> parts) {
    MvAutoPtr<MvKMBrep> e(new MvKMBrep());
    e->appendKmPart(tags(parts), 0);
    return e;
  }
  void expectIdle() {
    EXPECT_EQ(mvFrustrumHasHostStream(), 0);
    EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
    EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  }
};

TEST_F(StreamRecordTest, RecordHoldsVersionsLengthAndSegment) {
  MvKMBrep::setWriteNominalGeom(2);
  MvAutoPtr<MvKMBrep> e = make({7, 9});
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(e->serialize(*s), 1u);
  const std::string segment = "T 7\nT 9\n";
  ASSERT_EQ(s->size(), 16 + static_cast<int>(segment.size()));
  EXPECT_EQ(intsOf(*s, 4), (std::vector<int>{1, 3, 2, static_cast<int>(segment.size())}));
  EXPECT_EQ(std::string(s->data() + 16, segment.size()), segment);
  int pos = 0;
  s->getPosition(pos);
  EXPECT_EQ(pos, s->size());
  EXPECT_EQ(tinykernel::state().nominalFlags, std::vector<unsigned>{2});
  EXPECT_EQ(s->refCount(), 1);
  expectIdle();

  // Reading it back appends the received parts behind existing ones.
  MvAutoPtr<MvKMBrep> back = make({1});
  MvAutoPtr<MvMemoryStream> in(new MvMemoryStream(s->data(), s->size()));
  tinykernel::state().major = 4;
  ASSERT_EQ(back->deserialize(*in), 1u);
  EXPECT_EQ(toStd(back->kmPart()), (std::vector<int>{1, 107, 109}));
  EXPECT_EQ(toStd(back->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 0}));
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(major, 3);  // the version stored with the data, not the running one
  EXPECT_EQ(minor, 2);
  EXPECT_EQ(tinykernel::state().freed, 1);
  EXPECT_EQ(in->refCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  expectIdle();
}

TEST_F(StreamRecordTest, ElementWithoutPartsRoundTrips) {
  MvAutoPtr<MvKMBrep> e(new MvKMBrep());
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(e->serialize(*s), 1u);
  s->write(12345);
  EXPECT_EQ(intsOf(*s, 5), (std::vector<int>{1, 3, 2, 0, 12345}));
  EXPECT_EQ(debugLines(), std::vector<std::string>{"No KM data is available for serialize()\n"});
  EXPECT_TRUE(tinykernel::state().writtenCounts.empty());
  expectIdle();

  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  s->seek(0);
  ASSERT_EQ(back->deserialize(*s), 1u);
  EXPECT_EQ(back->isEmpty(), 1u);
  int next = 0;
  ASSERT_EQ(s->read(next), 1u);
  EXPECT_EQ(next, 12345);
  expectIdle();
}

TEST_F(StreamRecordTest, RefusalsOnWriting) {
  MvAutoPtr<MvKMBrep> e = make({1});
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  MvPartition::setVersion(7, 5);
  EXPECT_EQ(e->serialize(*s), 0u);
  EXPECT_EQ(s->size(), 0);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{{"MvKMBrep", "serialize", "majorVer >= 8", 5}}));
  MvPartition::setVersion(8, 0);

  MvErrorState::clear();
  MvKMBrep::setKmWriteCallback(nullptr);
  EXPECT_EQ(e->serialize(*s), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{{"MvKMBrep", "serialize",
                                                    "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)", 5}}));
  MvKMBrep::setKmWriteCallback(tinykernel::write);

  MvErrorState::clear();
  tinykernel::state().major = -1;
  EXPECT_EQ(e->serialize(*s), 0u);
  EXPECT_EQ(fake::reports().back(), (Report{"MvKMBrep", "serialize", "_kmMajorV >= 0 && _kmMinorV >= 0", 5}));
  tinykernel::state().major = 3;

  // A failing transmit passes the failure on and keeps no stream.
  MvErrorState::clear();
  tinykernel::state().failWrite = true;
  MvAutoPtr<MvMemoryStream> t(new MvMemoryStream());
  EXPECT_EQ(e->serialize(*t), 0u);
  EXPECT_GE(MvErrorState::rethrowCount(), 1);
  EXPECT_EQ(t->refCount(), 1);
  expectIdle();
}

TEST_F(StreamRecordTest, RefusalsOnReading) {
  struct Case {
    std::vector<int> record;
    Report expected;
  };
  const std::vector<Case> cases = {
      {{0, 3, 2, 4}, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 21}},
      {{2, 3, 2, 4}, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 22}},
      {{1, 3, 2, -4}, {"MvKMBrep", "deserialize", "length > 0", 5}},
      {{1, 3, 2, 400}, {"MvKMBrep", "deserialize", "currPos + length <= stream size", 5}},
  };
  for (const Case& c : cases) {
    MvErrorState::clear();
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    for (int v : c.record) s->write(v);
    s->seek(0);
    MvAutoPtr<MvKMBrep> e = make({5});
    EXPECT_EQ(e->deserialize(*s), 0u);
    EXPECT_EQ(fake::reports(), std::vector<Report>{c.expected});
    EXPECT_EQ(toStd(e->kmPart()), std::vector<int>{5});
    expectIdle();
  }
  MvErrorState::clear();
  MvKMBrep::setKmReadCallback(nullptr);
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  MvAutoPtr<MvKMBrep> e = make({});
  EXPECT_EQ(e->deserialize(*s), 0u);
  EXPECT_EQ(fake::reports(), (std::vector<Report>{{"MvKMBrep", "deserialize",
                                                    "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)", 5}}));
}

TEST_F(StreamRecordTest, ShortReadsAndFailedReceives) {
  MvAutoPtr<MvKMBrep> e = make({7, 9, 11});
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(e->serialize(*s), 1u);
  s->write(777);

  // The kernel stops early: the stream still stands after the segment.
  tinykernel::state().readLimit = 4;
  MvAutoPtr<MvKMBrep> back(new MvKMBrep());
  s->seek(0);
  ASSERT_EQ(back->deserialize(*s), 1u);
  EXPECT_EQ(toStd(back->kmPart()), (std::vector<int>{107, 109}));  // one 7-byte block of 13
  int next = 0;
  s->read(next);
  EXPECT_EQ(next, 777);

  // A failing receive keeps nothing, holds no stream and leaves the holder
  // link dropped.
  tinykernel::state().readLimit = -1;
  tinykernel::state().failRead = true;
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  back->setKmBrepOnFly(holder);
  s->seek(0);
  EXPECT_EQ(back->deserialize(*s), 0u);
  EXPECT_EQ(toStd(back->kmPart()), (std::vector<int>{107, 109}));
  EXPECT_EQ(back->kmBrepOnFly().get(), nullptr);
  EXPECT_EQ(holder->refCount(), 1);
  EXPECT_EQ(s->refCount(), 1);
  expectIdle();
}

}  // namespace
