// Moving bytes to and from a stream's file: the byte blocks of the kernel's
// data and of the text header, and the text lines read while skipping a
// header. Lines are read through one growable line buffer.
#ifndef MVKM_FRUSTRUM_FILE_TRANSFER_H
#define MVKM_FRUSTRUM_FILE_TRANSFER_H

#include <cstddef>
#include <cstdio>

namespace mvkm {

// The stdio buffer each kernel file gets. The kernel moves its data in
// blocks of a few KiB; a larger buffer turns many of them into one system
// call, and keeps blocks that the text header has put off the file's
// alignment from costing a system call each.
constexpr std::size_t kFileBufferBytes = 64 * 1024;

// Gives a just opened file (no I/O done yet) a buffer of kFileBufferBytes
// and yields it; the caller frees it with releaseFileBuffer once the file is
// closed. Null when no buffer could be had: the file then keeps the C
// library's own.
char* attachFileBuffer(std::FILE* file);
// Frees a buffer of attachFileBuffer; null is ignored.
void releaseFileBuffer(char* buffer);

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
