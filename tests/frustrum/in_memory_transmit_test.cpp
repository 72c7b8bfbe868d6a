// The element's in-memory transmit and receive through the registered write,
// read, split and memory-release callbacks.
#include "frustrum_test_util.h"

#include <cstdlib>

namespace frustrum_test {
namespace {

// A kernel double: it transmits tags as text ("5 6 ") through a host-stream
// record and receives such text back as tags.
struct Kernel {
  unsigned result = 1;
  unsigned splitResult = 1;
  std::vector<std::vector<int>> written;
  std::vector<unsigned> nominal;
  int* handedOut = nullptr;
  std::vector<std::pair<int, int*>> splits;
  std::vector<void*> freed;
};
Kernel kernel;

unsigned kernelWrite(int count, const int* tags, unsigned writeNominalGeom) {
  kernel.written.emplace_back(tags, tags + count);
  kernel.nominal.push_back(writeNominalGeom);
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(tags[i]) + " ";
  int id = 0;
  if (openWrite(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", "", id) != 0) return 0;
  if (writeTo(MV_GUISE_TRANSMIT, id, text) != 0) return 0;
  if (closeStream(MV_GUISE_TRANSMIT, id, 1) != 0) return 0;
  return kernel.result;
}

unsigned kernelRead(int& count, int*& tags) {
  int id = 0;
  if (openRead(MV_GUISE_TRANSMIT, MV_FORMAT_BINARY, "", 1, id) != 0) return 0;
  std::string text, block;
  while (readFrom(MV_GUISE_TRANSMIT, id, 4, block) == 0) text += block;
  closeStream(MV_GUISE_TRANSMIT, id, 1);
  if (!kernel.result) return 0;
  std::vector<int> received;
  std::istringstream in(text);
  for (int tag = 0; in >> tag;) received.push_back(tag);
  count = static_cast<int>(received.size());
  tags = static_cast<int*>(std::malloc(sizeof(int) * (received.size() + 1)));
  std::copy(received.begin(), received.end(), tags);
  kernel.handedOut = tags;
  return 1;
}

unsigned kernelSplit(int count, int* tags, MvVec<int>& parts) {
  kernel.splits.emplace_back(count, tags);
  if (!kernel.splitResult) return 0;
  parts.append(-count);
  return 1;
}

unsigned kernelFree(void* p) {
  kernel.freed.push_back(p);
  std::free(p);
  return 1;
}

class InMemoryTransmitTest : public FrustrumTest {
 protected:
  void SetUp() override {
    MvKMBrepLib::init();
    FrustrumTest::SetUp();
    kernel = Kernel();
    MvKMBrep::setKmWriteCallback(kernelWrite);
    MvKMBrep::setKmReadCallback(kernelRead);
    MvKMBrep::setKmMemoryRelCallback(kernelFree);
    MvErrorState::clear();
  }
  void TearDown() override {
    MvKMBrep::setKmWriteCallback(nullptr);
    MvKMBrep::setKmReadCallback(nullptr);
    MvKMBrep::setKmSplitCallback(nullptr);
    MvKMBrep::setKmMemoryRelCallback(nullptr);
    MvKMBrep::setWriteNominalGeom(0);
    FrustrumTest::TearDown();
    MvKMBrepLib::fini();
  }

  static void expectOnlyReport(const char* operation, const char* condition) {
    ASSERT_EQ(MvErrorState::reports().size(), 1u);
    const MvErrorReport& r = MvErrorState::reports()[0];
    EXPECT_EQ(r.className, "MvKMBrep");
    EXPECT_EQ(r.operation, operation);
    EXPECT_EQ(r.condition, condition);
    EXPECT_EQ(r.code, 5);
  }

  static MvVec<int> tags(std::initializer_list<int> values) {
    MvVec<int> v;
    for (int t : values) v.append(t);
    return v;
  }
  static std::vector<int> contents(const MvVec<int>& v) { return std::vector<int>(v.begin(), v.end()); }
};

TEST_F(InMemoryTransmitTest, TransmitWritesThePartsIntoTheCurrentHostStream) {
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream();
  mvkm::CurrentHostStream current(*stream);

  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(MvVec<int>()), 0u);
  expectOnlyReport("getBinaryStreamFromKm", "kmPartList.length() > 0");
  EXPECT_TRUE(kernel.written.empty());
  MvErrorState::clear();

  MvKMBrep::setWriteNominalGeom(2);
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(tags({5, 6})), 1u);
  ASSERT_EQ(kernel.written.size(), 1u);
  EXPECT_EQ(kernel.written[0], (std::vector<int>{5, 6}));
  EXPECT_EQ(kernel.nominal[0], 2u);
  EXPECT_EQ(std::string(stream->data(), stream->size()), "5 6 ");
  EXPECT_TRUE(MvErrorState::reports().empty());

  kernel.result = 0;
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(tags({7})), 0u);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
}

TEST_F(InMemoryTransmitTest, ReceiveAppendsTagsOrSplitsThem) {
  const std::string text = "7 8 9 ";
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream(text.data(), static_cast<int>(text.size()));
  mvkm::CurrentHostStream current(*stream);
  mvkm::gKmStream.pos = static_cast<int>(text.size());

  MvVec<int> parts = tags({1});
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 1u);
  EXPECT_EQ(contents(parts), (std::vector<int>{1, 7, 8, 9}));
  EXPECT_EQ(kernel.freed, (std::vector<void*>{kernel.handedOut}));

