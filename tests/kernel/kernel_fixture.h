// A running kernel session on an in-memory fake frustrum, and sample bodies.
#ifndef TESTS_KERNEL_KERNEL_FIXTURE_H
#define TESTS_KERNEL_KERNEL_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "ksample/kernel.h"

namespace fake {

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

inline void succeed(int* ifail) { *ifail = 0; }

// The kernel serialises its frustrum calls, so the fake keeps one stream, id 1.
inline void open(const int* guise, const int* format, const char* key, const int* keyLength, bool writing, int* id,
                 int* ifail) {
  State& s = state();
  *id = 1;
  s.current.assign(key, static_cast<std::size_t>(*keyLength));
  s.current += *format == 2 ? ".x_t" : ".x_b";
  if (*guise != 4 || s.openStreams) return void(*ifail = 99);
  if (writing) s.files[s.current].clear();
  s.readPos = 0;
  s.openStreams = 1;
  *ifail = 0;
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
  // Small deliveries, so the kernel has to join its reads; none at the end.
  const std::size_t n = std::min({static_cast<std::size_t>(*maxCount), std::size_t{100}, in.size() - s.readPos});
  s.readPos += in.copy(buffer, n, s.readPos);
  *delivered = static_cast<int>(n);
  *ifail = n == 0 ? 4 : 0;
}

inline void close(const int*, const int* id, const int* action, int* ifail) {
  State& s = state();
  if (*id != 1 || !s.openStreams) return void(*ifail = 14);
  if (*action == ksample::kCloseAbandon) s.files.erase(s.current);
  s.openStreams = 0;
  *ifail = 0;
}

template <int Kind>
void segment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5, const int* a6,
             const int* a7, int* ifail) {
  state().segments.emplace_back(Kind, *a1, *a2, *a3, *a4, std::vector<double>(a5, a5 + (Kind == 1 ? 3 * *a4 : 1)),
                                *a6, std::vector<int>(a7, a7 + (Kind == 1 ? 2 : 1)));
  *ifail = Kind == 1 && state().outputsBeforeFailure-- == 0 ? 7 : 0;
}

// Clears the state and returns the frustrum table.
inline ksample::Frustrum reset() {
  state() = State{};
  return ksample::Frustrum{succeed, succeed, succeed,    openWrite,  openRead,  write,
                           read,    close,   segment<0>, segment<1>, segment<2>};
}

}  // namespace fake

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ksample::startSession(fake::reset()), ksample::kOk); }
  void TearDown() override { ksample::stopSession(); }

  // A turned and moved box with two face colours and a body colour, a tilted cylinder with a top colour, a sphere.
  static std::vector<int> sampleBodies() {
    using namespace ksample;
    const int box = makeBox(1.0, 2.0, 3.0, compose(translation(1.5, -2.0, 3.25), rotation(1, 1, 0, 0.7)));
    setFaceColor(box, 0, {1.0f, 0.0f, 0.0f, 1.0f});
    setFaceColor(box, 5, {0.1f, 0.2f, 0.3f, 0.5f});
    setBodyColor(box, {0.0f, 1.0f, 0.0f, 1.0f});
    const int cylinder = makeCylinder(0.5, 4.0, rotation(0, 1, 0, 1.1));
    setFaceColor(cylinder, 1, {0.25f, 0.5f, 0.75f, 1.0f});
    return {box, cylinder, makeSphere(2.0, translation(10.0, 0.0, -1.0))};
  }
};

#endif
