// File streams small and far larger than one file buffer; the table of open streams (ids, the limit of 32, start,
// stop, abort, a record that cannot be allocated); streams without a key on the current host stream and the
// element's in-memory transmit and receive through them; graphical-output segments handed to the host.
#include "frustrum_test_util.h"
#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <cerrno>
#include <tuple>
#if defined(_WIN32)
#include <io.h>
#endif

using namespace frustrum_test;

namespace {

class TransferTest : public FrustrumTest {};
class StreamTableTest : public FrustrumTest {};
class HostStreamTest : public FrustrumTest {};

// Bytes that differ from block to block, so that a lost or repeated block shows.
std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

TEST_F(TransferTest, WrongStreamGuiseDirectionOrUnsafeArgumentsAreRefusedWith99) {
  writeAll(dir / "in.x_b", "input");
  int out = 0, in = 0, id = 0, delivered = -5;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, in), 0);
  const std::size_t headerSize = readAll(dir / "out.x_b").size();
  const int guise = MV_GUISE_TRANSMIT, negative = -1, one = 1, zero = 0;
  char buffer[4];
  std::string got;
  // Unknown id, wrong guise, wrong direction; then null pointers and negative counts.
  const std::vector<int> statuses = {
      writeTo(MV_GUISE_TRANSMIT, 9, "x"), writeTo(MV_GUISE_SNAPSHOT, out, "x"), writeTo(MV_GUISE_TRANSMIT, in, "x"),
      readFrom(MV_GUISE_TRANSMIT, 9, 10, got), readFrom(MV_GUISE_SNAPSHOT, in, 10, got),
      readFrom(MV_GUISE_TRANSMIT, out, 10, got), call(writeToFrustrumFile, &guise, &out, &negative, "x"),
      call(writeToFrustrumFile, &guise, &out, &one, nullptr), call(closeFrustrumFile, &guise, &out, nullptr),
      call(readFromFrustrumFile, &guise, &in, &negative, buffer, &delivered),
      call(readFromFrustrumFile, &guise, &in, &one, nullptr, &delivered),
      call(openWriteFrustrumFile, &guise, &guise, nullptr, &one, "", &zero, &id),
      call(openWriteFrustrumFile, &guise, &guise, "k", &one, nullptr, &one, &id),
      call(openReadFrustrumFile, &guise, &guise, "k", &one, nullptr, &id)};
  EXPECT_EQ(statuses, std::vector<int>(14, MV_FR_UNSPECIFIED));
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(id, -1);
  // Nothing was written and both streams work: a read of more than is left gives the rest, the next end of data.
  EXPECT_EQ(readAll(dir / "out.x_b").size(), headerSize);
  // A read of 0 bytes is no overrun: it delivers nothing, as end of data.
  delivered = -5;
  EXPECT_EQ(call(readFromFrustrumFile, &guise, &in, &zero, buffer, &delivered), MV_FR_END_OF_DATA);
  EXPECT_EQ(delivered, 0);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 100, got), 0);
  EXPECT_EQ(got, "input");
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 100, got), MV_FR_END_OF_DATA);
  EXPECT_EQ(got, "");
}

TEST_F(TransferTest, BlocksOfAnySizeRoundTripAndAJournalIsOnDiskAfterEveryWrite) {
  const std::string data = pattern(700 * 1024 + 13);
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", "A=1;", id), 0);
  const std::size_t sizes[] = {4096, 1, 70000, 333, 65536, 4095};
  for (std::size_t at = 0, k = 0; at < data.size(); at += sizes[k++ % 6])
    ASSERT_EQ(writeTo(MV_GUISE_TRANSMIT, id, data.substr(at, sizes[k % 6])), 0);
  ASSERT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  for (int maxCount : {4096, 100000, 7})
    EXPECT_TRUE(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", 1, maxCount) == data) << maxCount;

  // A journal is on disk after every write: past one buffer's worth, then a few bytes more.
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_BINARY, dir / "log", "", id), 0);
  const std::string first = data.substr(0, 100 * 1024);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, id, first), 0);
  const std::string afterFirst = readAll(dir / "log.j_b");
  ASSERT_GT(afterFirst.size(), first.size());
  const std::string header = afterFirst.substr(0, afterFirst.size() - first.size());
  EXPECT_EQ(afterFirst, header + first);
  EXPECT_TRUE(header.rfind("**END_OF_HEADER") == header.size() - 81);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, id, "tail"), 0);
  EXPECT_TRUE(readAll(dir / "log.j_b") == header + first + "tail");
}

