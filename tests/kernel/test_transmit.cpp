#include <cstdio>

#include "kernel/kernel_fixture.h"

using namespace ksample;

namespace {

std::string withChecksum(const std::string& text) {
  char line[32];
  std::snprintf(line, sizeof line, "CHECKSUM %08x\n", crc32(text.data(), text.size()));
  return text + line;
}

}  // namespace

TEST_F(KernelTest, RoundTripInBothFormatsAndAFailedWriteLeavesNoFile) {
  EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);
  const std::vector<int> originals = sampleBodies();
  for (Format format : {Format::Text, Format::Binary}) {
    ASSERT_EQ(transmit(3, originals.data(), "part", 4, format, true), kOk) << lastError();
    EXPECT_EQ(memfrustrum::state().header, "KERNEL=ksample;FORMAT_VERSION=1;BODIES=3;NOMINAL_GEOM=1;");
    int count = 0;
    int* tags = nullptr;
    ASSERT_EQ(receive("part", 4, format, count, tags), kOk) << lastError();
    ASSERT_EQ(count, 3);
    // New tags, bodies equal to the originals.
    for (int i = 0; i < 3; ++i) {
      EXPECT_GT(tags[i], originals[2]) << i;
      EXPECT_TRUE(sameBody(tags[i], originals[i])) << i;
    }
    EXPECT_EQ(memfrustrum::state().openStreams, 0);
    deleteBodies(count, tags);
    freeTags(tags);
  }

  memfrustrum::state().failWrite = 12;
  EXPECT_EQ(transmit(3, originals.data(), "part", 4, Format::Binary), kErrFrustrum);
  EXPECT_EQ(lastError(), "frustrum write failed with status 12");
  EXPECT_EQ(memfrustrum::state().files.count("part.x_b"), 0u);
}

TEST_F(KernelTest, TextIsPlainLinesAndCorruptDataCreatesNothing) {
  const int box = makeBox(1, 2, 3, translation(0.5, 0, 0));
  setFaceColor(box, 2, {0.5f, 0.25f, 1.0f, 1.0f});
  ASSERT_EQ(transmit(1, &box, "part", 4, Format::Text), kOk);
  ASSERT_EQ(transmit(1, &box, "part", 4, Format::Binary), kOk);
  const std::string text = memfrustrum::state().files["part.x_t"];
  const std::string binary = memfrustrum::state().files["part.x_b"];
  EXPECT_EQ(text, withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 1\nBODY 1 box 1 2 3\n"
                               "XFORM 1 0 0 0.5 0 1 0 0 0 0 1 0\nCOLOUR none\nFACE 0 none\nFACE 1 none\n"
                               "FACE 2 0.5 0.25 1 1\nFACE 3 none\nFACE 4 none\nFACE 5 none\nEND\n"));
  const std::string hugeCount = binary.substr(0, 12) + "\xFF\xFF\xFF\xFF" + binary.substr(16);

  std::vector<std::tuple<Format, std::string, std::string>> cases = {
      {Format::Binary, hugeCount, "body count 4294967295 is out of range"},
      {Format::Text, withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 99999999999\n"),
       "body count 99999999999 is out of range"},
      {Format::Text, binary, "transmit data is binary, text expected"}};
  for (Format format : {Format::Text, Format::Binary}) {
    const std::string& good = format == Format::Text ? text : binary;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x04;
    cases.emplace_back(format, flipped, "transmit data checksum mismatch");
    cases.emplace_back(format, good.substr(0, good.size() - 5), "transmit data is truncated");
    cases.emplace_back(format, good.substr(0, 3), "transmit data is truncated");
    cases.emplace_back(format, good + "x", "trailing data after the checksum");
    cases.emplace_back(format, "PK\3\4 not a transmit", "data is not ksample transmit data");
  }

  const int before = bodyCount();
  for (const auto& [format, data, error] : cases) {
    memfrustrum::state().files[format == Format::Text ? "part.x_t" : "part.x_b"] = data;
    int count = -1;
    int* tags = &count;
    EXPECT_EQ(receive("part", 4, format, count, tags), kErrCorruptData) << error;
    EXPECT_EQ(lastError(), error);
    EXPECT_EQ(count, 0) << error;
    EXPECT_EQ(tags, nullptr) << error;
    EXPECT_EQ(bodyCount(), before) << error;
  }
  EXPECT_EQ(memfrustrum::state().openStreams, 0);
}
