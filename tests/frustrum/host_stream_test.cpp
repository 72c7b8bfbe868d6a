// Streams without a key, on the current host stream; the element's in-memory transmit and receive through
// them with the registered callbacks and the test kernel; graphical-output segments handed to the host.
#include "frustrum_test_util.h"
#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <tuple>

using namespace frustrum_test;

namespace {

class HostStreamTest : public FrustrumTest {};

TEST_F(HostStreamTest, TransfersNeedACurrentHostStreamAndStayInsideItsSegment) {
  int out = 0, in = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "A=1;", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 0, in), 0);
  std::string got;
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "x"), MV_FR_WRITE_FAILED);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 10, got), MV_FR_READ_FAILED);
  EXPECT_EQ(got, "");
  // The streams stay open and usable once a stream is current.
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("head", 4);
  ASSERT_TRUE(stream->seek(4));
  mvkm::CurrentHostStream current(*stream);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, std::string("abc\0\n", 5)), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, out, 1), 0);
  // A key whose first character is NUL is no key.
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, std::string("\0ab", 3), "", out), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "z"), 0);
  EXPECT_EQ(std::string(stream->data(), stream->size()), std::string("headabc\0\nz", 10));

  // Reads stop at the segment end.
  MvAutoPtr<MvMemoryStream> segment = new MvMemoryStream(std::string(500, 's').data(), 500);
  ASSERT_TRUE(segment->seek(100));
  {
    mvkm::CurrentHostStream inner(*segment);
    mvkm::gKmStream.pos = 400;
    EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, 1000), std::string(300, 's'));
    EXPECT_EQ(segment->refCount(), 2);
    EXPECT_EQ(stream->refCount(), 1);  // the stream made current before was dropped
  }
  // The guard gave the stream back and cleared the segment end.
  EXPECT_EQ(segment->refCount(), 1);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
  EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
}

int* handedOut = nullptr;  // the last array the read callback handed out
int* splitTags = nullptr;  // the array the split callback got
unsigned splitResult = 1;

unsigned readKeeping(int& count, int*& tags) {
  const unsigned ok = tinykernel::read(count, tags);
  handedOut = tags;
  return ok;
}

unsigned split(int count, int* tags, MvVec<int>& parts) {
  splitTags = tags;
  for (int i = 0; i < count; ++i) parts.append(-tags[i]);
  return splitResult;
}

// The current host stream is an empty memory stream.
class InMemoryTransmitTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    MvKMBrep::setKmReadCallback(readKeeping);
    splitResult = 1;
  }
  void TearDown() override {
    tinykernel::uninstall();
    fake::LibraryTest::TearDown();
  }
  std::string receive(MvVec<int>& into) {
    EXPECT_TRUE(_stream->seek(0));
    return fake::outcome(MvKMBrep::getKmFromBinaryStream(into));
  }
  MvAutoPtr<MvMemoryStream> _stream = new MvMemoryStream();
  const mvkm::CurrentHostStream _current{*_stream};
};

