// File names built from key, guise and format, for writing and reading, and schema files in the schema directory.
#include "frustrum_test_util.h"

using namespace frustrum_test;

namespace {

class NamingTest : public FrustrumTest {};

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
    int id = 0;
    ASSERT_EQ(openWrite(c.guise, c.format, key, "", id), 0);
    EXPECT_EQ(closeStream(c.guise, id, 1), 0);
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
  int id = 0;
  // Written under the key as given, inside the directory.
  ASSERT_EQ(openWrite(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_SCHEMA, id, "mixed"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
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
  ASSERT_EQ(openWrite(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, dir / "short", "", id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
  EXPECT_TRUE(fs::exists(dir / "short.s_b"));
  MvKMBrepLib::fini();
  testfiles::setEnv("MV_KORV_SUPPORT_PATH", nullptr);
}

}  // namespace
