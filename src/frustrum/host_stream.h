// The current host stream of the process (gKmStream): the host object
// stream that host-stream records read from and write to, and the end
// position of a segment being read.
#ifndef MVKM_FRUSTRUM_HOST_STREAM_H
#define MVKM_FRUSTRUM_HOST_STREAM_H

#include "host/MvAutoPtr.h"
#include "host/MvExport.h"
#include "host/MvObjectStream.h"

namespace mvkm {

struct KmStream {
  MvAutoPtr<MvObjectStream> stream;
  int pos = 0;
};

// Exported so that hosts and tests can see and bound the current segment.
extern MVKM_API KmStream gKmStream;

// Makes a stream current for a scope: takes a reference (dropping the one
// held before) and, when the scope ends by any way, drops it again and sets
// pos back to 0.
class MVKM_API CurrentHostStream {
 public:
  explicit CurrentHostStream(MvObjectStream& stream);
  ~CurrentHostStream();
  CurrentHostStream(const CurrentHostStream&) = delete;
  CurrentHostStream& operator=(const CurrentHostStream&) = delete;
};

// Drops the current host stream (library unload).
void dropHostStream();

// Host-stream transfers used by host-stream records.
// Writes count bytes at the stream's position: 0, or 12.
int hostStreamWrite(const char* bytes, int count);
// Reads up to count bytes, never past gKmStream.pos: 0, 4 or 13.
int hostStreamRead(char* buffer, int count, int& delivered);

}  // namespace mvkm

#endif
