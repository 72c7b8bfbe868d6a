// An in-memory frustrum for testing the sample kernel alone: files live in a
// map, the host stream in a string with a segment end, and every call is
// logged with its arguments.
#ifndef TESTS_KERNEL_FAKE_FRUSTRUM_H
#define TESTS_KERNEL_FAKE_FRUSTRUM_H

#include <map>
#include <string>
#include <vector>

#include "ksample/kernel.h"

namespace fake {

struct Segment {
  int kind;  // 0 open, 1 output, 2 close
  int a1, a2;
  std::vector<int> a3;
  int a4;
  std::vector<double> a5;
  int a6;
  std::vector<int> a7;
};

struct State {
  std::map<std::string, std::string> files;  // name -> data (header not modelled)
  std::string headerData;                    // of the last open for writing
  std::string hostStream;                    // host-stream mode data
  std::size_t hostReadPos = 0;
  std::size_t hostSegmentEnd = 0;
  std::size_t maxDelivery = 4096;  // largest block a read delivers
  int failWriteAtBlock = -1;       // 0-based block index that reports 12
  int outputStatusAt = -1;         // output call index that reports 7
  std::vector<int> writeSizes;
  std::vector<int> closeActions;
  std::vector<Segment> segments;
  int openStreams = 0;
};

State& state();
// Clears the state and returns the frustrum table.
ksample::Frustrum reset();
// File name for a key: key.x_t (text) or key.x_b (binary).
std::string fileName(const std::string& key, ksample::Format format);

}  // namespace fake

#endif
