// Files and folders the tests share: whole-file reads and writes, patterned bytes and bytes changed in place, and
// a scratch folder or path of the running test's own ($MV_TEST_TMP, else /tmp), so that suites may run side by side.
#ifndef MV_TESTS_SUPPORT_TEST_FILES_H
#define MV_TESTS_SUPPORT_TEST_FILES_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testfiles {

// The file's bytes, or in text mode (std::ios::in) its text.
inline std::string readAll(const std::string& path, std::ios::openmode mode = std::ios::binary) {
  std::ifstream in(path, mode);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeAll(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// Bytes that differ from block to block, so that a lost or repeated block shows.
inline std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  return s;
}

// The bytes with the 32-bit little-endian integer at `at` set to v.
inline std::string setInt(std::string bytes, std::size_t at, int v) {
  for (int b = 0; b < 4; ++b) bytes[at + b] = static_cast<char>(static_cast<unsigned>(v) >> (8 * b));
  return bytes;
}

// The bytes with the one at `at` changed by `mask`.
inline std::string flipped(std::string bytes, std::size_t at, int mask) {
  bytes[at] = static_cast<char>(bytes[at] ^ mask);
  return bytes;
}

// Sets an environment variable; null removes it.
inline void setEnv(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value ? value : "");
#else
  value ? setenv(name, value, 1) : unsetenv(name);
#endif
}

inline std::string tempRoot() {
  const char* dir = std::getenv("MV_TEST_TMP");
  return dir && *dir ? dir : "/tmp";
}

// The running test's name as one path component.
inline std::string testName() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "_" + test->name();
  for (char& c : name) c = c == '/' ? '_' : c;
  return name;
}

// A scratch file name of the running test's own, so that tests may run side by side.
inline std::string tempPath(const std::string& name) { return tempRoot() + "/" + testName() + "_" + name; }

// A fresh folder named for the running test, removed with its files.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& prefix = "") : _path(std::filesystem::path(tempRoot()) / (prefix + testName())) {
    std::filesystem::remove_all(_path);
    std::filesystem::create_directories(_path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  std::string operator/(const std::string& name) const { return (_path / name).string(); }
  std::string str() const { return _path.string(); }

 private:
  std::filesystem::path _path;
};

}  // namespace testfiles

#endif
