// What the fuzz targets share. A failed check aborts with a message; libFuzzer keeps the input as a crash.
#ifndef MV_FUZZ_CHECK_H
#define MV_FUZZ_CHECK_H

#include "app/sample_app.h"

#include <algorithm>
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

// The kernel lock is free, no host stream is current, no frustrum stream is open.
inline bool libraryIdle() {
  return MvKMBrep::s_pKorvaniteMutex->heldDepth() == 0 && mvFrustrumHasHostStream() == 0 &&
         mvFrustrumOpenStreamCount() == 0;
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

// The bytes the buffer frustrum serves.
inline std::string& served() {
  static std::string bytes;
  return bytes;
}

// A frustrum serving `served()` to a kernel's reads in pieces of varying size, as a real one may; it refuses writes.
inline ksample::Frustrum bufferFrustrum() {
  static size_t at = 0;
  const auto ok = [](int* ifail) { *ifail = ksample::kFrOk; };
  const auto segment = [](const int*, const int*, const int*, const int*, const double*, const int*, const int*,
                          int* ifail) { *ifail = ksample::kFrOk; };
  return {ok, ok, ok,
          [](const int*, const int*, const char*, const int*, const char*, const int*, int* id, int* ifail) {
            *id = -1;
            *ifail = ksample::kFrCannotOpen;
          },
          [](const int*, const int*, const char*, const int*, const int*, int* id, int* ifail) {
            at = 0;
            *id = 1;
            *ifail = ksample::kFrOk;
          },
          [](const int*, const int*, const int*, const char*, int* ifail) { *ifail = ksample::kFrWriteFailure; },
          [](const int*, const int*, const int* max, char* buffer, int* delivered, int* ifail) {
            const size_t n = std::min({static_cast<size_t>(*max), 1 + at % 977, served().size() - at});
            *delivered = static_cast<int>(served().copy(buffer, n, at));
            at += n;
            *ifail = n == 0 ? ksample::kFrEndOfData : ksample::kFrOk;
          },
          [](const int*, const int*, const int*, int* ifail) { *ifail = ksample::kFrOk; },
          segment, segment, segment};
}

// Starts a kernel's session on the buffer frustrum, once; it stops at exit.
template <int (*start)(const ksample::Frustrum&), int (*stop)()>
void startSession() {
  static const struct Session {
    Session() { FUZZ_CHECK(start(bufferFrustrum()) == 0); }
    ~Session() { stop(); }
  } session;
}

}  // namespace fuzzing

#endif
