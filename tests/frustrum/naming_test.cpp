// File names built from key, guise and format, for writing and reading, and
// schema files in the schema directory.
#include "frustrum_test_util.h"

namespace frustrum_test {
namespace {

class NamingTest : public FrustrumTest {};

// Sets the schema directory variable, or removes it given null.
void setSupportPath(const char* value) {
#if defined(_WIN32)
  _putenv_s("MV_KORV_SUPPORT_PATH", value ? value : "");
#else
  if (value)
    setenv("MV_KORV_SUPPORT_PATH", value, 1);
  else
    unsetenv("MV_KORV_SUPPORT_PATH");
#endif
}

struct Expected {
  int guise;
  int format;
  const char* suffix;
};

TEST_F(NamingTest, WritingNamesEveryGuiseAndFormat) {
  ScratchDir dir;
  const Expected cases[] = {
      {1, 1, "_b"},       {1, 2, "_t"},       {1, 3, ""},        {2, 1, ".n_b"},     {2, 2, ".n_t"},
      {3, 2, ".j_t"},     {4, 1, ".x_b"},     {4, 2, ".x_t"},    {4, 7, ".x"},       {5, 1, ".xmt"},
      {5, 2, ".xmt"},     {8, 2, ".p_t"},     {9, 1, ".d_b"},    {10, 1, ".xml"},    {10, 2, ".xml"},
      {7, 2, "_t"},       {42, 1, "_b"},
  };
  for (const Expected& c : cases) {
    SCOPED_TRACE(::testing::Message() << "guise " << c.guise << " format " << c.format);
    const std::string key = dir / "p";
    int id = 0;
    ASSERT_EQ(openWrite(c.guise, c.format, key, "", id), 0);
    EXPECT_EQ(closeStream(c.guise, id, 1), 0);
    EXPECT_TRUE(fs::exists(key + c.suffix));
    fs::remove(key + c.suffix);
    EXPECT_TRUE(fs::is_empty(dir.str()));
  }
}

TEST_F(NamingTest, ReadingTriesTheShortThenTheLongName) {
  ScratchDir dir;
  const std::string key = dir / "part";
  std::string got;
  int id = 0;
  const Expected cases[] = {{4, 2, ".xmt_txt"}, {4, 1, ".xmt_bin"}, {2, 2, ".snp_txt"}, {3, 1, ".jnl_bin"},
                            {8, 1, ".xmp_bin"}, {9, 2, ".xmd_txt"}, {5, 2, ".xmt"},
                            {10, 2, ".xml_txt"}, {1, 2, "_txt"}};
  for (const Expected& c : cases) {
    SCOPED_TRACE(::testing::Message() << "guise " << c.guise << " format " << c.format);
    writeAll(key + c.suffix, c.suffix);
    ASSERT_EQ(openRead(c.guise, c.format, key, 0, id), 0);
    EXPECT_EQ(readFrom(c.guise, id, 100, got), 0);
    EXPECT_EQ(got, c.suffix);
    // Abandoning a stream opened for reading keeps its file.
    EXPECT_EQ(closeStream(c.guise, id, 2), 0);
    EXPECT_TRUE(fs::remove(key + c.suffix));
  }
  // The short name wins when both exist; guise 10 reads carry the suffix.
  writeAll(key + ".x_t", "short");
  writeAll(key + ".xmt_txt", "long");
  writeAll(key + ".xml_t", "report");
  ASSERT_EQ(openRead(4, 2, key, 0, id), 0);
  EXPECT_EQ(readFrom(4, id, 100, got), 0);
  EXPECT_EQ(got, "short");
  ASSERT_EQ(openRead(10, 2, key, 0, id), 0);
  EXPECT_EQ(readFrom(10, id, 100, got), 0);
  EXPECT_EQ(got, "report");

  EXPECT_EQ(openRead(4, 1, key, 0, id), MV_FR_NO_FILE);
  EXPECT_EQ(id, -1);
}

TEST_F(NamingTest, NamesLongerThan255AreRefused) {
  ScratchDir dir;
  int id = 0;
  EXPECT_EQ(openWrite(4, 2, std::string(256, 'k'), "", id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(openRead(4, 2, std::string(256, 'k'), 0, id), MV_FR_NAME_TOO_LONG);
  // 252 characters and ".x_t" make 256.
  const std::string key = dir / "";
  const std::string longKey = key + std::string(252 - key.size(), 'k');
  EXPECT_EQ(openWrite(4, 2, longKey, "", id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(openRead(4, 2, longKey, 0, id), MV_FR_NAME_TOO_LONG);
  EXPECT_EQ(id, -1);
  EXPECT_TRUE(fs::is_empty(dir.str()));
  // 251 fit.
  ASSERT_EQ(openWrite(4, 2, longKey.substr(0, 251), "", id), 0);
  EXPECT_EQ(closeStream(4, id, 2), 0);
  // The key's length counts, not a NUL-terminated text behind it.
  const int guise = 4, format = 2, keyLength = 4, headerLength = 0;
  const std::string withTail = key + "abcdTAIL";
  const int fullLength = static_cast<int>(key.size()) + keyLength;
  int ifail = -1;
  openWriteFrustrumFile(&guise, &format, withTail.c_str(), &fullLength, "", &headerLength, &id, &ifail);
  EXPECT_EQ(ifail, 0);
  EXPECT_EQ(closeStream(4, id, 1), 0);
  EXPECT_TRUE(fs::exists(key + "abcd.x_t"));
}

TEST_F(NamingTest, SchemaFilesLiveInTheSchemaDirectory) {
  ScratchDir dir;
  setSupportPath(dir.str().c_str());
  MvKMBrepLib::init();
  int id = 0;
  std::string got;

  // Written under the key as given.
  ASSERT_EQ(openWrite(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", "", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_SCHEMA, id, "mixed"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
  const std::vector<std::string> lines = linesOf(readAll(dir / "Body.s_t"));
  ASSERT_GE(lines.size(), 16u);
  EXPECT_EQ(lines[14], "KEY=Body;\n");
  EXPECT_EQ(lines[15], "FILE=" + (dir / "Body.s_t") + ";\n");

  // Read back: the lower-cased names are missing, the key as given is found.
  ASSERT_EQ(openRead(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_SCHEMA, id, 100, got), 0);
  EXPECT_EQ(got, "mixed");
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);

  // Lower-cased names come first: short, then long. The mixed-case file
  // steps aside while the long name is tried: a file system that ignores
  // case (Windows) would find it under the lower-cased short name.
  fs::remove(dir / "Body.s_t");
  writeAll(dir / "body.sch_txt", "lower long");
  ASSERT_EQ(openRead(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "BODY", 1, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_SCHEMA, id, 100, got), 0);
  EXPECT_EQ(got, "lower long");
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
  writeAll(dir / "Body.s_t", "mixed");
  writeAll(dir / "body.s_t", "lower short");
  ASSERT_EQ(openRead(MV_GUISE_SCHEMA, MV_FORMAT_TEXT, "Body", 1, id), 0);
  EXPECT_EQ(readFrom(MV_GUISE_SCHEMA, id, 100, got), 0);
  EXPECT_EQ(got, "lower short");
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
  EXPECT_EQ(openRead(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, "Body", 1, id), MV_FR_NO_FILE);

  // A directory too long to join leaves the name as it is.
  MvKMBrepLib::fini();
  const std::string deep = std::string(250, 'd');
  setSupportPath(deep.c_str());
  MvKMBrepLib::init();
  const fs::path cwd = fs::current_path();
  fs::current_path(dir.str());
  const int status = openWrite(MV_GUISE_SCHEMA, MV_FORMAT_BINARY, "short", "", id);
  EXPECT_EQ(closeStream(MV_GUISE_SCHEMA, id, 1), 0);
  fs::current_path(cwd);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fs::exists(dir / "short.s_b"));
  MvKMBrepLib::fini();
  setSupportPath(nullptr);
}

}  // namespace
}  // namespace frustrum_test