TEST_F(TransferTest, CloseActionsAndDoubleClose) {
  int id = 0;
  // An abandoned file is removed even with data still waiting to be written.
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "gone", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, pattern(150 * 1024 + 5)), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_FALSE(fs::exists(dir / "gone.x_b"));
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), MV_FR_CLOSE_FAILED);
  // Abandoning a read stream keeps its file; a host-stream record has none.
  writeAll(dir / "kept.x_b", "kept");
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "kept", 0, id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_EQ(readAll(dir / "kept.x_b"), "kept");
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
}

TEST_F(TransferTest, AFullDeviceDropsTheStreamAndKeepsTheFile) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no always-full device like /dev/full (Windows has none)";
  // Rollback guise and an unknown format add nothing to the key. The header is flushed at the open, so even a
  // short one fails there, not at the close, whatever the stdio buffer holds.
  for (const std::string& header : {std::string(1 << 17, 'h') + ";", std::string()}) {
    int id = 0, osError = 0;
    EXPECT_EQ(openWrite(MV_GUISE_ROLLBACK, 3, "/dev/full", header, id), MV_FR_WRITE_FAILED);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_WRITE_FAILED);
    EXPECT_EQ(osError, ENOSPC);
  }
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(id, 1);
}

TEST_F(TransferTest, ASystemFailureKeepsTheSystemsErrorNumber) {
  int id = 0, osError = -1;
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "missing", 0, id), MV_FR_NO_FILE);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_NO_FILE);
  EXPECT_EQ(osError, ENOENT);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), 0);
  EXPECT_EQ(osError, 0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "none/k", "", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(mvFrustrumLastSystemFailure(&osError), MV_FR_OPEN_FAILED);
  EXPECT_EQ(osError, ENOENT);
}

// The files the process holds open (on Windows, the C runtime's descriptors of open file handles).
int openFileDescriptors() {
  int n = 0;
#if defined(_WIN32)
  for (int fd = 0; fd < 2048; ++fd) n += _get_osfhandle(fd) != -1;
#else
  for (auto it = fs::directory_iterator("/proc/self/fd"); it != fs::directory_iterator(); ++it) ++n;
#endif
  return n;
}

// Opens a host-stream record for writing and gives its id, or the status negated.
int openRecord() {
  int id = 0;
  const int status = openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id);
  return status == 0 ? id : -status;
}

TEST_F(StreamTableTest, ThirtyTwoStreamsAtOnceAndIdsReusedLowestFirst) {
  for (int i = 1; i <= 32; ++i) EXPECT_EQ(openRecord(), i);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  int id = 0;
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", 0, id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 32);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 7, 1), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 5, 1), 0);
  EXPECT_EQ(openRecord(), 5);
  EXPECT_EQ(openRecord(), 7);
  // After a stop without a start no id is free.
  call(stopFileFrustrum);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  // A start while streams are open keeps their ids taken.
  call(startFileFrustrum);
  EXPECT_EQ(openRecord(), 1);
  call(startFileFrustrum);
  EXPECT_EQ(openRecord(), 2);
}

TEST_F(StreamTableTest, FailedRecordsAbortAndStopLeaveNoFileOpen) {
  writeAll(dir / "in.x_b", "bytes");
  const int descriptors = openFileDescriptors();
  int id = 0;
  // A record that cannot be allocated: 10, and the file is closed (and removed when the open created it).
  MvHeap::failAt(0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "A;", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  MvHeap::failAt(0);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, id), MV_FR_OPEN_FAILED);
  MvHeap::failAt(0);
  EXPECT_EQ(openRecord(), -MV_FR_OPEN_FAILED);
  EXPECT_EQ(MvHeap::injectedFailures(), 1);
  MvHeap::disarm();
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors);
  EXPECT_FALSE(fs::exists(dir / "out.x_b"));
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0), "bytes");

  // Abort keeps the streams open; stop closes the file with every byte written and frees records, not the host stream.
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("0123456789", 10);
  mvkm::CurrentHostStream current(*stream);
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "f", "", id), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id), 0);
  EXPECT_EQ(openRecord(), 3);  // the failed opens gave their ids back
  EXPECT_EQ(call(abortFileFrustrum), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, 1, "kept"), 0);
  EXPECT_EQ(call(stopFileFrustrum), 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors);
  EXPECT_EQ(readAll(dir / "f.x_b").substr(readAll(dir / "f.x_b").size() - 4), "kept");
  EXPECT_EQ(stream->refCount(), 2);
  EXPECT_EQ(std::string(stream->data(), stream->size()), "0123456789");
}

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
