// Helpers shared by the frustrum's tests: a scratch directory, file
// contents, and the frustrum entry points called with plain values.
#ifndef MV_TESTS_FRUSTRUM_TEST_UTIL_H
#define MV_TESTS_FRUSTRUM_TEST_UTIL_H

#include "MvKMBrep61.h"
#include "frustrum/host_stream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace frustrum_test {

namespace fs = std::filesystem;

// A fresh directory under $MV_TEST_TMP (or /tmp), removed with its files.
class ScratchDir {
 public:
  ScratchDir() {
    const char* root = std::getenv("MV_TEST_TMP");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    _path = fs::path(root && *root ? root : "/tmp") /
            (std::string("frustrum_") + info->test_suite_name() + "_" + info->name());
    fs::remove_all(_path);
    fs::create_directories(_path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(_path, ignored);
  }
  std::string operator/(const std::string& name) const { return (_path / name).string(); }
  std::string str() const { return _path.string(); }

 private:
  fs::path _path;
};

inline std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The lines of text, each with its line feed.
inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::size_t stop = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, stop - start));
    start = stop;
  }
  return lines;
}

// Entry points with plain arguments; each gives the status.
inline int openWrite(int guise, int format, const std::string& key, const std::string& header, int& id) {
  const int keyLength = static_cast<int>(key.size());
  const int headerLength = static_cast<int>(header.size());
  int ifail = -5;
  openWriteFrustrumFile(&guise, &format, key.c_str(), &keyLength, header.c_str(), &headerLength, &id, &ifail);
  return ifail;
}

inline int openRead(int guise, int format, const std::string& key, int skip, int& id) {
  const int keyLength = static_cast<int>(key.size());
  int ifail = -5;
  openReadFrustrumFile(&guise, &format, key.c_str(), &keyLength, &skip, &id, &ifail);
  return ifail;
}

inline int writeTo(int guise, int id, const std::string& bytes) {
  const int count = static_cast<int>(bytes.size());
  int ifail = -5;
  writeToFrustrumFile(&guise, &id, &count, bytes.data(), &ifail);
  return ifail;
}

// Reads up to maxCount bytes into `out` (replaced).
inline int readFrom(int guise, int id, int maxCount, std::string& out) {
  std::vector<char> buffer(static_cast<std::size_t>(maxCount > 0 ? maxCount : 1));
  int delivered = -5;
  int ifail = -5;
  readFromFrustrumFile(&guise, &id, &maxCount, buffer.data(), &delivered, &ifail);
  out.assign(buffer.data(), static_cast<std::size_t>(delivered > 0 ? delivered : 0));
  return ifail;
}

inline int closeStream(int guise, int id, int action) {
  int ifail = -5;
  closeFrustrumFile(&guise, &id, &action, &ifail);
  return ifail;
}

// Every test starts and ends with a started frustrum holding no stream.
class FrustrumTest : public ::testing::Test {
 protected:
  void SetUp() override { restart(); }
  void TearDown() override {
    int ifail = -5;
    stopFileFrustrum(&ifail);
    MvHeap::disarm();
    MvErrorState::clear();
  }
  static void restart() {
    int ifail = -5;
    stopFileFrustrum(&ifail);
    EXPECT_EQ(ifail, 0);
    startFileFrustrum(&ifail);
    EXPECT_EQ(ifail, 0);
  }
};

}  // namespace frustrum_test

#endif
