#include "fake_frustrum.h"

#include <algorithm>
#include <cstring>

namespace fake {
namespace {

struct Stream {
  bool write = false;
  bool host = false;
  std::string name;
  std::size_t readPos = 0;
};

std::map<int, Stream>& streams() {
  static std::map<int, Stream> s;
  return s;
}

int nextId() {
  int id = 1;
  while (streams().count(id)) ++id;
  return id;
}

void start(int* ifail) { *ifail = 0; }
void stop(int* ifail) {
  streams().clear();
  state().openStreams = 0;
  *ifail = 0;
}
void abort(int* ifail) { *ifail = 0; }

std::string nameOf(const int* format, const char* key, const int* keyLength) {
  return std::string(key, static_cast<std::size_t>(*keyLength)) + (*format == 2 ? ".x_t" : ".x_b");
}

void openWrite(const int* guise, const int* format, const char* key, const int* keyLength,
               const char* header, const int* headerLength, int* streamId, int* ifail) {
  *streamId = -1;
  if (*guise != 4) return void(*ifail = 99);
  Stream s;
  s.write = true;
  s.host = *keyLength < 1;
  if (!s.host) {
    s.name = nameOf(format, key, keyLength);
    state().files[s.name].clear();
  }
  state().headerData.assign(header, static_cast<std::size_t>(*headerLength));
  *streamId = nextId();
  streams()[*streamId] = s;
  ++state().openStreams;
  *ifail = 0;
}

void openRead(const int*, const int* format, const char* key, const int* keyLength, const int*,
              int* streamId, int* ifail) {
  *streamId = -1;
  Stream s;
  s.host = *keyLength < 1;
  if (!s.host) {
    s.name = nameOf(format, key, keyLength);
    if (!state().files.count(s.name)) return void(*ifail = 2);
  }
  *streamId = nextId();
  streams()[*streamId] = s;
  ++state().openStreams;
  *ifail = 0;
}

void write(const int*, const int* id, const int* count, const char* bytes, int* ifail) {
  auto it = streams().find(*id);
  if (it == streams().end() || !it->second.write) return void(*ifail = 99);
  state().writeSizes.push_back(*count);
  if (static_cast<int>(state().writeSizes.size()) - 1 == state().failWriteAtBlock) {
    return void(*ifail = 12);
  }
  std::string& out = it->second.host ? state().hostStream : state().files[it->second.name];
  out.append(bytes, static_cast<std::size_t>(*count));
  *ifail = 0;
}

void read(const int*, const int* id, const int* maxCount, char* buffer, int* delivered,
          int* ifail) {
  *delivered = 0;
  auto it = streams().find(*id);
  if (it == streams().end() || it->second.write) return void(*ifail = 99);
  const std::string& in = it->second.host ? state().hostStream : state().files[it->second.name];
  std::size_t& pos = it->second.host ? state().hostReadPos : it->second.readPos;
  const std::size_t end = it->second.host ? state().hostSegmentEnd : in.size();
  const std::size_t n =
      std::min({static_cast<std::size_t>(*maxCount), end - pos, state().maxDelivery});
  if (n == 0) return void(*ifail = 4);
  std::memcpy(buffer, in.data() + pos, n);
  pos += n;
  *delivered = static_cast<int>(n);
  *ifail = 0;
}

void close(const int*, const int* id, const int* action, int* ifail) {
  auto it = streams().find(*id);
  if (it == streams().end()) return void(*ifail = 14);
  state().closeActions.push_back(*action);
  if (it->second.write && *action == 2 && !it->second.host) state().files.erase(it->second.name);
  streams().erase(it);
  --state().openStreams;
  *ifail = 0;
}

void logSegment(int kind, const int* a1, const int* a2, const int* a3, const int* a4,
                const double* a5, const int* a6, const int* a7, int* ifail) {
  Segment s{kind, *a1, *a2, {}, *a4, {}, *a6, {}};
  s.a3.assign(a3, a3 + 1);
  s.a5.assign(a5, a5 + (kind == 1 ? 3 * *a4 : 1));
  s.a7.assign(a7, a7 + (kind == 1 ? 2 : 1));
  state().segments.push_back(s);
  const int outputs =
      static_cast<int>(std::count_if(state().segments.begin(), state().segments.end(),
                                     [](const Segment& x) { return x.kind == 1; }));
  *ifail = kind == 1 && outputs - 1 == state().outputStatusAt ? 7 : 0;
}

void openSegment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5,
                 const int* a6, const int* a7, int* ifail) {
  logSegment(0, a1, a2, a3, a4, a5, a6, a7, ifail);
}
void outputSegment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5,
                   const int* a6, const int* a7, int* ifail) {
  logSegment(1, a1, a2, a3, a4, a5, a6, a7, ifail);
}
void closeSegment(const int* a1, const int* a2, const int* a3, const int* a4, const double* a5,
                  const int* a6, const int* a7, int* ifail) {
  logSegment(2, a1, a2, a3, a4, a5, a6, a7, ifail);
}

}  // namespace

State& state() {
  static State s;
  return s;
}

ksample::Frustrum reset() {
  state() = State{};
  streams().clear();
  return ksample::Frustrum{start, stop,  abort,       openWrite,     openRead,    write,
                           read,  close, openSegment, outputSegment, closeSegment};
}

std::string fileName(const std::string& key, ksample::Format format) {
  return key + (format == ksample::Format::Text ? ".x_t" : ".x_b");
}

}  // namespace fake
