// Transfers of host-stream records: bytes to and from the current host
// stream, never past the end of the segment being read.
#ifndef MVKM_FRUSTRUM_HOST_STREAM_H
#define MVKM_FRUSTRUM_HOST_STREAM_H

namespace mvkm {

// Writes count bytes at the stream's position: 0, or 12.
int hostStreamWrite(const char* bytes, int count);
// Reads up to count bytes, never past gKmStream.pos: 0, 4 or 13.
int hostStreamRead(char* buffer, int count, int& delivered);

}  // namespace mvkm

#endif
