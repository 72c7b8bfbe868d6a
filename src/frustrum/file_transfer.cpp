#include "frustrum/file_transfer.h"

#include "frustrum/MvFrustrum.h"
#include "host/MvHeap.h"

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

int readFailure(std::FILE* file) { return std::feof(file) ? MV_FR_END_OF_DATA : MV_FR_READ_FAILED; }

}  // namespace

// The buffer is not taken from MvHeap: it is the C library's working memory,
// and going without it only costs speed.
char* attachFileBuffer(std::FILE* file) {
  char* buffer = new (std::nothrow) char[kFileBufferBytes];
  if (buffer && std::setvbuf(file, buffer, _IOFBF, kFileBufferBytes) != 0) {
    delete[] buffer;
    buffer = nullptr;
  }
  return buffer;
}

void releaseFileBuffer(char* buffer) { delete[] buffer; }

int fileWrite(std::FILE* file, const char* data, int count) {
  const std::size_t n = static_cast<std::size_t>(count);
  return std::fwrite(data, 1, n, file) < n ? MV_FR_WRITE_FAILED : MV_FR_OK;
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

}  // namespace mvkm
