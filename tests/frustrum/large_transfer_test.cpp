// Kernel files carry data far larger than one file buffer: whatever the
// block sizes, every byte reaches the file in order, behind the header, and
// comes back the same; closing, stopping and abandoning behave as for small
// files.
#include "frustrum/frustrum_test_util.h"

using namespace frustrum_test;

namespace {

class LargeTransferTest : public FrustrumTest {};

// Bytes that differ from block to block, so that a lost or repeated block
// shows.
std::string pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + seed * 17 + i / 251) & 0xFF);
  return s;
}

// Writes `data` to the stream in blocks cycling through `sizes`.
void writeInBlocks(int id, const std::string& data, const std::vector<std::size_t>& sizes) {
  std::size_t at = 0;
  for (std::size_t k = 0; at < data.size(); ++k) {
    const std::size_t n = std::min(sizes[k % sizes.size()], data.size() - at);
    ASSERT_EQ(writeTo(MV_GUISE_TRANSMIT, id, data.substr(at, n)), 0);
    at += n;
  }
}

// Reads the stream to its end in reads of at most maxCount bytes; the last
// status is end of data.
std::string readToEnd(int id, int maxCount) {
  std::string all;
  std::string got;
  int status = 0;
  while ((status = readFrom(MV_GUISE_TRANSMIT, id, maxCount, got)) == 0) all += got;
  EXPECT_EQ(status, MV_FR_END_OF_DATA);
  return all;
}

}  // namespace

TEST_F(LargeTransferTest, ManyBlocksOfAnySizeRoundTripBehindTheHeader) {
  ScratchDir dir;
  const std::string data = pattern(700 * 1024 + 13, 1);
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", "A=1;", id), 0);
  writeInBlocks(id, data, {4096, 1, 70000, 333, 65536, 4095});
  ASSERT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);

  // On disk: the header, then exactly the data.
  const std::string file = readAll(dir / "big.x_b");
  ASSERT_GT(file.size(), data.size());
  const std::string header = file.substr(0, file.size() - data.size());
  EXPECT_EQ(linesOf(header).back().substr(0, 15), "**END_OF_HEADER");
  EXPECT_TRUE(file.compare(header.size(), data.size(), data) == 0);

  // Read back in small and in large reads.
  for (int maxCount : {4096, 100000, 7}) {
    ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "big", 1, id), 0);
    EXPECT_TRUE(readToEnd(id, maxCount) == data) << "reads of " << maxCount;
    EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  }
}

TEST_F(LargeTransferTest, StopAndAbandonHandleFilesWithUnwrittenData) {
  ScratchDir dir;
  const std::string data = pattern(150 * 1024 + 5, 2);
  int kept = 0;
  int abandoned = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "kept", "", kept), 0);
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, dir / "gone", "", abandoned), 0);
  writeInBlocks(kept, data, {4096});
  writeInBlocks(abandoned, data, {4096});

  // An abandoned file is removed even with data still waiting to be written.
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, abandoned, 2), 0);
  EXPECT_FALSE(fs::exists(dir / "gone.x_b"));

  // Stop closes the open file: every byte written reaches it.
  int ifail = -5;
  stopFileFrustrum(&ifail);
  EXPECT_EQ(ifail, 0);
  const std::string file = readAll(dir / "kept.x_b");
  ASSERT_GE(file.size(), data.size());
  EXPECT_TRUE(file.compare(file.size() - data.size(), data.size(), data) == 0);

  // A journal is on disk after every write, also past one buffer's worth.
  restart();
  int journal = 0;
  ASSERT_EQ(openWrite(MV_GUISE_JOURNAL, MV_FORMAT_BINARY, dir / "log", "", journal), 0);
  const std::string first = pattern(100 * 1024, 3);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, journal, first), 0);
  const std::string afterFirst = readAll(dir / "log.j_b");
  ASSERT_GT(afterFirst.size(), first.size());
  const std::string header = afterFirst.substr(0, afterFirst.size() - first.size());
  EXPECT_EQ(linesOf(header).back().substr(0, 15), "**END_OF_HEADER");
  EXPECT_TRUE(afterFirst.compare(header.size(), first.size(), first) == 0);
  ASSERT_EQ(writeTo(MV_GUISE_JOURNAL, journal, "tail"), 0);
  EXPECT_TRUE(readAll(dir / "log.j_b") == header + first + "tail");
  EXPECT_EQ(closeStream(MV_GUISE_JOURNAL, journal, 1), 0);
}
