#include <cstdio>
#include <cstring>

#include "kernel/kernel_fixture.h"

using namespace ksample;

namespace {

// Receives in file mode under key "part" and checks the failure leaves no
// trace: the error code and text, no tags, no new body.
void expectRejected(Format format, const std::string& data, const std::string& error) {
  fake::state().files[fake::fileName("part", format)] = data;
  const int before = bodyCount();
  int count = -1;
  int* tags = reinterpret_cast<int*>(&count);
  EXPECT_EQ(receive("part", 4, format, count, tags), kErrCorruptData) << error;
  EXPECT_EQ(lastError(), error);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(tags, nullptr);
  EXPECT_EQ(bodyCount(), before);
}

std::string withChecksum(std::string text) {
  char line[32];
  std::snprintf(line, sizeof line, "CHECKSUM %08x\n", crc32(text.data(), text.size()));
  return text + line;
}

}  // namespace

TEST_F(KernelTest, RoundTripInBothFormatsAndModes) {
  const std::vector<int> originals = sampleBodies();
  for (Format format : {Format::Text, Format::Binary}) {
    for (const char* key : {"part", ""}) {
      SCOPED_TRACE(std::string(format == Format::Text ? "text " : "binary ") + key);
      fake::reset();
      const int keyLength = static_cast<int>(std::strlen(key));
      ASSERT_EQ(transmit(3, originals.data(), key, keyLength, format, true), kOk) << lastError();
      EXPECT_EQ(fake::state().headerData,
                "KERNEL=ksample;FORMAT_VERSION=1;BODIES=3;NOMINAL_GEOM=1;");
      EXPECT_EQ(fake::state().closeActions, std::vector<int>{kCloseKeep});
      // The host stream holds only the kernel's bytes; what follows the
      // segment end is not read.
      fake::state().hostSegmentEnd = fake::state().hostStream.size();
      fake::state().hostStream += "next element's record";
      fake::state().maxDelivery = 1000;

      int count = 0;
      int* tags = nullptr;
      ASSERT_EQ(receive(key, keyLength, format, count, tags), kOk) << lastError();
      ASSERT_EQ(count, 3);
      for (int i = 0; i < 3; ++i) {
        EXPECT_GT(tags[i], originals[2]);
        EXPECT_TRUE(sameBody(tags[i], originals[static_cast<std::size_t>(i)]));
      }
      EXPECT_EQ(fake::state().openStreams, 0);
      deleteBodies(count, tags);
      freeTags(tags);
    }
  }
}

