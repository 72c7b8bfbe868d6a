#include "host/MvObjectStream.h"

#include "host/detail/stream_report.h"

#include <cstring>
#include <new>

using mv_detail::kMaxStreamBytes;
using mv_detail::streamFailure;

MvMemoryStream::MvMemoryStream() = default;

MvMemoryStream::MvMemoryStream(const char* data, int size) {
  if (size < 0 || (size > 0 && !data)) {
    streamFailure("MvMemoryStream", "size >= 0 && (size == 0 || data != NULL)");
    return;
  }
  try {
    _bytes.assign(data, data + size);
  } catch (const std::bad_alloc&) {
    streamFailure("MvMemoryStream", "Allocation failed: copy of the stream bytes",
                  MvErrorState::kAllocation);
  }
}

unsigned MvMemoryStream::writeBytes(const char* bytes, int count) {
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("writeBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const long long end = static_cast<long long>(_pos) + count;
  if (end > kMaxStreamBytes) return streamFailure("writeBytes", "position + count <= 2147483647");
  if (end > static_cast<long long>(_bytes.size())) {
    try {
      _bytes.resize(static_cast<std::size_t>(end));
    } catch (const std::bad_alloc&) {
      return streamFailure("writeBytes", "Allocation failed: stream storage grown",
                           MvErrorState::kAllocation);
    }
  }
  if (count > 0) std::memcpy(_bytes.data() + _pos, bytes, static_cast<std::size_t>(count));
  _pos = static_cast<int>(end);
  return 1;
}

unsigned MvMemoryStream::readBytes(char* bytes, int count, int& nRead) {
  nRead = 0;
  if (count < 0 || (count > 0 && !bytes)) {
    return streamFailure("readBytes", "count >= 0 && (count == 0 || bytes != NULL)");
  }
  const int available = size() - _pos;
  nRead = count < available ? count : available;
  if (nRead > 0) std::memcpy(bytes, _bytes.data() + _pos, static_cast<std::size_t>(nRead));
  _pos += nRead;
  if (nRead != count) return streamFailure("readBytes", "nRead == count");
  return 1;
}

unsigned MvMemoryStream::getPosition(int& pos) {
  pos = _pos;
  return 1;
}

unsigned MvMemoryStream::seek(int pos) {
  if (pos < 0 || pos > size()) return streamFailure("seek", "0 <= pos && pos <= size");
  _pos = pos;
  return 1;
}

unsigned MvMemoryStream::getSize(int& size) {
  size = this->size();
  return 1;
}
