// The table of open frustrum streams: one record per open stream, kept in
// opening order, and the 32 stream ids handed to the kernel.
#ifndef MVKM_FRUSTRUM_STREAM_TABLE_H
#define MVKM_FRUSTRUM_STREAM_TABLE_H

#include <cstdio>

namespace mvkm {

constexpr int kMaxStreams = 32;
// A key or a file name holds at most 255 characters and its NUL.
constexpr int kNameBytes = 256;
constexpr int kMaxNameLength = kNameBytes - 1;

enum StreamMode { kModeRead = 1, kModeWrite = 2 };

// One open stream. A null `file` marks a host-stream record, whose bytes go
// to and come from the current host stream. `fileBuffer` is the stdio buffer
// the file was given (null: the C library's own); it is freed with the
// record, so the file must be closed before the record goes.
struct FrustrumStream {
  FrustrumStream* next;
  FrustrumStream* prev;
  int id;
  int guise;
  int format;
  int mode;
  char name[kNameBytes];
  char key[kNameBytes];
  std::FILE* file;
  char* fileBuffer;
};

// Creates a record for `file` (null for a host-stream record) at the tail of
// the list with the lowest free stream id: 0 and the record in `out`, or 10
// when no id is free or no memory is left. The file stays the caller's
// until the record has been created.
int createStream(std::FILE* file, int guise, int format, int mode, const char* name, const char* key,
                 FrustrumStream*& out);
// The first record in opening order with this id, or null.
FrustrumStream* findStream(int id);
// Frees the record's id, unlinks and frees the record and its file buffer.
// Its file, if any, is not touched: the caller closes it first.
void unlinkStream(FrustrumStream* stream);
int openStreamCount();

}  // namespace mvkm

#endif
