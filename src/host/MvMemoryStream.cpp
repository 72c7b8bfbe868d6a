#include "host/MvObjectStream.h"

#include "host/detail/stream_report.h"

#include <cstdlib>
#include <cstring>

using mv_detail::kMaxStreamBytes;
using mv_detail::streamFailure;

MvMemoryStream::MvMemoryStream() = default;

MvMemoryStream::MvMemoryStream(const char* data, int size) {
  if (size < 0 || (size > 0 && !data)) {
    streamFailure("MvMemoryStream", "size >= 0 && (size == 0 || data != NULL)");
    return;
  }
  if (!reserve(size)) {
    streamFailure("MvMemoryStream", "Allocation failed: copy of the stream bytes", MvErrorState::kAllocation);
    return;
  }
  if (size > 0) std::memcpy(_bytes.get(), data, static_cast<std::size_t>(size));
  _size = size;
}

bool MvMemoryStream::reserve(long long needed) {
  if (needed <= _capacity) return true;
  long long grown = 2LL * _capacity;
  if (grown < needed) grown = needed;
  if (grown > kMaxStreamBytes) grown = kMaxStreamBytes;
  // realloc keeps the bytes and, for large blocks, moves pages instead of
  // copying them; nothing beyond _size is initialised, it is written before
  // it is read.
  char* block = static_cast<char*>(std::realloc(_bytes.get(), static_cast<std::size_t>(grown)));
  if (!block) return false;
  _bytes.release();
  _bytes.reset(block);
  _capacity = static_cast<int>(grown);
  return true;
}

unsigned MvMemoryStream::writeBytes(const char* bytes, int count) {
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("writeBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const long long end = static_cast<long long>(_pos) + count;
  if (end > kMaxStreamBytes) return streamFailure("writeBytes", "position + count <= 2147483647");
  if (!reserve(end)) {
    return streamFailure("writeBytes", "Allocation failed: stream storage grown", MvErrorState::kAllocation);
  }
  if (count > 0) std::memcpy(_bytes.get() + _pos, bytes, static_cast<std::size_t>(count));
  _pos = static_cast<int>(end);
  if (_pos > _size) _size = _pos;
  return 1;
}

unsigned MvMemoryStream::readBytes(char* bytes, int count, int& nRead) {
  nRead = 0;
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("readBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const int available = _size - _pos;
  nRead = count < available ? count : available;
  if (nRead > 0) std::memcpy(bytes, _bytes.get() + _pos, static_cast<std::size_t>(nRead));
  _pos += nRead;
  if (nRead != count) return streamFailure("readBytes", "nRead == count");
  return 1;
}

unsigned MvMemoryStream::getPosition(int& pos) {
  pos = _pos;
  return 1;
}

unsigned MvMemoryStream::seek(int pos) {
  if (pos < 0 || pos > _size) return streamFailure("seek", "0 <= pos && pos <= size");
  _pos = pos;
  return 1;
}

unsigned MvMemoryStream::getSize(int& size) {
  size = _size;
  return 1;
}
