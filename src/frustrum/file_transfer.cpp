#include "frustrum/file_transfer.h"

#include "frustrum/MvFrustrum.h"
#include "host/MvHeap.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace mvkm {
namespace {

char* gLineBuffer = nullptr;
std::size_t gLineCapacity = 0;

// Makes the line buffer hold at least `needed` bytes. A buffer that is too
// small is replaced by one of exactly that size; it never shrinks.
bool ensureLineBuffer(std::size_t needed) {
  if (gLineCapacity >= needed) return true;
  releaseLineBuffer();
  gLineBuffer = static_cast<char*>(MvHeap::allocate(needed));
  if (!gLineBuffer) return false;
  gLineCapacity = needed;
  return true;
}

int readFailure(std::FILE* file) {
  return std::feof(file) ? MV_FR_END_OF_DATA : systemFailure(MV_FR_READ_FAILED);
}

// The last failure of a system call: its status and error number. Like the
// rest of the frustrum it is used under the kernel lock.
struct SystemFailure {
  int status = MV_FR_OK;
  int osError = 0;
};
SystemFailure gSystemFailure;

}  // namespace

StreamFile& StreamFile::operator=(StreamFile&& other) noexcept {
  if (this != &other) {
    close();
    _file = std::move(other._file);
    _buffer = std::move(other._buffer);
    _toBoundary = other._toBoundary;
  }
  return *this;
}

bool StreamFile::open(const char* path, const char* mode) {
  close();
  _toBoundary = 0;
  _file.reset(std::fopen(path, mode));
  if (!_file) return false;
  // The buffer is not taken from MvHeap: it is the C library's working
  // memory, and going without it only costs speed.
  _buffer.reset(new (std::nothrow) char[kFileBufferBytes]);
  if (_buffer && std::setvbuf(_file.get(), _buffer.get(), _IOFBF, kFileBufferBytes) != 0) _buffer.reset();
  return true;
}

bool StreamFile::close() {
  std::FILE* file = _file.release();
  return !file || std::fclose(file) == 0;
}

void StreamFile::alignWrites() {
  constexpr long kBoundary = static_cast<long>(kFileBufferBytes);
  const long at = _file ? std::ftell(_file.get()) : -1;
  _toBoundary = at < 0 ? 0 : (kBoundary - at % kBoundary) % kBoundary;
}

int StreamFile::write(const char* data, int count) {
  if (_toBoundary > 0 && count > 0) {
    const int first = count < _toBoundary ? count : static_cast<int>(_toBoundary);
    const int status = fileWrite(_file.get(), data, first);
    if (status != MV_FR_OK) return status;
    _toBoundary -= first;
    if (_toBoundary == 0 && std::fflush(_file.get()) != 0) return systemFailure(MV_FR_WRITE_FAILED);
    data += first;
    count -= first;
  }
  return fileWrite(_file.get(), data, count);
}

int systemFailure(int status) {
  gSystemFailure.status = status;
  gSystemFailure.osError = errno;
  return status;
}

void forgetSystemFailure() { gSystemFailure = SystemFailure(); }

int fileWrite(std::FILE* file, const char* data, int count) {
  const std::size_t n = static_cast<std::size_t>(count);
  return std::fwrite(data, 1, n, file) < n ? systemFailure(MV_FR_WRITE_FAILED) : MV_FR_OK;
}

int fileRead(std::FILE* file, char* buffer, int count, int& delivered) {
  const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(count), file);
  if (got == 0) return readFailure(file);
  delivered = static_cast<int>(got);
  return MV_FR_OK;
}

int fileReadLine(std::FILE* file, int maxChars, const char*& line, int& length) {
  const std::size_t needed = static_cast<std::size_t>(maxChars) + 1;
  if (!ensureLineBuffer(needed)) return MV_FR_UNSPECIFIED;
  if (!std::fgets(gLineBuffer, static_cast<int>(needed), file)) return readFailure(file);
  line = gLineBuffer;
  length = static_cast<int>(std::strlen(gLineBuffer));
  return MV_FR_OK;
}

void releaseLineBuffer() {
  gLineCapacity = 0;
  MvHeap::release(gLineBuffer);
  gLineBuffer = nullptr;
}

int takeSystemFailure(int& osError) {
  const SystemFailure kept = gSystemFailure;
  forgetSystemFailure();
  osError = kept.osError;
  return kept.status;
}

}  // namespace mvkm
