// Truncated, corrupt and foreign files: the kernel, the host object stream
// and the frustrum refuse them with a clear error, create no body, leave no
// stream open, and an element that already had parts keeps them.
#include "reliability/reliability_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using rel::elementOf;
using rel::partsOf;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class BadFiles : public rel::AppTest {
 protected:
  void SetUp() override {
    rel::AppTest::SetUp();
    model = ksamplehost::buildDemoModel(3);
    ASSERT_EQ(model.size(), 3u);
  }
  // Receives the kernel file of `key` (text); the kernel's error, or "" on success.
  std::string receive(const std::string& key) {
    int count = 0;
    int* tags = nullptr;
    const int bodies = ksample::bodyCount();
    const int status = ksample::receive(key.c_str(), static_cast<int>(key.size()), ksample::Format::Text, count, tags);
    if (status == ksample::kOk) {
      ksample::deleteBodies(count, tags);
      ksample::freeTags(tags);
      return "";
    }
    EXPECT_EQ(count, 0);
    EXPECT_EQ(tags, nullptr);
    EXPECT_EQ(ksample::bodyCount(), bodies) << "a refused file created bodies";
    EXPECT_EQ(mvFrustrumOpenStreamCount(), 0);
    return ksample::lastError();
  }
  std::vector<int> model;
};

TEST_F(BadFiles, KernelFilesAreRefusedWithTheirReason) {
  const std::string key = rel::tempPath("bad_kernel");
  const std::string file = key + ".x_t";
  ASSERT_EQ(ksample::transmit(3, model.data(), key.c_str(), static_cast<int>(key.size()), ksample::Format::Text), 0);
  const std::string good = readAll(file);
  ASSERT_EQ(receive(key), "");
  const size_t dataStart = good.find("**END_OF_HEADER");
  ASSERT_NE(dataStart, std::string::npos);
  const size_t bodyStart = good.find('\n', dataStart) + 1;

  writeAll(file, good.substr(0, bodyStart + (good.size() - bodyStart) / 2));
  EXPECT_EQ(receive(key), "transmit data is truncated");

  std::string corrupt = good;
  corrupt[corrupt.size() - 20] = corrupt[corrupt.size() - 20] == '7' ? '8' : '7';
  writeAll(file, corrupt);
  EXPECT_EQ(receive(key), "transmit data checksum mismatch");

  writeAll(file, "\x89PNG\r\n\x1a\n not a kernel file at all\n");
  EXPECT_EQ(receive(key), "data is not ksample transmit data");

  // A header that never ends, and an empty file: the frustrum's header skip
  // runs out of data (status 4).
  writeAll(file, good.substr(0, dataStart));
  EXPECT_EQ(receive(key), "frustrum open for reading failed with status 4");
  writeAll(file, "");
  EXPECT_EQ(receive(key), "frustrum open for reading failed with status 4");
  std::remove(file.c_str());
  EXPECT_EQ(receive(key), "frustrum open for reading failed with status 2");
}

TEST_F(BadFiles, HostFilesAreRefusedAndElementsKeepTheirParts) {
  const std::string path = rel::tempPath("bad_host") + ".mv61";
  MvAutoPtr<MvKMBrep> source = elementOf(model);
  {
    MvAutoPtr<MvFileStream> out(MvFileStream::create(path.c_str()));
    ASSERT_TRUE(out);
    ASSERT_EQ(out->writeObject(source), 1u);
    ASSERT_EQ(out->close(), 1u);
  }
  const std::string good = readAll(path);
  const int bodies = ksample::bodyCount();

  // Opening: too short for a header, not a host file.
  const auto openFails = [&](const std::string& bytes) {
    writeAll(path, bytes);
    MvErrorState::clear();
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    EXPECT_FALSE(in);
    return MvErrorState::reports().empty() ? std::string() : MvErrorState::reports()[0].condition;
  };
  EXPECT_EQ(openFails(good.substr(0, 10)), "file header complete");
  EXPECT_EQ(openFails("PK\x03\x04 a zip file, not a host file"), "file header magic");

  // Reading objects: the record cut short, the kernel's data corrupted, an
  // unknown type. Each read fails with its report and leaves no object.
  const auto readFails = [&](const std::string& bytes) {
    writeAll(path, bytes);
    MvErrorState::clear();
    MvAutoPtr<MvFileStream> in(MvFileStream::open(path.c_str()));
    EXPECT_TRUE(in);
    if (!in) return std::string();
    MvAutoPtr<MvBase> obj;
    EXPECT_EQ(in->readObject(obj), 0u);
    EXPECT_FALSE(obj);
    EXPECT_TRUE(in->atEnd());
    EXPECT_EQ(ksample::bodyCount(), bodies);
    EXPECT_TRUE(rel::libraryIdle());
    return MvErrorState::reports().empty() ? std::string("kernel: " + ksample::lastError())
                                           : MvErrorState::reports()[0].condition;
  };
  EXPECT_EQ(readFails(good.substr(0, good.size() - 7)), "0 <= length && record within stream");
  std::string corrupt = good;
  corrupt[corrupt.size() - 30] ^= 0x21;
  EXPECT_EQ(readFails(corrupt), "kernel: transmit data checksum mismatch");
  std::string foreignType = good;
  foreignType[MvFileStream::kHeaderBytes] ^= 0x01;
  EXPECT_EQ(readFails(foreignType), "type registered for GUID");
  std::remove(path.c_str());

  // The element's own record, damaged, read into an element with parts.
  MvAutoPtr<MvMemoryStream> record(new MvMemoryStream());
  ASSERT_EQ(source->serialize(*record), 1u);
  const std::string bytes(record->data(), static_cast<size_t>(record->size()));
  const std::vector<int> own = ksamplehost::buildDemoModel(2);
  MvAutoPtr<MvKMBrep> target = elementOf(own);
  for (const std::string& damaged : {bytes.substr(0, 14), bytes.substr(0, bytes.size() - 1),
                                     bytes.substr(0, 16) + std::string(bytes.size() - 16, '\0')}) {
    MvAutoPtr<MvMemoryStream> in(new MvMemoryStream(damaged.data(), static_cast<int>(damaged.size())));
    MvErrorState::clear();
    EXPECT_EQ(target->deserialize(*in), 0u);
    EXPECT_FALSE(MvErrorState::reports().empty() && ksample::lastError().empty()) << "refused without a reason";
    EXPECT_EQ(partsOf(*target), own);
    EXPECT_TRUE(rel::partsConsistent(*target));
    EXPECT_TRUE(rel::libraryIdle());
    EXPECT_EQ(ksample::bodyCount(), bodies + 2);
  }
  record->seek(0);
  ASSERT_EQ(target->deserialize(*record), 1u);
  EXPECT_EQ(target->kmPart().length(), 5);
}

}  // namespace
