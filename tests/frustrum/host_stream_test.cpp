// Streams without a key: bytes go to and come from the current host stream.
#include "frustrum_test_util.h"

using namespace frustrum_test;

namespace {

class HostStreamTest : public FrustrumTest {};

TEST_F(HostStreamTest, WritesNeedACurrentHostStreamAndLandAtItsPosition) {
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
}

TEST_F(HostStreamTest, ReadsStopAtTheSegmentEnd) {
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream(std::string(500, 's').data(), 500);
  ASSERT_TRUE(stream->seek(100));
  {
    mvkm::CurrentHostStream current(*stream);
    mvkm::gKmStream.pos = 400;
    int id = 0;
    ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id), 0);
    std::string got;
    EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 1000, got), 0);
    EXPECT_EQ(got.size(), 300u);
    EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 1000, got), MV_FR_END_OF_DATA);
    EXPECT_EQ(got, "");
    EXPECT_EQ(stream->refCount(), 2);
  }
  // The guard gave the stream back and cleared the segment end.
  EXPECT_EQ(stream->refCount(), 1);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
  EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
}

}  // namespace
