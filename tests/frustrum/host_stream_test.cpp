// Streams without a key: bytes go to and come from the current host stream.
#include "frustrum_test_util.h"

namespace frustrum_test {
namespace {

class HostStreamTest : public FrustrumTest {};

TEST_F(HostStreamTest, WritesLandInTheCurrentHostStreamAtItsPosition) {
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream("head", 4);
  ASSERT_TRUE(stream->seek(4));
  mvkm::CurrentHostStream current(*stream);
  EXPECT_EQ(mvFrustrumHasHostStream(), 1);
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "A=1;", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "abc"), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, std::string("\0\n", 2)), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  EXPECT_EQ(std::string(stream->data(), stream->size()), std::string("headabc\0\n", 9));

  // A key whose first character is NUL is no key.
  const int guise = MV_GUISE_TRANSMIT, format = MV_FORMAT_TEXT, keyLength = 3, headerLength = 0;
  int ifail = -5;
  openWriteFrustrumFile(&guise, &format, std::string("\0ab", 3).c_str(), &keyLength, "", &headerLength, &id,
                        &ifail);
  ASSERT_EQ(ifail, 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "z"), 0);
  EXPECT_EQ(stream->size(), 10);
}

TEST_F(HostStreamTest, ReadsStopAtTheSegmentEnd) {
  std::string bytes;
  for (int i = 0; i < 500; ++i) bytes += static_cast<char>('a' + i % 26);
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream(bytes.data(), 500);
  ASSERT_TRUE(stream->seek(100));
  {
    mvkm::CurrentHostStream current(*stream);
    mvkm::gKmStream.pos = 400;
    EXPECT_EQ(mvFrustrumSegmentEnd(), 400);
    int id = 0;
    ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id), 0);
    std::string got;
    EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 1000, got), 0);
    EXPECT_EQ(got, bytes.substr(100, 300));
    EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 1000, got), MV_FR_END_OF_DATA);
    EXPECT_EQ(got, "");
    int position = 0;
    ASSERT_TRUE(stream->getPosition(position));
    EXPECT_EQ(position, 400);
    EXPECT_EQ(stream->refCount(), 2);
  }
  // The guard gave the stream back and cleared the segment end.
  EXPECT_EQ(stream->refCount(), 1);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
  EXPECT_EQ(mvFrustrumSegmentEnd(), 0);
}

TEST_F(HostStreamTest, WithoutACurrentHostStreamWritesReport12AndReads13) {
  int out = 0, in = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", "", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 0, in), 0);
  std::string got;
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "x"), MV_FR_WRITE_FAILED);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 10, got), MV_FR_READ_FAILED);
  EXPECT_EQ(got, "");
  // The streams stay open and usable once a stream is current.
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream();
  mvkm::CurrentHostStream current(*stream);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, out, "x"), 0);
  EXPECT_EQ(stream->size(), 1);
}

TEST_F(HostStreamTest, MakingAnotherStreamCurrentDropsTheOldOne) {
  MvAutoPtr<MvMemoryStream> first = new MvMemoryStream();
  MvAutoPtr<MvMemoryStream> second = new MvMemoryStream();
  mvkm::CurrentHostStream outer(*first);
  {
    mvkm::CurrentHostStream inner(*second);
    EXPECT_EQ(first->refCount(), 1);
    EXPECT_EQ(second->refCount(), 2);
    EXPECT_EQ(mvkm::gKmStream.stream.get(), second.get());
  }
  EXPECT_EQ(second->refCount(), 1);
  EXPECT_EQ(mvFrustrumHasHostStream(), 0);
}

}  // namespace
}  // namespace frustrum_test
