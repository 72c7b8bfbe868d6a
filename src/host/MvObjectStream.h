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
#include <string>
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
  // also when the object read less. `out` holds the new object (null for a
  // null object). On failure `out` is null and the stream stands after the
  // record when its length could be read.
  unsigned readObject(MvAutoPtr<MvBase>& out);
  // True when the stream stands at its end.
  bool atEnd();
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

  const char* data() const { return _bytes.data(); }
  int size() const { return static_cast<int>(_bytes.size()); }

 private:
  std::vector<char> _bytes;
  int _pos = 0;
};

// A host file: it starts with the magic "MV61HOST" and the partition version
// (major, minor) of the file; objects follow.
class MV61_API MvFileStream : public MvObjectStream {
 public:
  static constexpr char kMagic[9] = "MV61HOST";
  static constexpr int kHeaderBytes = 16;

  // Creates (truncates) path for writing and reading, writes the header
  // with the current partition version and stands after it; null (reported)
  // on failure.
  static MvFileStream* create(const char* path);
  // Opens an existing host file for reading (writes to it fail, reported),
  // checks its header and stands after it; null (reported) when it cannot
  // be opened, is larger than 2147483647 bytes or is not a host file.
  // Positions are absolute file offsets: objects start at kHeaderBytes.
  static MvFileStream* open(const char* path);

  // Closes the file when close() was not called (without a report: a
  // destructor cannot fail); call close() to learn whether all data arrived.
  ~MvFileStream() override;
  // Flushes and closes; 0 (reported) when the data could not be written.
  // Later operations on the stream fail (reported).
  unsigned close();

  unsigned writeBytes(const char* bytes, int count) override;
  unsigned readBytes(char* bytes, int count, int& nRead) override;
  unsigned getPosition(int& pos) override;
  unsigned seek(int pos) override;
  unsigned getSize(int& size) override;

  int fileMajor() const { return _major; }
  int fileMinor() const { return _minor; }
  const std::string& path() const { return _path; }

 private:
  MvFileStream(std::FILE* file, const std::string& path);
  std::FILE* _file;
  std::string _path;
  int _major = 0;
  int _minor = 0;
  int _pos = 0;
  int _size = 0;
  bool _writing = false;
  // Where the FILE's own position stands (-1: unknown) and what was done
  // last: switching between reading and writing needs a seek in between.
  enum LastOp { kNone, kRead, kWrite };
  long long _filePos = -1;
  LastOp _lastOp = kNone;
  // Seeks the FILE to _pos when the next `op` needs it; 0 on failure.
  bool syncFilePosition(LastOp op);
};

#endif