TEST_F(InMemoryTransmitTest, TransmitThenReceiveThroughTheCurrentHostStream) {
  const auto transmit = [](const MvVec<int>& parts) { return fake::outcome(MvKMBrep::getBinaryStreamFromKm(parts)); };
  EXPECT_EQ(transmit(MvVec<int>()),
            "result 0; MvKMBrep::getBinaryStreamFromKm: kmPartList.length() > 0 (5); rethrown 0");
  MvKMBrep::setWriteNominalGeom(2);
  const MvVec<int> sent = fake::tags({7, 8, 9});
  EXPECT_EQ(transmit(sent), "result 1; rethrown 0");
  EXPECT_EQ(std::string(_stream->data(), _stream->size()), "T 7\nT 8\nT 9\n");
  tinykernel::state().failWrite = true;
  EXPECT_EQ(transmit(sent), "result 0; rethrown 1");
  // An unregistered write callback is reported, not called.
  MvKMBrep::setKmWriteCallback(nullptr);
  EXPECT_EQ(transmit(sent), "result 0; MvKMBrep::getBinaryStreamFromKm: _pfKmWriteCB != NULL (5); rethrown 0");
  // Called only with parts: the two writes, each of three parts with the flag.
  EXPECT_EQ(tinykernel::state().writtenCounts, (std::vector<int>{3, 3}));
  EXPECT_EQ(tinykernel::state().nominalFlags, (std::vector<unsigned>{2, 2}));

  // Received tags are appended after the parts the list held.
  mvkm::gKmStream.pos = _stream->size();  // the segment's end
  MvVec<int> parts = fake::tags({1}), splitParts;
  EXPECT_EQ(receive(parts), "result 1; rethrown 0");
  EXPECT_EQ(tinykernel::state().freed, 1);
  // Without a memory-release callback the tags stay appended.
  MvKMBrep::setKmMemoryRelCallback(nullptr);
  EXPECT_EQ(receive(parts), "result 0; MvKMBrep::getKmFromBinaryStream: _pfKmMemoryRelCB != NULL (5); rethrown 0");
  std::free(handedOut);
  // A failing read callback appends nothing and frees nothing.
  MvKMBrep::setKmMemoryRelCallback(tinykernel::freeTags);
  tinykernel::state().failRead = true;
  EXPECT_EQ(receive(parts), "result 0; rethrown 1");
  EXPECT_EQ(fake::toStd(parts), (std::vector<int>{1, 107, 108, 109, 107, 108, 109}));
  EXPECT_EQ(tinykernel::state().freed, 1);

  // The split callback gets the very array read and makes the parts; a failing split keeps the array.
  tinykernel::state().failRead = false;
  MvKMBrep::setKmSplitCallback(split);
  EXPECT_EQ(receive(splitParts), "result 1; rethrown 0");
  EXPECT_EQ(splitTags, handedOut);
  EXPECT_EQ(fake::toStd(splitParts), (std::vector<int>{-107, -108, -109}));
  EXPECT_EQ(tinykernel::state().freed, 2);
  splitResult = 0;
  EXPECT_EQ(receive(splitParts), "result 0; rethrown 1");
  EXPECT_EQ(tinykernel::state().freed, 2);
  std::free(handedOut);

  MvKMBrep::setKmReadCallback(nullptr);
  EXPECT_EQ(receive(parts), "result 0; MvKMBrep::getKmFromBinaryStream: _pfKmReadCB != NULL (5); rethrown 0");
}

using GoArgs = std::tuple<int, int, const int*, int, const double*, int, const int*>;
std::vector<GoArgs> goCalls;

int recordingGo(int a1, int a2, const int* a3, int a4, const double* a5, int a6, const int* a7) {
  goCalls.emplace_back(a1, a2, a3, a4, a5, a6, a7);
  return 7;
}

TEST(GraphicsTest, SegmentsReachTheCallbackUnchanged) {
  const int v1 = 1, v2 = 2, v4 = 4, v6 = 6, ints[] = {10, 11}, more[] = {20};
  const double doubles[] = {0.5};
  const auto segment = [&](auto entryPoint, const int* a2) {
    return frustrum_test::call(entryPoint, &v1, a2, ints, &v4, doubles, &v6, more);
  };
  MvKMBrep::setKmGoCallback(nullptr);
  EXPECT_EQ(segment(mvOutputSegment, &v2), -1011);
  EXPECT_EQ(segment(mvOpenSegment, &v2), 0);
  EXPECT_EQ(segment(mvCloseSegment, &v2), 0);
  goCalls.clear();
  MvKMBrep::setKmGoCallback(recordingGo);
  EXPECT_EQ(segment(mvOutputSegment, &v2), 7);
  EXPECT_EQ(segment(mvOutputSegment, nullptr), MV_FR_UNSPECIFIED);  // without its values: dropped
  MvKMBrep::setKmGoCallback(nullptr);
  // The values, and the very arrays the kernel passed, not copies.
  EXPECT_EQ(goCalls, (std::vector<GoArgs>{{1, 2, ints, 4, doubles, 6, more}}));
}

}  // namespace
