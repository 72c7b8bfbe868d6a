#include "host/MvObjectStream.h"

#include "host/MvPartition.h"
#include "host/detail/crc32.h"
#include "host/detail/stream_report.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

using mv_detail::kMaxStreamBytes;
using mv_detail::streamFailure;

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr int kMagicBytes = 8;

// Versions compared as (major, minor) pairs.
bool versionAtLeast(int major, int minor, int wantMajor, int wantMinor) {
  return major > wantMajor || (major == wantMajor && minor >= wantMinor);
}

// The newest version this reader knows is the one it writes; the refusal
// names it.
static_assert(MvPartition::kCurrentMajor == 8 && MvPartition::kCurrentMinor == 2,
              "the refusal of newer files names version 8.2");
constexpr char kNewerVersion[] = "file version <= 8.2";

void putUint32(char* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
}

std::uint32_t getUint32(const char* at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(at[i])) << (8 * i);
  return v;
}

// The C library's default buffer is one disk block: a 64 MiB record went to
// the system in 16,384 calls. With 256 KiB the calls cost little beside the
// copying the system does anyway, and the buffer stays well inside the
// memory a large write may add.
constexpr std::size_t kBufferBytes = 256 * 1024;

// Gives a file just opened its own buffer; null when it keeps the C
// library's (slower, not wrong).
std::unique_ptr<char[]> attachBuffer(std::FILE* file) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferBytes]);
  if (buffer && std::setvbuf(file, buffer.get(), _IOFBF, kBufferBytes) != 0) buffer.reset();
  return buffer;
}

// The span of one kept checksum: small enough that a patched record
// length costs little to read back, large enough that joining the sums at
// close costs nothing beside writing them.
constexpr long long kChunkBytes = 64 * 1024;

}  // namespace

MvFileStream::MvFileStream(std::FILE* file, std::unique_ptr<char[]> buffer, const std::string& path)
    : _file(file), _buffer(std::move(buffer)), _path(path) {}

MvFileStream::~MvFileStream() {
  if (_file) std::fclose(_file);
}

MvFileStream* MvFileStream::create(const char* path) {
  if (!path) {
    streamFailure("create", "path != NULL");
    return nullptr;
  }
  // Declared first so that it goes after the file that uses it.
  std::unique_ptr<char[]> buffer;
  FileHandle file(std::fopen(path, "w+b"));
  if (!file) {
    streamFailure("create", "fopen(path, \"w+b\") != NULL");
    return nullptr;
  }
  buffer = attachBuffer(file.get());
  std::unique_ptr<MvFileStream> stream(new (std::nothrow) MvFileStream(file.get(), std::move(buffer), path));
  if (!stream) {
    streamFailure("create", "Allocation failed: new MvFileStream", MvErrorState::kAllocation);
    return nullptr;
  }
  file.release();
  stream->_writing = true;
  MvPartition::getVersion(stream->_major, stream->_minor);
  stream->_trailer = versionAtLeast(stream->_major, stream->_minor, kTrailerMajor, kTrailerMinor);
  if (!stream->writeBytes(kMagic, kMagicBytes) || !stream->write(stream->_major) ||
      !stream->write(stream->_minor)) {
    MvErrorState::rethrowError();
    return nullptr;
  }
  return stream.release();
}

MvFileStream* MvFileStream::open(const char* path) {
  if (!path) {
    streamFailure("open", "path != NULL");
    return nullptr;
  }
  // Declared first so that it goes after the file that uses it.
  std::unique_ptr<char[]> buffer;
  FileHandle file(std::fopen(path, "rb"));
  if (!file) {
    streamFailure("open", "fopen(path, \"rb\") != NULL");
    return nullptr;
  }
  buffer = attachBuffer(file.get());
  if (std::fseek(file.get(), 0, SEEK_END) != 0) {
    streamFailure("open", "fseek(file, 0, SEEK_END) == 0");
    return nullptr;
  }
  const long fileSize = std::ftell(file.get());
  if (fileSize < 0 || fileSize > kMaxStreamBytes) {
    streamFailure("open", "0 <= file size && file size <= 2147483647");
    return nullptr;
  }
  if (fileSize < kHeaderBytes) {
    streamFailure("open", "file header complete");
    return nullptr;
  }
  std::unique_ptr<MvFileStream> stream(new (std::nothrow) MvFileStream(file.get(), std::move(buffer), path));
  if (!stream) {
    streamFailure("open", "Allocation failed: new MvFileStream", MvErrorState::kAllocation);
    return nullptr;
  }
  file.release();
  stream->_size = static_cast<int>(fileSize);
  char magic[kMagicBytes];
  int nRead = 0;
  if (!stream->readBytes(magic, kMagicBytes, nRead)) {
    MvErrorState::rethrowError();
    return nullptr;
  }
  if (std::memcmp(magic, kMagic, kMagicBytes) != 0) {
    streamFailure("open", "file header magic");
    return nullptr;
  }
  if (!stream->read(stream->_major) || !stream->read(stream->_minor)) {
    MvErrorState::rethrowError();
    return nullptr;
  }
  if (!versionAtLeast(MvPartition::kCurrentMajor, MvPartition::kCurrentMinor, stream->_major, stream->_minor)) {
    streamFailure("open", kNewerVersion);
    return nullptr;
  }
  stream->_trailer = versionAtLeast(stream->_major, stream->_minor, kTrailerMajor, kTrailerMinor);
  if (stream->_trailer && !stream->readTrailer(fileSize)) {
    streamFailure("open", "trailer at the end of the file");
    return nullptr;
  }
  return stream.release();
}

