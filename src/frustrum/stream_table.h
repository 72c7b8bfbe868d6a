// The table of open frustrum streams: one record per open stream, kept in
// opening order, and the 32 stream ids handed to the kernel.
#ifndef MVKM_FRUSTRUM_STREAM_TABLE_H
#define MVKM_FRUSTRUM_STREAM_TABLE_H

#include "frustrum/file_transfer.h"

namespace mvkm {

constexpr int kMaxStreams = 32;
// A key or a file name holds at most 255 characters and its NUL.
constexpr int kNameBytes = 256;
constexpr int kMaxNameLength = kNameBytes - 1;

enum StreamMode { kModeRead = 1, kModeWrite = 2 };

// One open stream. It owns its file, which is closed when the record goes;
// a record without a file is a host-stream record, whose bytes go to and
// come from the current host stream.
struct FrustrumStream {
  FrustrumStream* next;
  FrustrumStream* prev;
  int id;
  int guise;
  int format;
  int mode;
  char name[kNameBytes];
  char key[kNameBytes];
  StreamFile file;
};

// Creates a record without a file at the tail of the list with the lowest
// free stream id: 0 and the record in `out`, or 10 when no id is free or no
// memory is left.
int createStream(int guise, int format, int mode, const char* name, const char* key, FrustrumStream*& out);
// The first record in opening order with this id, or null.
FrustrumStream* findStream(int id);
// Frees the record's id, unlinks and frees the record; its file, if still
// open, is closed.
void unlinkStream(FrustrumStream* stream);
int openStreamCount();

}  // namespace mvkm

#endif
