// The element's in-memory transmit and receive through the registered write,
// read, split and memory-release callbacks, driven by the small test kernel
// that transmits tags as text through host-stream records.
#include "frustrum_test_util.h"
#include "support/fake_kernel_callbacks.h"
#include "support/frustrum_kernel.h"

#include <optional>

namespace {

int* handedOut = nullptr;  // the last array the read callback handed out
int* splitTags = nullptr;  // the array the split callback got
std::vector<std::vector<int>> splits;
unsigned splitResult = 1;

unsigned readKeeping(int& count, int*& tags) {
  const unsigned ok = tinykernel::read(count, tags);
  handedOut = tags;
  return ok;
}

unsigned split(int count, int* tags, MvVec<int>& parts) {
  splitTags = tags;
  splits.emplace_back(tags, tags + count);
  parts.append(-count);
  return splitResult;
}

// What the last call left: its reports and how often it passed on a failure.
std::string outcome() {
  std::string s;
  for (const MvErrorReport& r : MvErrorState::reports()) {
    s += r.className + "::" + r.operation + ": " + r.condition + " (" + std::to_string(r.code) + "); ";
  }
  s += "rethrown " + std::to_string(MvErrorState::rethrowCount());
  MvErrorState::clear();
  return s;
}

class InMemoryTransmitTest : public fake::LibraryTest {
 protected:
  void SetUp() override {
    fake::LibraryTest::SetUp();
    tinykernel::install();
    MvKMBrep::setKmReadCallback(readKeeping);
    splits.clear();
    splitResult = 1;
  }
  void TearDown() override {
    _current.reset();
    tinykernel::uninstall();
    fake::LibraryTest::TearDown();
  }
  // Makes `text` the current host stream's segment, read from its start.
  void feed(const std::string& text) {
    _stream = new MvMemoryStream(text.data(), static_cast<int>(text.size()));
    _current.emplace(*_stream);
    mvkm::gKmStream.pos = static_cast<int>(text.size());
  }
  MvAutoPtr<MvMemoryStream> _stream;
  std::optional<mvkm::CurrentHostStream> _current;
};

TEST_F(InMemoryTransmitTest, TransmitWritesThePartsIntoTheCurrentHostStream) {
  feed("");
  MvVec<int> parts;
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(parts), 0u);
  EXPECT_EQ(outcome(), "MvKMBrep::getBinaryStreamFromKm: kmPartList.length() > 0 (5); rethrown 0");
  EXPECT_TRUE(tinykernel::state().writtenCounts.empty());

  MvKMBrep::setWriteNominalGeom(2);
  parts = fake::tags({5, 6});
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(parts), 1u);
  EXPECT_EQ(outcome(), "rethrown 0");
  EXPECT_EQ(tinykernel::state().nominalFlags, std::vector<unsigned>{2});
  EXPECT_EQ(std::string(_stream->data(), _stream->size()), "T 5\nT 6\n");

  tinykernel::state().failWrite = true;
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(parts), 0u);
  EXPECT_EQ(outcome(), "rethrown 1");
}

TEST_F(InMemoryTransmitTest, ReceiveAppendsTagsOrSplitsThem) {
  feed("T 7\nT 8\nT 9\n");
  MvVec<int> parts = fake::tags({1});
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 1u);
  EXPECT_EQ(fake::toStd(parts), (std::vector<int>{1, 107, 108, 109}));
  EXPECT_EQ(tinykernel::state().freed, 1);

  ASSERT_TRUE(_stream->seek(0));
  MvKMBrep::setKmSplitCallback(split);
  MvVec<int> parts2;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts2), 1u);
  EXPECT_EQ(outcome(), "rethrown 0");
  EXPECT_EQ(splits, (std::vector<std::vector<int>>{{107, 108, 109}}));
  EXPECT_EQ(splitTags, handedOut);
  EXPECT_EQ(fake::toStd(parts2), (std::vector<int>{-3}));
  EXPECT_EQ(tinykernel::state().freed, 2);

  // A failing split keeps the array.
  ASSERT_TRUE(_stream->seek(0));
  splitResult = 0;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts2), 0u);
  EXPECT_EQ(outcome(), "rethrown 1");
  EXPECT_EQ(tinykernel::state().freed, 2);
  std::free(handedOut);
}

TEST_F(InMemoryTransmitTest, ReceiveFailures) {
  feed("T 4\n");
  // Without a memory-release callback the tags stay appended.
  MvKMBrep::setKmMemoryRelCallback(nullptr);
  MvVec<int> parts;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  EXPECT_EQ(outcome(), "MvKMBrep::getKmFromBinaryStream: _pfKmMemoryRelCB != NULL (5); rethrown 0");
  EXPECT_EQ(fake::toStd(parts), (std::vector<int>{104}));
  std::free(handedOut);

  // A failing read callback appends nothing and frees nothing.
  MvKMBrep::setKmMemoryRelCallback(tinykernel::freeTags);
  ASSERT_TRUE(_stream->seek(0));
  tinykernel::state().failRead = true;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  EXPECT_EQ(outcome(), "rethrown 1");
  EXPECT_EQ(fake::toStd(parts), (std::vector<int>{104}));
  EXPECT_EQ(tinykernel::state().freed, 0);

  MvKMBrep::setKmReadCallback(nullptr);
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  EXPECT_EQ(outcome(), "MvKMBrep::getKmFromBinaryStream: _pfKmReadCB != NULL (5); rethrown 0");
}

}  // namespace