bool MvFileStream::readTrailer(long fileSize) {
  if (fileSize < kHeaderBytes + kTrailerBytes) return false;
  char trailer[kTrailerBytes];
  _filePos = -1;
  _lastOp = kNone;
  if (std::fseek(_file, fileSize - kTrailerBytes, SEEK_SET) != 0 ||
      std::fread(trailer, 1, kTrailerBytes, _file) != static_cast<std::size_t>(kTrailerBytes) ||
      std::memcmp(trailer, kTrailerMark, kMagicBytes) != 0) {
    return false;
  }
  _trailerObjects = static_cast<int>(getUint32(trailer + kMagicBytes));
  _trailerChecksum = getUint32(trailer + kMagicBytes + 4);
  _size = static_cast<int>(fileSize) - kTrailerBytes;
  return true;
}

void MvFileStream::excludeFromChecksum(int start, int length) {
  if (length <= 0 || _excludedLost) return;
  try {
    _excluded.emplace_back(start, length);
  } catch (const std::bad_alloc&) {
    _excludedLost = true;
  }
}

void MvFileStream::noteWritten(int at, const char* bytes, int count) {
  // A file without a trailer is never summed.
  if (_sumsLost || !_trailer) return;
  // Writes reach at most the end of what was written, so no gap is left
  // unsummed; should one ever start beyond it, the sums are given up and
  // close reads the whole file back.
  if (at > _summedTo) {
    _sumsLost = true;
    return;
  }
  const long long end = static_cast<long long>(at) + count;
  // Bytes summed before: their chunks are read back at close.
  for (long long pos = at; pos < std::min<long long>(end, _summedTo); pos = (pos / kChunkBytes + 1) * kChunkBytes) {
    const std::size_t chunk = static_cast<std::size_t>(pos / kChunkBytes);
    (chunk < _chunkSums.size() ? _chunkSums[chunk] : _tailSum).clean = false;
  }
  // New bytes: summed now, while they are at hand.
  for (long long pos = std::max<long long>(at, _summedTo); pos < end;) {
    const long long chunkEnd = (pos / kChunkBytes + 1) * kChunkBytes;
    const long long to = std::min(end, chunkEnd);
    _tailSum.crc = mv_detail::crc32Update(_tailSum.crc, bytes + (pos - at), static_cast<std::size_t>(to - pos));
    pos = to;
    _summedTo = static_cast<int>(pos);
    if (pos != chunkEnd) break;
    try {
      _chunkSums.push_back(_tailSum);
    } catch (const std::bad_alloc&) {
      _sumsLost = true;
      return;
    }
    _tailSum = {0, true};
  }
}

bool MvFileStream::checksum(unsigned& crc) {
  std::sort(_excluded.begin(), _excluded.end());
  std::uint32_t c = 0;
  const std::uint32_t chunkZeros = mv_detail::crc32ZerosOperator(kChunkBytes);
  // The kept sum of exactly [from, to), if there is one that still holds.
  auto keptSum = [&](long long from, long long to, std::uint32_t& sum) {
    if (_sumsLost || from % kChunkBytes != 0) return false;
    const std::size_t chunk = static_cast<std::size_t>(from / kChunkBytes);
    const bool whole = chunk < _chunkSums.size() && to - from == kChunkBytes;
    const bool tail = chunk == _chunkSums.size() && to == _summedTo;
    const ChunkSum& kept = whole ? _chunkSums[chunk] : _tailSum;
    sum = kept.crc;
    return (whole || tail) && kept.clean;
  };
  char block[4096];
  // Reads [from, to) into the checksum.
  auto read = [&](long long from, long long to) {
    if (std::fseek(_file, static_cast<long>(from), SEEK_SET) != 0) return false;
    for (long long at = from; at < to;) {
      const std::size_t n = static_cast<std::size_t>(std::min<long long>(to - at, sizeof block));
      if (std::fread(block, 1, n, _file) != n) return false;
      c = mv_detail::crc32Update(c, block, n);
      at += static_cast<long long>(n);
    }
    return true;
  };
  // Adds [from, to) chunk by chunk.
  auto add = [&](long long from, long long to) {
    while (from < to) {
      const long long piece = std::min(to, (from / kChunkBytes + 1) * kChunkBytes);
      std::uint32_t sum = 0;
      if (keptSum(from, piece, sum)) {
        const std::uint32_t zeros = piece - from == kChunkBytes
                                        ? chunkZeros
                                        : mv_detail::crc32ZerosOperator(static_cast<std::uint64_t>(piece - from));
        c = mv_detail::crc32Combine(c, sum, zeros);
      } else if (!read(from, piece)) {
        return false;
      }
      from = piece;
    }
    return true;
  };
  _filePos = -1;
  _lastOp = kNone;
  long long at = 0;
  for (const std::pair<int, int>& segment : _excluded) {
    const long long start = std::max<long long>(segment.first, at);
    if (start >= _size) break;
    if (!add(at, start)) return false;
    at = std::max(at, static_cast<long long>(segment.first) + segment.second);
  }
  if (!add(at, _size)) return false;
  crc = c;
  return true;
}

