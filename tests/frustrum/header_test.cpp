// The text header of written files, the XML declaration of debug reports,
// and skipping the header when reading.
#include "frustrum_test_util.h"

#include <cctype>

using namespace frustrum_test;

namespace {

const std::string kBanner1 = "**ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz" + std::string(26, '*') + "\n";
const std::string kEndLine = "**END_OF_HEADER" + std::string(65, '*') + "\n";

std::string banner2() {
  std::string punctuation;
  for (int c = 0x21; c <= 0x7E; ++c) {
    if (std::ispunct(c)) punctuation += static_cast<char>(c);
  }
  return "**KORVANITE " + punctuation + "0123456789" + std::string(26, '*') + "\n";
}

// The lines of a file, each with its line feed.
std::vector<std::string> linesOf(const std::string& path) {
  const std::string text = readAll(path);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; start < text.size(); start = end) {
    end = std::min(text.find('\n', start), text.size() - 1) + 1;
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

class HeaderTest : public FrustrumTest {};

TEST_F(HeaderTest, WritesTheTextHeaderByteForByte) {
  ScratchDir dir;
  const std::string key = dir / "part";
  int id = 0;
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, "A=1;B=2;C", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_TRANSMIT, id, "DATA"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  const std::vector<std::string> expected = {
      kBanner1, banner2(), "**PART1;\n", "MC=unknown;\n", "MC_MODEL=unknown;\n", "MC_ID=unknown;\n",
      "OS=unknown;\n", "OS_RELEASE=unknown;\n", "FRU=rvk_korvanite_customer_support;\n",
      "APPL=Example Application;\n", "SITE=unknown;\n", "USER=unknown;\n", "FORMAT=text;\n",
      "GUISE=transmit;\n", "KEY=" + key + ";\n", "FILE=" + key + ".x_t;\n", "DATE=unknown;\n",
      "**PART2;\n", "A=1;\n", "B=2;\n", "**PART3;\n", kEndLine, "DATA"};
  EXPECT_EQ(linesOf(key + ".x_t"), expected);

  // A run longer than the line buffer is written whole.
  const std::string run = std::string(1000, 'x') + ";";
  ASSERT_EQ(openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, key, run, id), 0);
  EXPECT_EQ(closeStream(MV_GUISE_TRANSMIT, id, 1), 0);
  EXPECT_EQ(linesOf(key + ".x_t").at(18), run + "\n");

  ASSERT_EQ(openWrite(MV_GUISE_DEBUG_REPORT, MV_FORMAT_TEXT, dir / "report", "A=1;", id), 0);
  EXPECT_EQ(writeTo(MV_GUISE_DEBUG_REPORT, id, "<r/>"), 0);
  EXPECT_EQ(closeStream(MV_GUISE_DEBUG_REPORT, id, 1), 0);
  EXPECT_EQ(readAll(dir / "report.xml"), "<?xml version=\"1.0\" ?><r/>");
}

TEST_F(HeaderTest, ReadingSkipsTheHeaderOrRewindsWhenThereIsNone) {
  ScratchDir dir;
  const std::string file = kBanner1 + "any\n" + kEndLine + "payload";
  writeAll(dir / "part.x_t", file);
  writeAll(dir / "plain.x_t", "first line\nsecond\n");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 1), "payload");
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "part", 0), file);
  EXPECT_EQ(readBack(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "plain", 1), "first line\nsecond\n");
}

TEST_F(HeaderTest, AFailedSkipDropsTheStreamAndItsId) {
  ScratchDir dir;
  int id = 0;
  // No memory for the line buffer (the record is allocation 0).
  writeAll(dir / "whole.x_t", kBanner1 + kEndLine + "x");
  MvHeap::failAt(1);
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "whole", 1, id), MV_FR_UNSPECIFIED);
  MvHeap::disarm();
  EXPECT_EQ(id, -1);
  // No end-of-header line.
  writeAll(dir / "cut.x_t", kBanner1 + banner2() + "**PART1;\n");
  EXPECT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "cut", 1, id), MV_FR_END_OF_DATA);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
  // The ids were given back: the next stream is 1 again.
  ASSERT_EQ(openRead(MV_GUISE_TRANSMIT, MV_FORMAT_TEXT, dir / "whole", 1, id), 0);
  EXPECT_EQ(id, 1);
}

}  // namespace
