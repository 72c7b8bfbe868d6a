// The text header of written files, the XML declaration of debug reports,
// and skipping the header when reading.
#include "frustrum_test_util.h"

#include <cctype>

namespace frustrum_test {
namespace {

std::string banner1() { return "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n"; }

std::string banner2() {
  std::string punctuation;
  for (int c = 0x21; c <= 0x7E; ++c) {
    if (std::ispunct(c)) punctuation += static_cast<char>(c);
  }
  return "**KORVANITE " + punctuation + "0123456789" + std::string(26, '*') + "\n";
}

std::string endLine() { return "**END_OF_HEADER" + std::string(65, '*') + "\n"; }

class HeaderTest : public FrustrumTest {};

TEST_F(HeaderTest, WritesTheTextHeaderByteForByte) {
  ScratchDir dir;
  const std::string key = dir / "part";
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, "A=1;B=2;C", id), 0);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "DATA"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);

  const std::vector<std::string> expected = {
      banner1(), banner2(), "**PART1;\n", "MC=unknown;\n", "MC_MODEL=unknown;\n", "MC_ID=unknown;\n",
      "OS=unknown;\n", "OS_RELEASE=unknown;\n", "FRU=rvk_korvanite_customer_support;\n",
      "APPL=Example Application;\n", "SITE=unknown;\n", "USER=unknown;\n", "FORMAT=text;\n",
      "GUISE=transmit;\n", "KEY=" + key + ";\n", "FILE=" + key + ".x_t;\n", "DATE=unknown;\n",
      "**PART2;\n", "A=1;\n", "B=2;\n", "**PART3;\n", endLine(), "DATA"};
  EXPECT_EQ(banner1().size(), 81u);
  EXPECT_EQ(banner2().size(), 81u);
  EXPECT_EQ(endLine().size(), 81u);
  EXPECT_EQ(linesOf(readAll(key + ".x_t")), expected);

  // Binary format and another guise name their lines accordingly; no header
  // data leaves part 2 empty.
  ASSERT_EQ(openWrite(MV_GUISE_SNAPSHOT, MV_FORMAT_BINARY, key, "", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_SNAPSHOT, id, 1), 0);
  const std::vector<std::string> snapshot = linesOf(readAll(key + ".n_b"));
  ASSERT_EQ(snapshot.size(), 20u);
  EXPECT_EQ(snapshot[12], "FORMAT=binary;\n");
  EXPECT_EQ(snapshot[13], "GUISE=snapshot;\n");
  EXPECT_EQ(snapshot[17], "**PART2;\n");
  EXPECT_EQ(snapshot[18], "**PART3;\n");
}

TEST_F(HeaderTest, DebugReportsStartWithTheXmlDeclaration) {
  ScratchDir dir;
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_DEBUG_REPORT, MV_FORMAT_TEXT, dir / "report", "A=1;", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_DEBUG_REPORT, id, "<r/>"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_DEBUG_REPORT, id, 1), 0);
  EXPECT_EQ(readAll(dir / "report.xml"), "<?xml version=\"1.0\" ?><r/>");
}

TEST_F(HeaderTest, LongHeaderRunsAreWrittenWhole) {
  ScratchDir dir;
  const std::string run = std::string(1000, 'x') + ";";
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "long", run + "B=2;", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  const std::vector<std::string> lines = linesOf(readAll(dir / "long.x_t"));
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[18], run + "\n");
  EXPECT_EQ(lines[19], "B=2;\n");
}

TEST_F(HeaderTest, ReadingSkipsTheHeaderOrRewindsWhenThereIsNone) {
  ScratchDir dir;
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", "A=1;", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "payload"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  std::string got;
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 100, got), 0);
  EXPECT_EQ(got, "payload");
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);

  // Without the skip flag the header is data.
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 0, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 81, got), 0);
  EXPECT_EQ(got, banner1());
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);

  // A first line other than banner line 1: the file is read from its start.
  writeAll(dir / "plain.x_t", "first line\nsecond\n");
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "plain", 1, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 100, got), 0);
  EXPECT_EQ(got, "first line\nsecond\n");
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
}

TEST_F(HeaderTest, AFailedSkipDropsTheStreamAndItsId) {
  ScratchDir dir;
  writeAll(dir / "cut.x_t", banner1() + banner2() + "**PART1;\n");
  int id = 0;
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "cut", 1, id), MV_FR_END_OF_DATA);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);

  // No memory for the line buffer (the record is allocation 0).
  writeAll(dir / "whole.x_t", banner1() + endLine() + "x");
  restart();
  MvHeap::failAt(1);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "whole", 1, id), MV_FR_UNSPECIFIED);
  MvHeap::disarm();
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);

  // The ids were given back: the next stream is 1 again.
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "whole", 1, id), 0);
  EXPECT_EQ(id, 1);
  std::string got;
  EXPECT_EQ(readFrom(MV_GUISE_TRANSMIT, id, 10, got), 0);
  EXPECT_EQ(got, "x");
}

TEST_F(HeaderTest, AFailedHeaderWriteDropsTheStreamButNotAFileItDidNotCreate) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows has no always-full device like /dev/full";
#endif
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // Header data longer than any stdio buffer forces the header out to a
  // device that is always full.
  const std::string header = std::string(1 << 17, 'h') + ";";
  int id = 0;
  EXPECT_EQ(openWrite(MV_GUISE_ROLLBACK, 3, "/dev/full", header, id), MV_FR_WRITE_FAILED);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  EXPECT_TRUE(fs::exists("/dev/full"));
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, "", "", id), 0);
  EXPECT_EQ(id, 1);
}

}  // namespace
}  // namespace frustrum_test