unsigned MvFileStream::checkTrailer() {
  if (!_file) return streamFailure("checkTrailer", "file != NULL");
  if (!_trailer) return 1;
  if (objectCount() != _trailerObjects) {
    return streamFailure("checkTrailer", "trailer object count == objects read");
  }
  if (_excludedLost) {
    return streamFailure("checkTrailer", "Allocation failed: excluded segment list", MvErrorState::kAllocation);
  }
  unsigned crc = 0;
  if (!checksum(crc)) return streamFailure("checkTrailer", "file read back for its checksum");
  if (crc != _trailerChecksum) return streamFailure("checkTrailer", "trailer checksum == file checksum");
  return 1;
}

unsigned MvFileStream::close() {
  if (!_file) return 1;
  if (_writing && _trailer) {
    unsigned crc = 0;
    char trailer[kTrailerBytes];
    std::memcpy(trailer, kTrailerMark, kMagicBytes);
    putUint32(trailer + kMagicBytes, static_cast<std::uint32_t>(objectCount()));
    const bool summed = !_excludedLost && checksum(crc);
    putUint32(trailer + kMagicBytes + 4, crc);
    if (!summed || !seek(_size) || !writeBytes(trailer, kTrailerBytes)) {
      std::fclose(_file);
      _file = nullptr;
      if (_excludedLost) {
        return streamFailure("close", "Allocation failed: excluded segment list", MvErrorState::kAllocation);
      }
      return streamFailure("close", "trailer written");
    }
  }
  const int flushed = std::fflush(_file);
  const int closed = std::fclose(_file);
  _file = nullptr;
  if (flushed != 0 || closed != 0) return streamFailure("close", "fflush(file) == 0 && fclose(file) == 0");
  return 1;
}

bool MvFileStream::syncFilePosition(LastOp op) {
  // The C library needs a seek between a write and a following read (and
  // vice versa); otherwise seek only when the position was moved.
  const bool switching = _lastOp != kNone && _lastOp != op;
  if (switching || _filePos != _pos) {
    if (std::fseek(_file, static_cast<long>(_pos), SEEK_SET) != 0) {
      _filePos = -1;
      _lastOp = kNone;
      return false;
    }
    _filePos = _pos;
  }
  _lastOp = op;
  return true;
}

unsigned MvFileStream::writeBytes(const char* bytes, int count) {
  if (!_file) return streamFailure("writeBytes", "file != NULL");
  if (!_writing) return streamFailure("writeBytes", "stream opened for writing");
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("writeBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const long long end = static_cast<long long>(_pos) + count;
  if (end > kMaxStreamBytes) return streamFailure("writeBytes", "position + count <= 2147483647");
  if (count == 0) return 1;
  if (!syncFilePosition(kWrite)) return streamFailure("writeBytes", "fseek(file, pos, SEEK_SET) == 0");
  const std::size_t nWritten = std::fwrite(bytes, 1, static_cast<std::size_t>(count), _file);
  if (nWritten == static_cast<std::size_t>(count)) {
    noteWritten(_pos, bytes, count);
  } else {
    _sumsLost = true;
  }
  _pos += static_cast<int>(nWritten);
  _filePos = _pos;
  if (_pos > _size) _size = _pos;
  if (nWritten != static_cast<std::size_t>(count)) return streamFailure("writeBytes", "nWritten == count");
  return 1;
}

unsigned MvFileStream::readBytes(char* bytes, int count, int& nRead) {
  nRead = 0;
  if (!_file) return streamFailure("readBytes", "file != NULL");
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("readBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const int available = _size - _pos;
  const int wanted = count < available ? count : available;
  if (wanted > 0) {
    if (!syncFilePosition(kRead)) return streamFailure("readBytes", "fseek(file, pos, SEEK_SET) == 0");
    nRead = static_cast<int>(std::fread(bytes, 1, static_cast<std::size_t>(wanted), _file));
    _pos += nRead;
    _filePos = _pos;
  }
  if (nRead != count) return streamFailure("readBytes", "nRead == count");
  return 1;
}

unsigned MvFileStream::getPosition(int& pos) {
  if (!_file) return streamFailure("getPosition", "file != NULL");
  pos = _pos;
  return 1;
}

unsigned MvFileStream::seek(int pos) {
  if (!_file) return streamFailure("seek", "file != NULL");
  if (pos < 0 || pos > _size) return streamFailure("seek", "0 <= pos && pos <= size");
  _pos = pos;
  return 1;
}

unsigned MvFileStream::getSize(int& size) {
  if (!_file) return streamFailure("getSize", "file != NULL");
  size = _size;
  return 1;
}
