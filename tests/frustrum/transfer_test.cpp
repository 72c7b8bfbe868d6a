// Reading, writing and closing file streams.
#include "frustrum_test_util.h"

namespace frustrum_test {
namespace {

class TransferTest : public FrustrumTest {};

TEST_F(TransferTest, CallsOnTheWrongStreamGuiseOrDirectionAreRefusedWith99) {
  ScratchDir dir;
  writeAll(dir / "in.x_b", "input");
  int out = 0, in = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "out", "", out), 0);
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "in", 0, in), 0);
  const std::size_t headerSize = readAll(dir / "out.x_b").size();
  std::string got;

  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, 9, "x"), MV_FR_UNSPECIFIED);
  EXPECT_EQ(writeTo(MV_GUISE_SNAPSHOT, out, "x"), MV_FR_UNSPECIFIED);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, in, "x"), MV_FR_UNSPECIFIED);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, out, 10, got), MV_FR_UNSPECIFIED);
  EXPECT_EQ(readFrom(MV_GUISE_SNAPSHOT, in, 10, got), MV_FR_UNSPECIFIED);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, 9, 10, got), MV_FR_UNSPECIFIED);
  EXPECT_EQ(got, "");

  // Unsafe arguments are refused the same way.
  const int guise = MV_GUISE_TRANSMIT, negative = -1, one = 1, zero = 0;
  int ifail = -5, delivered = -5;
  char buffer[4];
  writeToFrustrumFile(&guise, &out, &negative, "x", &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  writeToFrustrumFile(&guise, &out, &one, nullptr, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  readFromFrustrumFile(&guise, &in, &zero, buffer, &delivered, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  EXPECT_EQ(delivered, 0);
  readFromFrustrumFile(&guise, &in, &one, nullptr, &delivered, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  int id = 0;
  openWriteFrustrumFile(&guise, &guise, nullptr, &one, "", &zero, &id, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  EXPECT_EQ(id, -1);
  openWriteFrustrumFile(&guise, &guise, "k", &one, nullptr, &one, &id, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  openReadFrustrumFile(&guise, &guise, "k", &one, nullptr, &id, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);
  closeFrustrumFile(&guise, &out, nullptr, &ifail);
  EXPECT_EQ(ifail, MV_FR_UNSPECIFIED);

  // Nothing was written, and both streams still work.
  EXPECT_EQ(readAll(dir / "out.x_b").size(), headerSize);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 2);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, in, 10, got), 0);
  EXPECT_EQ(got, "input");
}

TEST_F(TransferTest, AReadDeliversWhatIsLeftThenReportsEndOfData) {
  ScratchDir dir;
  writeAll(dir / "d.x_b", std::string(40, 'r'));
  int id = 0;
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "d", 0, id), 0);
  std::string got;
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 100, got), 0);
  EXPECT_EQ(got, std::string(40, 'r'));
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 100, got), MV_FR_END_OF_DATA);
  EXPECT_EQ(got, "");
}

TEST_F(TransferTest, AJournalIsOnDiskAfterEveryWrite) {
  ScratchDir dir;
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_TEXT, dir / "log", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_JOURNAL, id, "first"), 0);
  std::string onDisk = readAll(dir / "log.j_t");
  EXPECT_EQ(onDisk.substr(onDisk.size() - 5), "first");
  EXPECT_EQ(writeTo(MV_GUISE_JOURNAL, id, "second"), 0);
  onDisk = readAll(dir / "log.j_t");
  EXPECT_EQ(onDisk.substr(onDisk.size() - 11), "firstsecond");
}

TEST_F(TransferTest, CloseActionsAndDoubleClose) {
  ScratchDir dir;
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "gone", "", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_FALSE(fs::exists(dir / "gone.x_t"));
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), MV_FR_CLOSE_FAILED);

  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "kept", "", id), 0);
  // The guise of a close is not consulted.
  EXPECT_EQ(closeStream(MV_GUISE_SNAPSHOT, id, 1), 0);
  EXPECT_TRUE(fs::exists(dir / "kept.x_t"));

  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "kept", 1, id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_TRUE(fs::exists(dir / "kept.x_t"));

  // A host-stream record has no file to abandon.
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 2), 0);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
}

TEST_F(TransferTest, AFailingFcloseStillEndsTheStream) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no always-full device like /dev/full";
#endif
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  int id = 0;
  // Rollback guise and an unknown format add nothing to the key.
  ASSERT_EQ(openWrite(MV_GUISE_ROLLBACK, 3, "/dev/full", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_ROLLBACK, id, "data"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_ROLLBACK, id, 1), MV_FR_CLOSE_FAILED);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_EQ(closeStream(MV_GUISE_ROLLBACK, id, 1), MV_FR_CLOSE_FAILED);
  EXPECT_TRUE(fs::exists("/dev/full"));
  int again = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", again), 0);
  EXPECT_EQ(again, id);
}

}  // namespace
}  // namespace frustrum_test
