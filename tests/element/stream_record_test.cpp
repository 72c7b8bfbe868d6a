#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <string>
#include <utility>

using namespace fake;

namespace {

std::vector<std::string> debugLines;

// The bytes of 32-bit little-endian integers, as the stream writes them.
std::string ints(std::initializer_list<int> values) {
  std::string out;
  for (int v : values)
    for (int b = 0; b < 4; ++b) out += static_cast<char>(static_cast<unsigned>(v) >> (8 * b));
  return out;
}

class StreamRecordTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    debugLines.clear();
    mvSetDebugSink([](const char* line) { debugLines.push_back(line); });
  }
  void TearDown() override {
    mvSetDebugSink(nullptr);
    tinykernel::uninstall();
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    fake::LibraryTest::TearDown();
  }
  // The stream given back, no host stream current, no frustrum stream open, the lock free.
  void expectIdle(const MvMemoryStream& s) {
    EXPECT_EQ(s.refCount(), 1);
    EXPECT_EQ(mvFrustrumHasHostStream(), 0);
    EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
    EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
    EXPECT_EQ(MvKMBrep::s_pKorvaniteMutex->heldDepth(), 0);
  }
};

// Records hold version 1, the kernel's version, the segment length and the segment; no parts: length 0.
TEST_F(StreamRecordTest, RecordsRoundTrip) {
  MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
  ASSERT_EQ(element({7, 9, 11})->serialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 13);
  ASSERT_EQ(element()->serialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 0);
  s->write(12345);  // the stream stands after each record
  EXPECT_EQ(std::string(s->data(), s->size()), ints({1, 3, 2, 13}) + "T 7\nT 9\nT 11\n" + ints({1, 3, 2, 0, 12345}));
  EXPECT_EQ(debugLines, std::vector<std::string>{"No KM data is available for serialize()\n"});
  expectIdle(*s);

  // Reading appends the received parts behind existing ones.
  MvAutoPtr<MvKMBrep> back = element({1}), none = element();
  tinykernel::state().major = 4;
  s->seek(0);
  ASSERT_EQ(back->deserialize(*s), 1u);
  EXPECT_EQ(MvKMBrep::storedSegmentLength(), 13);
  ASSERT_EQ(none->deserialize(*s), 1u);
  EXPECT_EQ(toStd(back->kmPart()), (std::vector<int>{1, 107, 109, 111}));
  EXPECT_EQ(toStd(back->kmPartOwnerFlags()), (std::vector<unsigned>{0, 0, 0, 0}));
  EXPECT_EQ(none->isEmpty(), 1u);
  int next = 0;
  ASSERT_EQ(s->read(next), 1u);
  EXPECT_EQ(next, 12345);
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(std::make_pair(major, minor), std::make_pair(3, 2));  // stored with the data, not the running one
  EXPECT_EQ(tinykernel::state().freed, 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  expectIdle(*s);

  // The kernel stops early (one 7-byte block of 13): the stream still stands after the segment.
  tinykernel::state().readLimit = 4;
  s->seek(0);
  ASSERT_EQ(none->deserialize(*s), 1u);
  EXPECT_EQ(toStd(none->kmPart()), (std::vector<int>{107, 109}));
  int pos = 0;
  s->getPosition(pos);
  EXPECT_EQ(pos, 16 + 13);

  // A failing receive keeps nothing, holds no stream and leaves the holder link dropped.
  tinykernel::state().readLimit = -1;
  tinykernel::state().failRead = true;
  MvAutoPtr<MvKMBrepOnFly> holder(new MvKMBrepOnFly());
  none->setKmBrepOnFly(holder);
  s->seek(0);
  EXPECT_EQ(outcome(none->deserialize(*s)), "result 0; rethrown 2");
  EXPECT_EQ(toStd(none->kmPart()), (std::vector<int>{107, 109}));
  EXPECT_EQ(holder->refCount(), 1);
  expectIdle(*s);

  // A failing transmit passes the failure on and holds no stream.
  tinykernel::state().failWrite = true;
  EXPECT_EQ(outcome(back->serialize(*s)), "result 0; rethrown 2");
  expectIdle(*s);
}

// Each refusal reports, leaves the element's parts as they were and holds no stream.
TEST_F(StreamRecordTest, Refusals) {
  const struct {
    void (*setup)();
    std::vector<int> record;  // read into the element; none: the element is written
    int written;              // bytes a refused write leaves
    Report expected;
  } cases[] = {
      {[] { MvPartition::setVersion(7, 5); }, {}, 0, {"MvKMBrep", "serialize", "majorVer >= 8", 5}},
      {[] { MvKMBrep::setKmWriteCallback(nullptr); }, {}, 0,
       {"MvKMBrep", "serialize", "(_pfKmVersionCB != NULL) && (_pfKmWriteCB != NULL)", 5}},
      {[] { tinykernel::state().major = -1; }, {}, 4, {"MvKMBrep", "serialize", "_kmMajorV >= 0 && _kmMinorV >= 0", 5}},
      {[] { tinykernel::state().writeNothing = true; }, {}, 16, {"MvKMBrep", "serialize", "length > 0", 5}},
      {nullptr, {0, 3, 2, 4}, 0, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 21}},
      {nullptr, {2, 3, 2, 4}, 0, {"MvKMBrep", "deserialize", "Invalid KMBrep version number", 22}},
      {nullptr, {1, 3, 2, -4}, 0, {"MvKMBrep", "deserialize", "length > 0", 5}},
      {nullptr, {1, 3, -2, 4}, 0, {"MvKMBrep", "deserialize", "_kmMajorV >= 0 && _kmMinorV >= 0", 5}},
      {nullptr, {1, 3, 2, 400}, 0, {"MvKMBrep", "deserialize", "currPos + length <= stream size", 5}},
      {[] { MvKMBrep::setKmReadCallback(nullptr); }, {1, 3, 2, 4}, 0,
       {"MvKMBrep", "deserialize", "(_pfKmVersionCB != NULL) && (_pfKmReadCB != NULL)", 5}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::get<2>(c.expected));  // the condition
    tinykernel::install();
    MvPartition::setVersion(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor);
    MvErrorState::clear();
    if (c.setup) c.setup();
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    for (int v : c.record) s->write(v);
    s->seek(0);
    MvAutoPtr<MvKMBrep> e = element({5});
    EXPECT_EQ(c.record.empty() ? e->serialize(*s) : e->deserialize(*s), 0u);
    EXPECT_EQ(fake::reports(), std::vector<Report>{c.expected});
    EXPECT_EQ(toStd(e->kmPart()), std::vector<int>{5});
    EXPECT_EQ(s->size(), c.record.empty() ? c.written : 16);
    expectIdle(*s);
  }
}

