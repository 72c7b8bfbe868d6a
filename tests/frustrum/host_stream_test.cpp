// Streams without a key: bytes go to and come from the current host stream.
#include "frustrum_test_util.h"

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

}  // namespace
