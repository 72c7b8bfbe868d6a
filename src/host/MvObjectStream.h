// The host's object stream: 32-bit little-endian integers, byte blocks and
// 32-bit positions over memory (MvMemoryStream) or a host file
// (MvFileStream), and whole objects written as their type GUID, a length and
// the object's own record.
//
// Failures are reported through MvErrorState under the class name
// "MvObjectStream" and yield 0.
#ifndef MV_HOST_OBJECTSTREAM_H
#define MV_HOST_OBJECTSTREAM_H

#include "host/MvAutoPtr.h"
#include "host/MvBase.h"
#include "host/MvRefCounted.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class MV61_API MvObjectStream : public MvRefCounted {
 public:
  // Writes / reads one signed 32-bit integer, little-endian; nonzero on success.
  virtual unsigned write(int value);
  virtual unsigned read(int& value);
  // Writes count bytes at the position (overwriting, extending the stream).
  virtual unsigned writeBytes(const char* bytes, int count) = 0;
  // Reads up to count bytes; nRead tells how many arrived. Nonzero when all
  // count bytes were read; a short read is reported and yields 0.
  virtual unsigned readBytes(char* bytes, int count, int& nRead) = 0;
  virtual unsigned getPosition(int& pos) = 0;
  // Moves to pos (0 <= pos <= size); nonzero on success.
  virtual unsigned seek(int pos) = 0;
  // The stream's length in bytes.
  virtual unsigned getSize(int& size) = 0;

  // Writes obj (null allowed) as its type GUID, a 32-bit length and the
  // record its serialize() writes.
  unsigned writeObject(const MvBase* obj);
  // Reads the next object: creates it through the type registry from its
  // GUID, lets it deserialize() and positions the stream after its record,
  // also when the object read less (lastUnreadBytes() tells). `out` holds
  // the new object (null for a null object). On failure `out` is null and
  // the stream stands after the record when its length could be read.
  unsigned readObject(MvAutoPtr<MvBase>& out);
  // True when the stream stands at its end.
  bool atEnd();

  // The bytes of the last record read by readObject that the object's
  // deserialize() left unread; 0 when it read its whole record. A reader
  // whose objects always read their whole record treats more as damage.
  int lastUnreadBytes() const { return _lastUnread; }
  // While readObject runs an object's deserialize(): the bytes of its
  // record after the current position; -1 outside readObject.
  int recordBytesLeft();
  // The objects written by writeObject or read by readObject so far.
  int objectCount() const { return _objects; }
  // Notes that [start, start + length) holds a segment that its writer
  // checks on its own (a kernel's transmit data): a host file's checksum
  // leaves it out. Both the writer and the reader of a segment note it.
  virtual void excludeFromChecksum(int start, int length);

 private:
  int _recordEnd = -1;
  int _lastUnread = 0;
  int _objects = 0;
};

class MV61_API MvMemoryStream : public MvObjectStream {
 public:
  // An empty stream for writing.
  MvMemoryStream();
  // A stream over a copy of size bytes, positioned at its start.
  MvMemoryStream(const char* data, int size);

  unsigned writeBytes(const char* bytes, int count) override;
  unsigned readBytes(char* bytes, int count, int& nRead) override;
  unsigned getPosition(int& pos) override;
  unsigned seek(int pos) override;
  unsigned getSize(int& size) override;

  // The stream's bytes (null while it is empty) and their number.
  const char* data() const { return _size > 0 ? _bytes.get() : nullptr; }
  int size() const { return _size; }

 private:
  struct FreeBlock {
    // Inline: a class nested in an exported class is not exported itself.
    void operator()(char* p) const noexcept { std::free(p); }
  };
  // Makes the block hold at least `needed` bytes; false when it cannot.
  bool reserve(long long needed);

  // Bytes [0, _size) are the stream; the block holds _capacity bytes and
  // grows by at least doubling, without touching the bytes beyond _size.
  std::unique_ptr<char, FreeBlock> _bytes;
  int _size = 0;
  int _capacity = 0;
  int _pos = 0;
};

