// A minimal kernel for the element's stream tests: it transmits tags as text ("T <tag>\n" each) through the frustrum
// with an empty key and receives such text back as tags + 100, in small blocks that span several frustrum calls.
#ifndef MV_TESTS_FRUSTRUM_KERNEL_H
#define MV_TESTS_FRUSTRUM_KERNEL_H

#include "MvKMBrep61.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace tinykernel {

struct State {
  int major = 3;
  int minor = 2;
  bool failRead = false;
  bool failWrite = false;
  bool writeNothing = false;  // the transmit succeeds without writing a byte
  int readLimit = -1;  // stop reading after this many bytes (-1: read to the end)
  std::vector<unsigned> nominalFlags;
  std::vector<int> writtenCounts;
  int freed = 0;
};

inline State& state() {
  static State s;
  return s;
}

inline unsigned version(int& major, int& minor) {
  major = state().major;
  minor = state().minor;
  return 1;
}

inline unsigned write(int count, const int* tags, unsigned nominal) {
  state().nominalFlags.push_back(nominal);
  state().writtenCounts.push_back(count);
  if (state().failWrite) return 0;
  std::ostringstream text;
  for (int i = 0; i < count; ++i) text << "T " << tags[i] << "\n";
  const std::string data = text.str();
  const int guise = 4, format = 2, keyLen = 0, headerLen = 0, action = 1;
  int id = -1, ifail = 0;
  openWriteFrustrumFile(&guise, &format, "", &keyLen, "", &headerLen, &id, &ifail);
  if (ifail != 0) return 0;
  for (size_t at = 0; at < data.size() && !state().writeNothing; at += 5) {
    const int n = static_cast<int>(std::min<size_t>(5, data.size() - at));
    writeToFrustrumFile(&guise, &id, &n, data.data() + at, &ifail);
    if (ifail != 0) return 0;
  }
  closeFrustrumFile(&guise, &id, &action, &ifail);
  return ifail == 0 ? 1u : 0u;
}

inline unsigned read(int& count, int*& tags) {
  const int guise = 4, format = 2, keyLen = 0, skip = 1, action = 1, max = 7;
  int id = -1, ifail = 0;
  openReadFrustrumFile(&guise, &format, "", &keyLen, &skip, &id, &ifail);
  if (ifail != 0) return 0;
  std::string data;
  char block[max];
  while (state().readLimit < 0 || static_cast<int>(data.size()) < state().readLimit) {
    int got = 0;
    readFromFrustrumFile(&guise, &id, &max, block, &got, &ifail);
    if (ifail == 4) break;
    if (ifail != 0) return 0;
    data.append(block, got);
  }
  closeFrustrumFile(&guise, &id, &action, &ifail);
  if (state().failRead) return 0;
  std::istringstream in(data);
  std::vector<int> received;
  std::string word;
  int tag = 0;
  while (in >> word >> tag) received.push_back(tag + 100);
  count = static_cast<int>(received.size());
  tags = static_cast<int*>(std::malloc(sizeof(int) * (received.empty() ? 1 : received.size())));
  std::copy(received.begin(), received.end(), tags);
  return 1;
}

inline unsigned freeTags(void* p) {
  ++state().freed;
  std::free(p);
  return 1;
}

// Registers the kernel's jobs and starts its frustrum.
inline void install() {
  state() = State();
  MvKMBrep::setKmVersionCallback(version);
  MvKMBrep::setKmWriteCallback(write);
  MvKMBrep::setKmReadCallback(read);
  MvKMBrep::setKmMemoryRelCallback(freeTags);
  int ifail = 0;
  startFileFrustrum(&ifail);
}

inline void uninstall() {
  int ifail = 0;
  stopFileFrustrum(&ifail);
}

}  // namespace tinykernel

#endif
