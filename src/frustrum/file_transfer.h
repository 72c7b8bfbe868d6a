// Moving bytes to and from a stream's file: the byte blocks of the kernel's
// data and of the text header, and the text lines read while skipping a
// header. Lines are read through one growable line buffer.
#ifndef MVKM_FRUSTRUM_FILE_TRANSFER_H
#define MVKM_FRUSTRUM_FILE_TRANSFER_H

#include <cstddef>
#include <cstdio>
#include <memory>

namespace mvkm {

// The stdio buffer each kernel file gets. The kernel moves its data in
// blocks of a few KiB; a larger buffer turns many of them into one system
// call, and keeps blocks that the text header has put off the file's
// alignment from costing a system call each. At 256 KiB the calls cost
// little beside the system's own copy into the page cache, and 32 open
// streams hold 8 MiB at most.
constexpr std::size_t kFileBufferBytes = 256 * 1024;

// A stream's file with the stdio buffer it was given; closed when it goes.
class StreamFile {
 public:
  StreamFile() = default;
  StreamFile(StreamFile&& other) noexcept = default;
  // Closes this file first, then takes the other's file and buffer.
  StreamFile& operator=(StreamFile&& other) noexcept;
  ~StreamFile() { close(); }

  // Opens path with an fopen mode and gives the file a buffer of
  // kFileBufferBytes (it keeps the C library's own when none can be had).
  // True when it opened; else errno tells why.
  bool open(const char* path, const char* mode);
  // Closes the file now: true when it closed cleanly or there was none.
  bool close();
  // Called after the text header went to the file: the next writes fill the
  // buffer only up to the next multiple of kFileBufferBytes in the file and
  // flush there, so that every later flush of the buffer starts on such a
  // multiple. The page cache holds a file in blocks of several pages; writes
  // that the header has put off them cost the system about a fifth more
  // (64 MiB in 4 KiB blocks, measured), page-aligned ones too.
  void alignWrites();
  // Writes count (0 or more) bytes: 0, or 12 when fewer were written or the
  // flush at the boundary failed (a system failure).
  int write(const char* data, int count);
  std::FILE* get() const { return _file.get(); }
  explicit operator bool() const { return _file != nullptr; }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  // Declared before the file, so that it outlives it: closing flushes
  // through it.
  std::unique_ptr<char[]> _buffer;
  std::unique_ptr<std::FILE, Closer> _file;
  // Bytes still to write before the flush at the boundary.
  long long _toBoundary = 0;
};

// Keeps the system's error number (errno) of the call that has just failed
// with `status`, and yields status. mvFrustrumLastSystemFailure hands both
// out.
int systemFailure(int status);
// Forgets the kept failure; the frustrum's start calls it.
void forgetSystemFailure();
// The kept failure's status (0 when none) and error number, forgotten.
int takeSystemFailure(int& osError);

// Writes count (0 or more) bytes: 0, or 12 when fewer were written (a
// system failure).
int fileWrite(std::FILE* file, const char* data, int count);
// Reads up to count (1 or more) bytes into buffer: 0 with `delivered` set,
// 4 when the file is at its end, 13 on a read error (a system failure).
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
