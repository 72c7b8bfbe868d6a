// The text header of written files, the XML declaration of debug reports, and skipping the header when reading.
#include "frustrum_test_util.h"

using namespace frustrum_test;

namespace {

const std::string kBanner1 = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n";
const std::string kBanner2 = "**KORVANITE !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~0123456789" + std::string(26, '*') + "\n";
const std::string kEndLine = "**END_OF_HEADER" + std::string(65, '*') + "\n";

class HeaderTest : public FrustrumTest {};

TEST_F(HeaderTest, WritesTheTextHeaderByteForByte) {
  const std::string key = dir / "part";
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, "A=1;B=2;C", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "DATA"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  EXPECT_EQ(readAll(key + ".x_t"),
            kBanner1 + kBanner2 +
                "**PART1;\nMC=unknown;\nMC_MODEL=unknown;\nMC_ID=unknown;\nOS=unknown;\nOS_RELEASE=unknown;\n"
                "FRU=rvk_korvanite_customer_support;\nAPPL=Example Application;\nSITE=unknown;\nUSER=unknown;\n"
                "FORMAT=text;\nGUISE=transmit;\nKEY=" +
                key + ";\nFILE=" + key + ".x_t;\nDATE=unknown;\n**PART2;\nA=1;\nB=2;\n**PART3;\n" + kEndLine + "DATA");

  // A run longer than the line buffer is written whole.
  const std::string run = std::string(1000, 'x') + ";";
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, run, id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  EXPECT_NE(readAll(key + ".x_t").find("DATE=unknown;\n**PART2;\n" + run + "\n**PART3;\n"), std::string::npos);

  ASSERT_EQ(openWrite(MV_GUISE_DEBUG_REPORT, MV_FORMAT_TEXT, dir / "report", "A=1;", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_DEBUG_REPORT, id, "<r/>"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_DEBUG_REPORT, id, 1), 0);
  EXPECT_EQ(readAll(dir / "report.xml"), "<?xml version=\"1.0\" ?><r/>");
}

// Keys with control characters are refused as bad names (they would break the header's lines); a negative
// header length is no data; header data holding a NUL byte is written whole.
TEST_F(HeaderTest, KeysAndHeaderDataAtTheirLimits) {
  const std::string key = dir / "part";
  const struct {
    std::string key, header;
    int headerLength;  // -1: the header's own length
    int status;
    std::string part2;  // between "**PART2;\n" and "**PART3;\n"
  } cases[] = {{key + "\nX", "", -1, MV_FR_NAME_TOO_LONG, ""},
               {key + "\tX", "", -1, MV_FR_NAME_TOO_LONG, ""},
               {key, "A=1;", -4, MV_FR_OK, ""},
               {key, std::string("A\0B;C", 6), -1, MV_FR_OK, std::string("A\0B;\n", 5)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status * 10 + c.headerLength);
    fs::remove(key + ".x_t");
    int id = 0;
    EXPECT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, c.key, c.header, id, -1, c.headerLength), c.status);
    if (c.status != MV_FR_OK) {
      EXPECT_EQ(id, -1);
      EXPECT_TRUE(fs::is_empty(dir.str()));
      continue;
    }
    EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
    EXPECT_NE(readAll(key + ".x_t").find("**PART2;\n" + c.part2 + "**PART3;\n"), std::string::npos);
  }
}

TEST_F(HeaderTest, AFailedSkipDropsTheStreamAndItsIdAndReadingSkipsTheHeader) {
  const std::string file = kBanner1 + "any\n" + kEndLine + "payload";
  writeAll(dir / "part.x_t", file);
  int id = 0;
  // No memory for the line buffer (allocation 1, after the record); first: the buffer lives until the frustrum stops.
  MvHeap::failAt(1);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1, id), MV_FR_UNSPECIFIED);
  MvHeap::disarm();
  EXPECT_EQ(id, -1);
  // No end-of-header line.
  writeAll(dir / "cut.x_t", kBanner1 + kBanner2 + "**PART1;\n");
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "cut", 1, id), MV_FR_END_OF_DATA);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  // The ids were given back: the next stream is 1 again.
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1, id), 0);
  EXPECT_EQ(id, 1);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);

  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1), "payload");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 0), file);
  // Without a header the skip rewinds.
  writeAll(dir / "plain.x_t", "first line\nsecond\n");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "plain", 1), "first line\nsecond\n");
}

}  // namespace