TEST_F(KernelTest, TextFormatIsPlainLines) {
  const int box = makeBox(1, 2, 3, translation(0.5, 0, 0));
  setFaceColour(box, 2, {0.5f, 0.25f, 1.0f, 1.0f});
  ASSERT_EQ(transmit(1, &box, "t", 1, Format::Text), kOk);
  const std::string& text = fake::state().files["t.x_t"];
  const std::string expected =
      "KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 1\nBODY 1 box 1 2 3\n"
      "XFORM 1 0 0 0.5 0 1 0 0 0 0 1 0\nCOLOUR none\nFACE 0 none\nFACE 1 none\n"
      "FACE 2 0.5 0.25 1 1\nFACE 3 none\nFACE 4 none\nFACE 5 none\nEND\n";
  EXPECT_EQ(text, withChecksum(expected));
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(KernelTest, LargeTransmitGoesInBlocksAndFailuresAbandonTheFile) {
  std::vector<int> tags;
  for (int i = 0; i < 60; ++i) tags.push_back(makeBox(1, 1, 1 + i, identityTransform()));
  ASSERT_EQ(transmit(60, tags.data(), "big", 3, Format::Binary), kOk);
  const std::vector<int>& sizes = fake::state().writeSizes;
  ASSERT_GT(sizes.size(), 3u);
  for (std::size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 4096);

  fake::reset();
  fake::state().failWriteAtBlock = 1;
  EXPECT_EQ(transmit(60, tags.data(), "big", 3, Format::Binary), kErrFrustrum);
  EXPECT_EQ(lastError(), "frustrum write failed with status 12");
  EXPECT_EQ(fake::state().closeActions, std::vector<int>{kCloseAbandon});
  EXPECT_EQ(fake::state().files.count("big.x_b"), 0u);

  const int missing[] = {tags[0], 987654};
  EXPECT_EQ(transmit(2, missing, "m", 1, Format::Text), kErrNoSuchBody);
  EXPECT_EQ(lastError(), "body 987654 does not exist");
  EXPECT_EQ(transmit(1, tags.data(), "m", 1, static_cast<Format>(3)), kErrInvalidArgument);
  EXPECT_EQ(fake::state().files.count("m.x_t"), 0u);

  int count = 0;
  int* got = nullptr;
  EXPECT_EQ(receive("absent", 6, Format::Text, count, got), kErrFrustrum);
  EXPECT_EQ(lastError(), "frustrum open for reading failed with status 2");
}

TEST_F(KernelTest, CorruptDataIsRejectedAndCreatesNothing) {
  const std::vector<int> originals = sampleBodies();
  std::string binary;
  for (Format format : {Format::Text, Format::Binary}) {
    fake::reset();
    ASSERT_EQ(transmit(3, originals.data(), "part", 4, format), kOk);
    const std::string good = fake::state().files[fake::fileName("part", format)];
    binary = good;
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x04;
    expectRejected(format, flipped, "transmit data checksum mismatch");
    expectRejected(format, good.substr(0, good.size() - 5), "transmit data is truncated");
    expectRejected(format, good.substr(0, 3), "transmit data is truncated");
    expectRejected(format, good + "x", "trailing data after the checksum");
    expectRejected(format, "PK\3\4 not a transmit", "data is not ksample transmit data");
  }
  expectRejected(Format::Text, binary, "transmit data is binary, text expected");

  // A hostile body count is refused before anything is allocated for it.
  std::string huge = binary;
  std::memset(&huge[12], 0xFF, 4);
  expectRejected(Format::Binary, huge, "body count 4294967295 is out of range");
  expectRejected(Format::Text,
                 withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 99999999999\n"),
                 "body count 99999999999 is out of range");
  expectRejected(Format::Text, withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 2\n"),
                 "unsupported transmit format version 2");
  // Well-formed and checksummed, but the content is invalid.
  expectRejected(Format::Text,
                 withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 1\nBODY 1 sphere -1\n"
                              "XFORM 1 0 0 0 0 1 0 0 0 0 1 0\nCOLOUR none\nFACE 0 none\nEND\n"),
                 "body record 1: invalid dimensions");
  expectRejected(
      Format::Text,
      withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 1\nBODY 1 sphere 1\n"
                   "XFORM 2 0 0 0 0 1 0 0 0 0 1 0\nCOLOUR none\nFACE 0 nan 0 0 1\nEND\n"),
      "malformed transmit data at line 7");
  expectRejected(Format::Text,
                 withChecksum("KSAMPLE TRANSMIT TEXT\nVERSION 1\nBODIES 0\nEND\nEND\n"),
                 "malformed transmit data at line 5");
}

TEST(KernelTransmitFormat, EncodeAndParseArePure) {
  BodyRecord cylinder;
  cylinder.kind = BodyKind::Cylinder;
  cylinder.dims[0] = 0.1;
  cylinder.dims[1] = 1e-7;
  cylinder.xf = rotation(1, 2, 3, 0.3);
  cylinder.faceColours = {kNoColour, {0.1f, 0.2f, 0.3f, 0.4f}, kNoColour};
  cylinder.hasBodyColour = true;
  cylinder.bodyColour = {1.0f, 1.0f, 1.0f, 1.0f};
  for (Format format : {Format::Text, Format::Binary}) {
    const std::string data = encodeTransmit({cylinder, cylinder}, format);
    std::vector<BodyRecord> out;
    std::string error;
    ASSERT_TRUE(parseTransmit(data.data(), data.size(), format, out, error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_TRUE(sameRecord(out[1], cylinder));
    EXPECT_FALSE(parseTransmit(data.data(), data.size() - 1, format, out, error));
    EXPECT_TRUE(out.empty());
  }
  EXPECT_EQ(encodeTransmit({}, Format::Binary).size(), 24u);
  EXPECT_EQ(crc32("123456789", 9), 0xCBF43926u);

  // Checksummed binary data whose count disagrees with its records.
  auto withCount = [&](unsigned char n) {
    std::string data = encodeTransmit({cylinder, cylinder}, Format::Binary);
    data[12] = static_cast<char>(n);
    data.resize(data.size() - 4);
    const unsigned crc = crc32(data.data(), data.size());
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
    std::vector<BodyRecord> out;
    std::string error;
    EXPECT_FALSE(parseTransmit(data.data(), data.size(), Format::Binary, out, error));
    return error;
  };
  EXPECT_EQ(withCount(5), "body count 5 is out of range");
  EXPECT_EQ(withCount(1), "body records do not match the declared length");
}
