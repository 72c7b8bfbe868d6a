// The table of open streams: ids, the limit of 32, start, stop, abort and a record that cannot be allocated.
#include "frustrum_test_util.h"

#if defined(_WIN32)
#include <io.h>
#endif

using namespace frustrum_test;

namespace {

class StreamTableTest : public FrustrumTest {};

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

  // Abort keeps the streams open; stop closes the file (every byte written reaches it) and frees the host-stream
  // records without touching the host stream.
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

}  // namespace
