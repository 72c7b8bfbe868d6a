// The table of open streams: ids, the limit of 32, start, stop, abort and
// a record that cannot be allocated.
#include "frustrum_test_util.h"

#if defined(_WIN32)
#include <io.h>
#endif

namespace frustrum_test {
namespace {

class StreamTableTest : public FrustrumTest {};

// The files the process holds open: its descriptors (on Windows, the C
// runtime's descriptors, each standing for an open file handle).
int openFileDescriptors() {
#if defined(_WIN32)
  int n = 0;
  for (int fd = 0; fd < 2048; ++fd) n += _get_osfhandle(fd) != -1;
  return n;
#else
  int n = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
#endif
}

TEST_F(StreamTableTest, ThirtyTwoStreamsAtOnceAndIdsReusedLowestFirst) {
  int id = 0;
  for (int i = 1; i <= 32; ++i) {
    ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
    EXPECT_EQ(id, i);
  }
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 32);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", 0, id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);

  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 7, 1), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, 5, 1), 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 30);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", 0, id), 0);
  EXPECT_EQ(id, 5);
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(id, 7);
}

TEST_F(StreamTableTest, AbortKeepsStreamsOpenAndStopClosesThem) {
  ScratchDir dir;
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_BINARY, dir / "j", "", id), 0);
  int ifail = -5;
  abortFileFrustrum(&ifail);
  EXPECT_EQ(ifail, 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 1);
  EXPECT_EQ(writeTo(MV_GUISE_JOURNAL, id, "kept"), 0);
  const int descriptors = openFileDescriptors();
  stopFileFrustrum(&ifail);
  EXPECT_EQ(ifail, 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors - 1);
  const std::string content = readAll(dir / "j.j_b");
  EXPECT_EQ(content.substr(content.size() - 4), "kept");
}

TEST_F(StreamTableTest, StopFreesHostStreamRecordsWithoutTouchingTheHostStream) {
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("0123456789", 10);
  {
    mvkm::CurrentHostStream current(*stream);
    EXPECT_EQ(stream->refCount(), 2);
    int id = 0;
    ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", "", id), 0);
    ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id), 0);
    int ifail = -5;
    stopFileFrustrum(&ifail);
    EXPECT_EQ(ifail, 0);
    EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
    EXPECT_EQ(mvFrustrumHasHostStream(), 1);
    EXPECT_EQ(stream->refCount(), 2);
    EXPECT_EQ(stream->size(), 10);
  }
  EXPECT_EQ(stream->refCount(), 1);
}

TEST_F(StreamTableTest, StopWithoutStartKeepsIdsTakenAndOpensReport10) {
  int id = 0;
  for (int i = 0; i < 32; ++i) ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  int ifail = -5;
  stopFileFrustrum(&ifail);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  startFileFrustrum(&ifail);
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(id, 1);
  // A start while streams are open keeps their ids taken.
  ASSERT_EQ(openWrite(MV_GUISE_SNAPSHOT, MV_FORMAT_TEXT, "", "", id), 0);
  startFileFrustrum(&ifail);
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(id, 3);
  EXPECT_EQ(closeStream(MV_GUISE_JOURNAL, 2, 1), 0);
  // Id 3 is the journal stream: the write reaches it and fails only for
  // want of a current host stream.
  EXPECT_EQ(writeTo(MV_GUISE_JOURNAL, 3, "x"), MV_FR_WRITE_FAILED);
}

TEST_F(StreamTableTest, ARecordThatCannotBeAllocatedReports10AndClosesTheFile) {
  ScratchDir dir;
  writeAll(dir / "in.x_b", "bytes");
  const int descriptors = openFileDescriptors();
  int id = 0;
  MvHeap::failAt(0);
  EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "A;", id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  MvHeap::failAt(0);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(id, -1);
  MvHeap::failAt(0);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 0, id), MV_FR_OPEN_FAILED);
  EXPECT_EQ(MvHeap::injectedFailures(), 1);
  MvHeap::disarm();
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(openFileDescriptors(), descriptors);
  // The file the failed write created is gone; the one read is still there.
  EXPECT_FALSE(fs::exists(dir / "out.x_b"));
  EXPECT_EQ(readAll(dir / "in.x_b"), "bytes");
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, id), 0);
  EXPECT_EQ(id, 1);
}

}  // namespace
}  // namespace frustrum_test
