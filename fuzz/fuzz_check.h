// What the fuzz targets share: a check that stops the run with a message
// (libFuzzer then keeps the input as a crash), and a scratch directory of the
// process's own for the files the targets write, removed at exit.
#ifndef MV_FUZZ_CHECK_H
#define MV_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzzing {

class ScratchDir {
 public:
  ScratchDir() : _path(std::filesystem::temp_directory_path() / ("mvfuzz_" + std::to_string(getpid()))) {
    std::filesystem::create_directories(_path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
  }
  std::string path() const { return _path.string(); }

 private:
  std::filesystem::path _path;
};

inline std::string scratchDir() {
  static const ScratchDir dir;
  return dir.path();
}

inline void writeFile(const std::string& path, const unsigned char* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

}  // namespace fuzzing

#endif
