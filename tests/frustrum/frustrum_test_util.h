// Helpers shared by the frustrum's tests: a scratch folder, file contents, entry points called with plain values.
#ifndef MV_TESTS_FRUSTRUM_TEST_UTIL_H
#define MV_TESTS_FRUSTRUM_TEST_UTIL_H

#include "MvKMBrep61.h"
#include "base/current_host_stream.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace frustrum_test {

namespace fs = std::filesystem;

using testfiles::readAll;
using testfiles::writeAll;

// Calls an entry point with ifail as its last argument and gives the status.
template <class EntryPoint, class... Args>
int call(EntryPoint entryPoint, Args... args) {
  int ifail = -5;
  entryPoint(args..., &ifail);
  return ifail;
}

// Lengths of -1 stand for the key's and the header's own.
inline int openWrite(int guise, int format, const std::string& key, const std::string& header, int& id,
                     int keyLength = -1, int headerLength = -1) {
  if (keyLength == -1) keyLength = static_cast<int>(key.size());
  if (headerLength == -1) headerLength = static_cast<int>(header.size());
  return call(openWriteFrustrumFile, &guise, &format, key.c_str(), &keyLength, header.data(), &headerLength, &id);
}

inline int openRead(int guise, int format, const std::string& key, int skip, int& id) {
  const int keyLength = static_cast<int>(key.size());
  return call(openReadFrustrumFile, &guise, &format, key.c_str(), &keyLength, &skip, &id);
}

inline int writeTo(int guise, int id, const std::string& bytes) {
  const int count = static_cast<int>(bytes.size());
  return call(writeToFrustrumFile, &guise, &id, &count, bytes.data());
}

// Reads up to maxCount bytes into `out` (replaced).
inline int readFrom(int guise, int id, int maxCount, std::string& out) {
  std::vector<char> buffer(static_cast<std::size_t>(maxCount));
  int delivered = -5;
  const int status = call(readFromFrustrumFile, &guise, &id, &maxCount, buffer.data(), &delivered);
  out.assign(buffer.data(), static_cast<std::size_t>(delivered > 0 ? delivered : 0));
  return status;
}

inline int closeStream(int guise, int id, int action) { return call(closeFrustrumFile, &guise, &id, &action); }

// Opens `key` for writing, writes `data` unless it is empty and closes it; gives the first failing status.
inline int writeStream(int guise, int format, const std::string& key, const std::string& header,
                       const std::string& data = "") {
  int id = 0, status = openWrite(guise, format, key, header, id);
  if (status == 0 && !data.empty()) status = writeTo(guise, id, data);
  return status != 0 ? status : closeStream(guise, id, 1);
}

// Opens `key` for reading, reads it to its end (which must report end of data) in reads of at most maxCount bytes,
// closes it and gives its bytes; "status N" when it does not open.
inline std::string readBack(int guise, int format, const std::string& key, int skip, int maxCount = 4096) {
  int id = 0;
  const int opened = openRead(guise, format, key, skip, id);
  if (opened != 0) return "status " + std::to_string(opened);
  std::string all, got;
  int status = 0;
  while ((status = readFrom(guise, id, maxCount, got)) == 0) all += got;
  EXPECT_EQ(status, MV_FR_END_OF_DATA);
  EXPECT_EQ(closeStream(guise, id, 1), 0);
  return all;
}

// Every test starts and ends with a started frustrum holding no stream, and has a scratch folder of its own.
class FrustrumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    call(stopFileFrustrum);
    ASSERT_EQ(call(startFileFrustrum), 0);
  }
  void TearDown() override {
    call(stopFileFrustrum);
    MvHeap::disarm();
    MvErrorState::clear();
  }
  const testfiles::ScratchDir dir;
};

}  // namespace frustrum_test

#endif
