// The current host stream of the process (gKmStream): the host object
// stream that the frustrum's host-stream records read from and write to, and
// the end position of a segment being read. The element makes a stream
// current for the time the kernel transmits or receives.
#ifndef MVKM_BASE_CURRENT_HOST_STREAM_H
#define MVKM_BASE_CURRENT_HOST_STREAM_H

#include "host/MvAutoPtr.h"
#include "host/MvObjectStream.h"

namespace mvkm {

struct KmStream {
  MvAutoPtr<MvObjectStream> stream;
  int pos = 0;
};

// Internal to the library: hosts see its state through the frustrum's state
// queries, the tests through the library's static build.
extern KmStream gKmStream;

// Makes a stream current for a scope: takes a reference (dropping the one
// held before) and, when the scope ends by any way, drops it again and sets
// pos back to 0.
class CurrentHostStream {
 public:
  explicit CurrentHostStream(MvObjectStream& stream);
  ~CurrentHostStream();
  CurrentHostStream(const CurrentHostStream&) = delete;
  CurrentHostStream& operator=(const CurrentHostStream&) = delete;
};

// Drops the current host stream (library unload).
void dropHostStream();

}  // namespace mvkm

#endif