// A host file: it starts with the magic "MV61HOST" and the partition version
// (major, minor) of the file; objects follow. From version 8.2 on the file
// ends with a trailer: the mark "MV61TAIL", the number of objects and the
// CRC-32 of every byte before the trailer outside the segments excluded
// from the checksum, so that a cut or damaged file is told from a whole one.
// Files of earlier versions have no trailer and are read as they are.
class MV61_API MvFileStream : public MvObjectStream {
 public:
  static constexpr char kMagic[9] = "MV61HOST";
  static constexpr int kHeaderBytes = 16;
  static constexpr char kTrailerMark[9] = "MV61TAIL";
  static constexpr int kTrailerBytes = 16;
  // The first version whose files end with a trailer.
  static constexpr int kTrailerMajor = 8;
  static constexpr int kTrailerMinor = 2;

  // Creates (truncates) path for writing and reading, writes the header
  // with the current partition version and stands after it; null (reported)
  // on failure.
  static MvFileStream* create(const char* path);
  // Opens an existing host file for reading (writes to it fail, reported),
  // checks its header and, from version 8.2 on, that its trailer is there,
  // and stands after the header; null (reported) when it cannot be opened,
  // is larger than 2147483647 bytes, is not a host file, is of a version
  // newer than this reader knows ("file version <= 8.2") or has no trailer
  // ("trailer at the end of the file"). Positions are absolute file
  // offsets: objects start at kHeaderBytes and end where the trailer starts.
  static MvFileStream* open(const char* path);

  // Closes the file when close() was not called (without a report: a
  // destructor cannot fail). Such a file has no trailer and so reads as
  // damaged: call close() to finish a file and learn whether it arrived.
  ~MvFileStream() override;
  // Writes the trailer (a file created at version 8.2 or later), flushes
  // and closes; 0 (reported) when the data could not be written. Later
  // operations on the stream fail (reported).
  unsigned close();
  // Whether the file has (or, being written, gets) a trailer.
  bool hasTrailer() const { return _trailer; }
  // For a file opened for reading whose objects have all been read: 1 when
  // the trailer's object count and checksum match what was read (also for
  // a file without a trailer: nothing to compare), 0 (reported: "trailer
  // object count == objects read" or "trailer checksum == file checksum")
  // when they do not.
  unsigned checkTrailer();
  void excludeFromChecksum(int start, int length) override;

  unsigned writeBytes(const char* bytes, int count) override;
  unsigned readBytes(char* bytes, int count, int& nRead) override;
  unsigned getPosition(int& pos) override;
  unsigned seek(int pos) override;
  unsigned getSize(int& size) override;

  int fileMajor() const { return _major; }
  int fileMinor() const { return _minor; }
  const std::string& path() const { return _path; }

 private:
  MvFileStream(std::FILE* file, std::unique_ptr<char[]> buffer, const std::string& path);
  // Reads the trailer at the end of the file into _trailerObjects and
  // _trailerChecksum and takes it out of the stream's size.
  bool readTrailer(long fileSize);
  // The CRC-32 of [0, _size) without the excluded segments, from the sums
  // kept while writing where they still hold and the file read back
  // elsewhere; false when the file cannot be read back.
  bool checksum(unsigned& crc);
  // Keeps the sums up to date after count bytes were written at `at`.
  void noteWritten(int at, const char* bytes, int count);
  std::FILE* _file;
  // The file's buffer (null: the C library's own); it outlives the file.
  std::unique_ptr<char[]> _buffer;
  std::string _path;
  int _major = 0;
  int _minor = 0;
  int _pos = 0;
  int _size = 0;
  bool _writing = false;
  bool _trailer = false;
  int _trailerObjects = 0;
  unsigned _trailerChecksum = 0;
  std::vector<std::pair<int, int>> _excluded;  // start, length
  bool _excludedLost = false;                   // a segment could not be noted
  // The CRC-32 of every whole chunk written so far (chunks of a fixed size
  // from the file's start) and of the bytes after the last one, each with
  // whether it still holds (no later write replaced bytes in it), so that
  // closing reads back only the chunks patched or cut by excluded segments.
  struct ChunkSum {
    unsigned crc;
    bool clean;
  };
  std::vector<ChunkSum> _chunkSums;
  ChunkSum _tailSum = {0, true};
  int _summedTo = 0;      // the bytes [0, _summedTo) are summed
  bool _sumsLost = false;  // a write failed or a sum could not be kept
  // Where the FILE's own position stands (-1: unknown) and what was done
  // last: switching between reading and writing needs a seek in between.
  enum LastOp { kNone, kRead, kWrite };
  long long _filePos = -1;
  LastOp _lastOp = kNone;
  // Seeks the FILE to _pos when the next `op` needs it; 0 on failure.
  bool syncFilePosition(LastOp op);
};

#endif
