// File names built from key, guise and format, schema files in the schema directory, the text header of written
// files, the XML declaration of debug reports, and skipping the header when reading.
#include "frustrum_test_util.h"

using namespace frustrum_test;

namespace {

const std::string kBanner1 = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n";
const std::string kBanner2 = "**KORVANITE !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~0123456789" + std::string(26, '*') + "\n";
const std::string kEndLine = "**END_OF_HEADER" + std::string(65, '*') + "\n";

class HeaderTest : public FrustrumTest {};
class NamingTest : public FrustrumTest {};

TEST_F(HeaderTest, WritesTheTextHeaderByteForByte) {
  const std::string key = dir / "part";
  ASSERT_EQ(writeStream(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, "A=1;B=2;C", "DATA"), 0);
  EXPECT_EQ(readAll(key + ".x_t"),
            kBanner1 + kBanner2 +
                "**PART1;\nMC=unknown;\nMC_MODEL=unknown;\nMC_ID=unknown;\nOS=unknown;\nOS_RELEASE=unknown;\n"
                "FRU=rvk_korvanite_customer_support;\nAPPL=Example Application;\nSITE=unknown;\nUSER=unknown;\n"
                "FORMAT=text;\nGUISE=transmit;\nKEY=" +
                key + ";\nFILE=" + key + ".x_t;\nDATE=unknown;\n**PART2;\nA=1;\nB=2;\n**PART3;\n" + kEndLine + "DATA");

  ASSERT_EQ(writeStream(MV_GUISE_DEBUG_REPORT, MV_FORMAT_TEXT, dir / "report", "A=1;", "<r/>"), 0);
  EXPECT_EQ(readAll(dir / "report.xml"), "<?xml version=\"1.0\" ?><r/>");
}

// Keys with control characters are refused as bad names (they would break the header's lines); a negative
// header length is no data; header data holding a NUL byte or a run longer than the line buffer is written whole.
TEST_F(HeaderTest, KeysAndHeaderDataAtTheirLimits) {
  const std::string key = dir / "part", run = std::string(1000, 'x') + ";";
  const struct {
    std::string key, header;
    int headerLength, status;  // header length -1: the header's own
    std::string part2;  // between "**PART2;\n" and "**PART3;\n"
  } cases[] = {{key + "\nX", "", -1, MV_FR_NAME_TOO_LONG, ""}, {key + "\tX", "", -1, MV_FR_NAME_TOO_LONG, ""},
               {key, "A=1;", -4, MV_FR_OK, ""}, {key, run, -1, MV_FR_OK, run + "\n"},
               {key, std::string("A\0B;C", 6), -1, MV_FR_OK, std::string("A\0B;\n", 5)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << &c - cases);
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

TEST_F(NamingTest, EveryGuiseAndFormatHasItsNamesOfAtMost255Characters) {
  const std::string key = dir / "p";
  // The name written, then the short and the long name tried when reading.
  const struct {
    int guise, format;
    const char *written, *shortName, *longName;
  } cases[] = {
      {1, 1, "_b", "_b", "_bin"},         {1, 2, "_t", "_t", "_txt"},         {1, 3, "", "", ""},
      {2, 1, ".n_b", ".n_b", ".snp_bin"}, {2, 2, ".n_t", ".n_t", ".snp_txt"}, {3, 2, ".j_t", ".j_t", ".jnl_txt"},
      {4, 1, ".x_b", ".x_b", ".xmt_bin"}, {4, 2, ".x_t", ".x_t", ".xmt_txt"}, {4, 7, ".x", ".x", ".xmt"},
      {5, 1, ".xmt", ".xmt", ".xmt"},     {5, 2, ".xmt", ".xmt", ".xmt"},     {8, 2, ".p_t", ".p_t", ".xmp_txt"},
      {9, 1, ".d_b", ".d_b", ".xmd_bin"}, {10, 1, ".xml", ".xml_b", ".xml_bin"},
      {10, 2, ".xml", ".xml_t", ".xml_txt"}, {7, 2, "_t", "_t", "_txt"},   {42, 1, "_b", "_b", "_bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "guise " << c.guise << " format " << c.format);
    ASSERT_EQ(writeStream(c.guise, c.format, key, ""), 0);
    EXPECT_TRUE(fs::remove(key + c.written));
    EXPECT_TRUE(fs::is_empty(dir.str()));
    // The short name wins.
    writeAll(key + c.longName, "long");
    writeAll(key + c.shortName, "short");
    EXPECT_EQ(readBack(c.guise, c.format, key, 0), "short");
    fs::remove(key + c.shortName);
    EXPECT_EQ(readBack(c.guise, c.format, key, 0), std::string(c.shortName) == c.longName ? "status 2" : "long");
    fs::remove(key + c.longName);
  }
  int id = 0;
  // 252 characters and ".x_t" make 256; 251 fit.
  const std::string longKey = dir / std::string(251 - dir.str().size(), 'k');
  EXPECT_EQ(openWrite(4, 2, longKey, "", id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(openRead(4, 2, longKey, 0, id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(id, -1);
  ASSERT_EQ(openWrite(4, 2, longKey.substr(0, 251), "", id), 0);
  EXPECT_EQ(closeStream(4, id, 2), 0);
  EXPECT_TRUE(fs::is_empty(dir.str()));
  // The key's length counts, not a NUL-terminated text behind it.
  const std::string withTail = dir / "abcdTAIL";
  EXPECT_EQ(openWrite(4, 2, withTail, "", id, static_cast<int>(withTail.size()) - 4), 0);
  EXPECT_EQ(closeStream(4, id, 1), 0);
  EXPECT_TRUE(fs::exists(dir / "abcd.x_t"));
}

TEST_F(NamingTest, SchemaFilesLiveInTheSchemaDirectory) {
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", dir.str().c_str());
  MvKMBrepLib::init();
  // Written under the key as given, inside the directory.
  ASSERT_EQ(writeStream(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", "", "mixed"), 0);
  EXPECT_NE(readAll(dir / "Body.s_t").find("KEY=Body;\nFILE=" + (dir / "Body.s_t") + ";\n"), std::string::npos);
  // Read back: the lower-cased names are missing, the key as given is found.
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1), "mixed");
  // Lower-cased names come first: short, then long. The mixed-case file steps aside while the long name is tried: a
  // file system that ignores case (Windows) would find it under the lower-cased short name.
  fs::remove(dir / "Body.s_t");
  writeAll(dir / "body.sch_txt", "lower long");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "BODY", 1), "lower long");
  writeAll(dir / "Body.s_t", "mixed");
  writeAll(dir / "body.s_t", "lower short");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1), "lower short");
  EXPECT_EQ(readBack(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, "Body", 1), "status 2");
  // A directory too long to join leaves the name as it is.
  MvKMBrepLib::fini();
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", std::string(250, 'd').c_str());
  MvKMBrepLib::init();
  ASSERT_EQ(writeStream(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, dir / "short", ""), 0);
  EXPECT_TRUE(fs::exists(dir / "short.s_b"));
  MvKMBrepLib::fini();
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", nullptr);
}

}  // namespace
