// Moving bytes to and from a stream's file: the byte blocks of the kernel's
// data and of the text header, and the text lines read while skipping a
// header. Lines are read through one growable line buffer.
#ifndef MVKM_FRUSTRUM_FILE_TRANSFER_H
#define MVKM_FRUSTRUM_FILE_TRANSFER_H

#include <cstdio>

namespace mvkm {

// Writes count (0 or more) bytes: 0, or 12 when fewer were written.
int fileWrite(std::FILE* file, const char* data, int count);
// Reads up to count (1 or more) bytes into buffer: 0 with `delivered` set,
// 4 when the file is at its end, 13 on a read error.
int fileRead(std::FILE* file, char* buffer, int count, int& delivered);
// Reads one line of at most maxChars (1 or more) characters, line feed
// included, into the line buffer: 0 with `line` (valid until the next read
// or release) and its `length` set, 4 at the end of the file, 13 on a read
// error, 99 when the line buffer cannot be allocated.
int fileReadLine(std::FILE* file, int maxChars, const char*& line, int& length);
// Frees the line buffer.
void releaseLineBuffer();

}  // namespace mvkm

#endif
