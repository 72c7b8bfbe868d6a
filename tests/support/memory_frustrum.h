// An in-memory frustrum for a kernel's own tests and fuzz targets: transmit files kept by name ("key.x_t",
// "key.x_b"), reads delivered in pieces of varying size as a real device may, graphical output recorded.
#ifndef MV_TESTS_MEMORY_FRUSTRUM_H
#define MV_TESTS_MEMORY_FRUSTRUM_H

#include "ksample/frustrum.h"

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace memfrustrum {

// One segment call: kind (0 open, 1 output, 2 close), a1, a2, a3[0], a4, a5, a6, a7.
using Segment = std::tuple<int, int, int, int, int, std::vector<double>, int, std::vector<int>>;

struct State {
  std::map<std::string, std::string> files;  // "key.x_t" / "key.x_b" -> data
  std::string header;                        // of the last open for writing
  std::vector<Segment> segments;
  int failWrite = 0;              // status every write reports
  int outputsBeforeFailure = -1;  // then one output reports 7
  int openStreams = 0;
  std::string current;  // the open stream's file
  std::size_t readPos = 0;
};

inline State& state() {
  static State s;
  return s;
}

inline void succeed(int* ifail) { *ifail = ksample::kFrOk; }

// The kernels serialise their frustrum calls, so the fake keeps one stream, id 1.
inline void open(const int* guise, const int* format, const char* key, const int* keyLength, bool writing, int* id,
                 int* ifail) {
  State& s = state();
  *id = 1;
  s.current.assign(key, static_cast<std::size_t>(*keyLength));
  s.current += *format == ksample::kFormatText ? ".x_t" : ".x_b";
  if (*guise != ksample::kGuiseTransmit || s.openStreams) return void(*ifail = ksample::kFrUnspecified);
  if (writing) s.files[s.current].clear();
  s.readPos = 0;
  s.openStreams = 1;
  *ifail = ksample::kFrOk;
}

inline void openWrite(const int* guise, const int* format, const char* key, const int* keyLength, const char* header,
                      const int* headerLength, int* id, int* ifail) {
  state().header.assign(header, static_cast<std::size_t>(*headerLength));
  open(guise, format, key, keyLength, true, id, ifail);
}

inline void openRead(const int* guise, const int* format, const char* key, const int* keyLength, const int*, int* id,
                     int* ifail) {
  open(guise, format, key, keyLength, false, id, ifail);
}

inline void write(const int*, const int*, const int* count, const char* bytes, int* ifail) {
  *ifail = state().failWrite;
  if (*ifail == 0) state().files[state().current].append(bytes, static_cast<std::size_t>(*count));
}

inline void read(const int*, const int*, const int* maxCount, char* buffer, int* delivered, int* ifail) {
  State& s = state();
  const std::string& in = s.files[s.current];
  // Pieces of 1 to 977 bytes, so the kernel has to join its reads; none at the end.
  const std::size_t n = std::min({static_cast<std::size_t>(*maxCount), 1 + s.readPos % 977, in.size() - s.readPos});
  s.readPos += in.copy(buffer, n, s.readPos);
  *delivered = static_cast<int>(n);
  *ifail = n == 0 ? ksample::kFrEndOfData : ksample::kFrOk;
}

inline void close(const int*, const int* id, const int* action, int* ifail) {
  State& s = state();
  if (*id != 1 || !s.openStreams) return void(*ifail = ksample::kFrCloseFailure);
  if (*action == ksample::kCloseAbandon) s.files.erase(s.current);
  s.openStreams = 0;
  *ifail = ksample::kFrOk;
}

template <int Kind>
void segment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5, const int* a6,
             const int* a7, int* ifail) {
  state().segments.emplace_back(Kind, *a1, *a2, *a3, *a4, std::vector<double>(a5, a5 + (Kind == 1 ? 3 * *a4 : 1)),
                                *a6, std::vector<int>(a7, a7 + (Kind == 1 ? 2 : 1)));
  *ifail = Kind == 1 && state().outputsBeforeFailure-- == 0 ? 7 : ksample::kFrOk;
}

// Clears the state and returns the frustrum table.
inline ksample::Frustrum reset() {
  state() = State{};
  return ksample::Frustrum{succeed, succeed, succeed,    openWrite,  openRead,  write,
                           read,    close,   segment<0>, segment<1>, segment<2>};
}

}  // namespace memfrustrum

#endif