// Read through the object stream, which knows where the record ends, a length of 0 means no parts only
// when the record ends there: a length zeroed in front of a segment is damage, not an empty element.
TEST_F(StreamRecordTest, ZeroLengthIsNoPartsOnlyAtTheRecordEnd) {
  const struct {
    std::vector<int> parts, read;  // read: none with a refusal
    bool zeroLength;
  } cases[] = {{{7, 9}, {107, 109}, false}, {{7, 9}, {}, true}, {{}, {}, false}};
  for (const auto& c : cases) {
    MvErrorState::clear();
    MvAutoPtr<MvMemoryStream> s(new MvMemoryStream());
    ASSERT_EQ(s->writeObject(testfiles::elementOf(c.parts)), 1u);
    if (c.zeroLength) s->seek(16 + 4 + 12), s->write(0);  // GUID, record length, version and kernel version
    s->seek(0);
    MvAutoPtr<MvBase> obj;
    const unsigned ok = s->readObject(obj);
    EXPECT_EQ(ok, c.zeroLength ? 0u : 1u);
    EXPECT_EQ(s->lastUnreadBytes(), 0);
    if (ok) {
      EXPECT_EQ(toStd(static_cast<MvKMBrep*>(obj.get())->kmPart()), c.read);
    } else {
      EXPECT_EQ(reports().front(), (Report{"MvKMBrep", "deserialize", "length > 0", 5}));
    }
    expectIdle(*s);
  }
}

}  // namespace
