#include <algorithm>

#include "kernel/kernel_fixture.h"

namespace fake {
namespace {

void succeed(int* ifail) { *ifail = 0; }

// The kernel serialises its frustrum calls, so the fake keeps one stream, id 1.
void open(const int* guise, const int* format, const char* key, const int* keyLength, bool writing,
          int* id, int* ifail) {
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

void openWrite(const int* guise, const int* format, const char* key, const int* keyLength,
               const char* header, const int* headerLength, int* id, int* ifail) {
  state().header.assign(header, static_cast<std::size_t>(*headerLength));
  open(guise, format, key, keyLength, true, id, ifail);
}

void openRead(const int* guise, const int* format, const char* key, const int* keyLength,
              const int*, int* id, int* ifail) {
  open(guise, format, key, keyLength, false, id, ifail);
}

void write(const int*, const int*, const int* count, const char* bytes, int* ifail) {
  *ifail = state().failWrite;
  if (*ifail == 0) state().files[state().current].append(bytes, static_cast<std::size_t>(*count));
}

void read(const int*, const int*, const int* maxCount, char* buffer, int* delivered, int* ifail) {
  State& s = state();
  const std::string& in = s.files[s.current];
  // Small deliveries, so the kernel has to join its reads; none at the end.
  const std::size_t n = std::min({static_cast<std::size_t>(*maxCount), std::size_t{100}, in.size() - s.readPos});
  s.readPos += in.copy(buffer, n, s.readPos);
  *delivered = static_cast<int>(n);
  *ifail = n == 0 ? 4 : 0;
}

void close(const int*, const int* id, const int* action, int* ifail) {
  State& s = state();
  if (*id != 1 || !s.openStreams) return void(*ifail = 14);
  if (*action == ksample::kCloseAbandon) s.files.erase(s.current);
  s.openStreams = 0;
  *ifail = 0;
}

template <int Kind>
void segment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5,
             const int* a6, const int* a7, int* ifail) {
  state().segments.emplace_back(Kind, *a1, *a2, *a3, *a4,
                                std::vector<double>(a5, a5 + (Kind == 1 ? 3 * *a4 : 1)), *a6,
                                std::vector<int>(a7, a7 + (Kind == 1 ? 2 : 1)));
  *ifail = Kind == 1 && state().outputsBeforeFailure-- == 0 ? 7 : 0;
}

}  // namespace

State& state() {
  static State s;
  return s;
}

ksample::Frustrum reset() {
  state() = State{};
  return ksample::Frustrum{succeed, succeed, succeed,    openWrite,  openRead,  write,
                           read,    close,   segment<0>, segment<1>, segment<2>};
}

}  // namespace fake
