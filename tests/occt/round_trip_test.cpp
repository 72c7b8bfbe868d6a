// Parts from STEP through host and kernel files, compared part by part on the way back; damaged records refused.
#include <cstdio>

#include "occt/occt_support.h"

namespace occttest {
namespace {

class RoundTrip : public OcctTest, public ::testing::WithParamInterface<kocct::Format> {
 protected:
  void SetUp() override {
    options.hostStreamFormat = GetParam();
    OcctTest::SetUp();
  }
};

TEST_P(RoundTrip, PartsComeBackEqualFromAHostFile) {
  const std::string path = tempPath("round_trip.mv61");
  MvAutoPtr<MvKMBrep> original = elementOf(importColoredModel());
  MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
  ASSERT_TRUE(out);
  ASSERT_EQ(out->writeObject(original), 1u);
  ASSERT_EQ(out->close(), 1u);
  MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
  ASSERT_TRUE(in);
  MvAutoPtr<MvBase> object;
  ASSERT_EQ(in->readObject(object), 1u);
  const std::vector<int> a = partsOf(*original);
  const std::vector<int> b = partsOf(*static_cast<MvKMBrep*>(object.get()));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) expectSamePart(a[i], b[i]);
  // Instances still share their geometry after the trip.
  kocct::Part first, second;
  ASSERT_TRUE(kocct::getPart(b[0], first));
  ASSERT_TRUE(kocct::getPart(b[1], second));
  EXPECT_EQ(first.shape.TShape(), second.shape.TShape());
  int major = 0, minor = 0;
  MvKMBrep::storedKmVersion(major, minor);
  EXPECT_EQ(major, kocct::versionMajor());
  EXPECT_EQ(minor, kocct::versionMinor());
}

TEST_P(RoundTrip, PartsComeBackEqualFromAKernelFile) {
  const OwnedParts owned{importColoredModel()};
  const std::vector<int>& tags = owned.tags;
  const std::string key = tempPath("parts");
  ASSERT_EQ(kocct::transmit(static_cast<int>(tags.size()), tags.data(), key.c_str(), static_cast<int>(key.size()),
                            GetParam()),
            kocct::kOk)
      << kocct::lastError();
  int count = 0;
  int* back = nullptr;
  ASSERT_EQ(kocct::receive(key.c_str(), static_cast<int>(key.size()), GetParam(), count, back), kocct::kOk)
      << kocct::lastError();
  std::remove((key + (GetParam() == kocct::Format::Text ? ".x_t" : ".x_b")).c_str());
  const OwnedParts received{std::vector<int>(back, back + count)};
  kocct::freeTags(back);
  ASSERT_EQ(count, static_cast<int>(tags.size()));
  for (int i = 0; i < count; ++i) expectSamePart(tags[static_cast<std::size_t>(i)], received.tags[i]);
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, ::testing::Values(kocct::Format::Text, kocct::Format::Binary),
                         [](const ::testing::TestParamInfo<kocct::Format>& info) {
                           return info.param == kocct::Format::Text ? "Text" : "Binary";
                         });

using KernelFiles = OcctTest;

struct Damage {
  const char* name;
  std::function<void(std::string& record)> apply;
  const char* message;
};

TEST_F(KernelFiles, DamagedRecordsAreRefusedAndCreateNothing) {
  const std::string key = tempPath("damaged");
  const std::string file = key + ".x_t";
  const OwnedParts owned{importColoredModel()};
  ASSERT_EQ(kocct::transmit(static_cast<int>(owned.tags.size()), owned.tags.data(), key.c_str(),
                            static_cast<int>(key.size()), kocct::Format::Text),
            kocct::kOk);
  const std::string pristine = readAll(file);
  const std::size_t start = pristine.find("KOCCT-PARTS");
  ASSERT_NE(start, std::string::npos);
  const std::size_t body = pristine.find('\n', start) + 1;
  const auto replaceHeader = [](const char* from, const char* to) {
    return [from, to](std::string& r) { r.replace(r.find(from), std::strlen(from), to); };
  };
  const Damage cases[] = {
      {"truncated", [&](std::string& r) { r.resize(r.size() - 100); }, "record length does not match its header"},
      {"flipped byte", [&](std::string& r) { r[body + 40] ^= 0x20; }, "checksum mismatch"},
      {"foreign magic", replaceHeader("KOCCT-PARTS", "KSAMPLE-XMT"), "not an OCCT parts record"},
      {"newer version", replaceHeader("KOCCT-PARTS 1 ", "KOCCT-PARTS 2 "), "record version 2 is not supported"},
      {"other format", replaceHeader(" text ", " binary "), "the record is not in text format"},
      {"part count over the cap", replaceHeader(" text 4 ", " text 100001 "),
       "the record names 100001 parts, more than 100000"},
      {"empty", [&](std::string& r) { r.resize(start); }, "not an OCCT parts record"},
  };
  for (const Damage& c : cases) {
    std::string damaged = pristine;
    c.apply(damaged);
    writeAll(file, damaged);
    int count = -1;
    int* back = reinterpret_cast<int*>(&count);
    EXPECT_EQ(kocct::receive(key.c_str(), static_cast<int>(key.size()), kocct::Format::Text, count, back),
              kocct::kErrCorruptData)
        << c.name;
    EXPECT_EQ(kocct::lastError(), c.message) << c.name;
    EXPECT_EQ(count, 0) << c.name;
    EXPECT_EQ(back, nullptr) << c.name;
  }
  std::remove(file.c_str());
}

}  // namespace
}  // namespace occttest
