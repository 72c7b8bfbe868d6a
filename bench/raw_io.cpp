#include "raw_io.h"

#include "bench_kernel.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace mvbench {
namespace {

// 1 MiB of the transmit block's pattern, and a 1 MiB read buffer.
const char* rawBlock() {
  static const std::vector<char> block = [] {
    std::vector<char> b(kRawCallBytes);
    for (int i = 0; i < kRawCallBytes; i += kBlockBytes) std::memcpy(b.data() + i, transmitBlock(), kBlockBytes);
    return b;
  }();
  return block.data();
}

char* rawBuffer() {
  static std::vector<char> buffer(kRawCallBytes);
  return buffer.data();
}

}  // namespace

bool rawWrite(const std::string& name, long long bytes, bool sync) {
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return false;
  const char* block = rawBlock();
  bool ok = true;
  for (long long done = 0; done < bytes && ok; done += kRawCallBytes) {
    ok = ::write(fd, block, kRawCallBytes) == kRawCallBytes;
  }
  if (ok && sync) ok = ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

bool rawRead(const std::string& name, long long bytes) {
  const int fd = ::open(name.c_str(), O_RDONLY);
  if (fd < 0) return false;
  char* const buffer = rawBuffer();
  long long got = 0;
  for (ssize_t n; (n = ::read(fd, buffer, kRawCallBytes)) > 0;) got += n;
  ::close(fd);
  return got == bytes;
}

bool rawWriteRead(const std::string& name, long long bytes, bool sync) {
  return rawWrite(name, bytes, sync) && rawRead(name, bytes);
}

}  // namespace mvbench