  ASSERT_TRUE(stream->seek(0));
  MvKMBrep::setKmSplitCallback(kernelSplit);
  MvVec<int> split;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(split), 1u);
  ASSERT_EQ(kernel.splits.size(), 1u);
  EXPECT_EQ(kernel.splits[0].first, 3);
  EXPECT_EQ(kernel.splits[0].second, kernel.handedOut);
  EXPECT_EQ(contents(split), (std::vector<int>{-3}));
  EXPECT_EQ(kernel.freed.size(), 2u);
  EXPECT_EQ(kernel.freed[1], kernel.handedOut);
  EXPECT_TRUE(MvErrorState::reports().empty());

  // A failing split keeps the array.
  ASSERT_TRUE(stream->seek(0));
  kernel.splitResult = 0;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(split), 0u);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_EQ(kernel.freed.size(), 2u);
  std::free(kernel.handedOut);
}

TEST_F(InMemoryTransmitTest, ReceiveFailures) {
  const std::string text = "4 ";
  MvAutoPtr<MvMemoryStream> stream = new MvMemoryStream(text.data(), static_cast<int>(text.size()));
  mvkm::CurrentHostStream current(*stream);
  mvkm::gKmStream.pos = static_cast<int>(text.size());

  // Without a memory-release callback the tags stay appended.
  MvKMBrep::setKmMemoryRelCallback(nullptr);
  MvVec<int> parts;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  expectOnlyReport("getKmFromBinaryStream", "_pfKmMemoryRelCB != NULL");
  EXPECT_EQ(contents(parts), (std::vector<int>{4}));
  std::free(kernel.handedOut);
  MvErrorState::clear();

  MvKMBrep::setKmMemoryRelCallback(kernelFree);
  ASSERT_TRUE(stream->seek(0));
  kernel.result = 0;
  kernel.handedOut = nullptr;
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  EXPECT_EQ(MvErrorState::rethrowCount(), 1);
  EXPECT_TRUE(MvErrorState::reports().empty());
  EXPECT_EQ(contents(parts), (std::vector<int>{4}));
  EXPECT_TRUE(kernel.freed.empty());

  // Unregistered transmit callbacks are reported, not called.
  MvKMBrep::setKmReadCallback(nullptr);
  MvKMBrep::setKmWriteCallback(nullptr);
  EXPECT_EQ(MvKMBrep::getKmFromBinaryStream(parts), 0u);
  EXPECT_EQ(MvKMBrep::getBinaryStreamFromKm(parts), 0u);
  ASSERT_EQ(MvErrorState::reports().size(), 2u);
  EXPECT_EQ(MvErrorState::reports()[0].condition, "_pfKmReadCB != NULL");
  EXPECT_EQ(MvErrorState::reports()[1].condition, "_pfKmWriteCB != NULL");
}

}  // namespace
}  // namespace frustrum_test
