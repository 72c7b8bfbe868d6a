// What the fuzz targets share. A failed check aborts with a message; libFuzzer keeps the input as a crash.
#ifndef MV_FUZZ_CHECK_H
#define MV_FUZZ_CHECK_H

#include "app/sample_app.h"
#include "support/elements.h"
#include "support/memory_frustrum.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// An expression, so that a void function may `return FUZZ_CHECK(...);`.
#define FUZZ_CHECK(condition) fuzzing::check(static_cast<bool>(condition), #condition, __FILE__, __LINE__)

namespace fuzzing {

inline void check(bool ok, const char* condition, const char* file, int line) {
  if (ok) return;
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
  std::abort();
}

inline std::string scratchDir() {
  static const struct Dir {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("mvfuzz_" + std::to_string(std::random_device{}()));
    Dir() { std::filesystem::create_directories(path); }
    ~Dir() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  } dir;
  return dir.path.string();
}

inline void writeFile(const std::string& path, const unsigned char* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

// Brings up the sample application once, with both element types registered.
inline void startApp() {
  static const struct App {
    ksamplehost::SampleApp app;
    App() {
      FUZZ_CHECK(app.ok());
      MvKMBrepOnFly::constructType();
    }
    ~App() { MvKMBrepOnFly::destructType(); }
  } app;
}

// Starts a kernel's session on the in-memory frustrum, once; it stops at exit.
template <int (*start)(const ksample::Frustrum&), int (*stop)()>
void startSession() {
  static const struct Session {
    Session() { FUZZ_CHECK(start(memfrustrum::reset()) == 0); }
    ~Session() { stop(); }
  } session;
}

}  // namespace fuzzing

#endif
